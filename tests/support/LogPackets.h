#pragma once

#include "capture/CanPacket.h"
#include "logfile/LogFormat.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

// Frame records as the store keeps them, and comparisons of whole captures,
// for the log reader and writer tests.

inline CAN_Packet storedPacket(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                               std::uint8_t dlc, std::initializer_list<std::uint8_t> bytes,
                               std::uint32_t seconds, std::uint32_t microseconds)
{
    std::uint8_t data[8] = {};
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 8), data);
    const int count = storedByteCount(type, dlc);
    return CAN_Packet(number, type, id, dlc, data, microseconds, seconds,
                      formatDataText(data, count), formatTimeText(microseconds, seconds));
}

// A live capture of count frames: every kind, both directions, DLC 0 to 8,
// identifiers of 11 and 29 bits, random data and time stamps.
inline std::vector<CAN_Packet> randomCapture(std::uint32_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<CAN_Packet> frames;
    frames.reserve(count);
    for (std::uint32_t n = 0; n < count; ++n) {
        const auto type = static_cast<std::uint8_t>(0x04 | (random() & 0x03) | (random() & 0x10));
        const std::uint32_t id = random() & ((type & 0x02) ? 0x1FFFFFFF : 0x7FF);
        const auto dlc = static_cast<std::uint8_t>(random() % 9);
        std::uint8_t data[8] = {};
        const int stored = storedByteCount(type, dlc);
        for (int i = 0; i < stored; ++i)
            data[i] = static_cast<std::uint8_t>(random());
        const std::uint32_t seconds = random();
        const std::uint32_t microseconds = random() % 1000000;
        frames.emplace_back(n, type, id, dlc, data, microseconds, seconds,
                            formatDataText(data, stored), formatTimeText(microseconds, seconds));
    }
    return frames;
}

// The frames of the log file at path; none when it cannot be opened or read.
inline std::vector<CAN_Packet> readLogFile(LogFormat format, const QString &path,
                                           LogReport *report = nullptr)
{
    std::vector<CAN_Packet> packets;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        readLog(format, std::string_view(bytes.constData(), bytes.size()), packets, report);
    }
    return packets;
}

// The first field in which two captures differ, or empty when they are equal.
inline QString firstDifference(const std::vector<CAN_Packet> &actual,
                               const std::vector<CAN_Packet> &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("%1 frames instead of %2").arg(actual.size()).arg(expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const CAN_Packet &a = actual[i];
        const CAN_Packet &e = expected[i];
        const auto at = [i](const char *field) {
            return QStringLiteral("frame %1: %2").arg(i).arg(QLatin1String(field));
        };
        if (a.number != e.number)
            return at("number");
        if (a.type != e.type)
            return at("type");
        if (a.id != e.id)
            return at("id");
        if (a.dlc != e.dlc)
            return at("dlc");
        if (!std::equal(a.data, a.data + 8, e.data))
            return at("data");
        if (a.timestamp != e.timestamp)
            return at("timestamp");
        if (a.shown != e.shown)
            return at("shown");
        if (a.dataText != e.dataText)
            return at("dataText");
        if (a.timeText != e.timeText)
            return at("timeText");
    }
    return {};
}

// Bytes from hexadecimal digit pairs; blanks and '|' are ignored.
inline std::string bytesFromHex(const char *hex)
{
    QByteArray digits(hex);
    digits.replace(' ', "").replace('|', "");
    return QByteArray::fromHex(digits).toStdString();
}

// ASCII text as UTF-16LE code units.
inline std::string utf16le(const std::string &ascii)
{
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}
