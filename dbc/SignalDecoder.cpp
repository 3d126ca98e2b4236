#include "dbc/SignalDecoder.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

std::uint64_t littleEndianWord(const std::uint8_t (&data)[8])
{
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i)
        word = (word << 8) | data[i];
    return word;
}

std::uint64_t bigEndianWord(const std::uint8_t (&data)[8])
{
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i)
        word = (word << 8) | data[i];
    return word;
}

// Decimals that show every value a factor and offset give exactly.
int decimalsOf(double x)
{
    x = std::fabs(x);
    double scaled = x;
    for (int d = 0; d < 9; ++d) {
        if (std::fabs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, scaled))
            return d;
        scaled *= 10.0;
    }
    return 9;
}

std::string shortest(double value)
{
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

void decodeMessage(const DbcMessage &message, std::uint8_t frameType, std::uint8_t dlc,
                   const std::uint8_t (&data)[8], std::vector<DecodedSignal> &out)
{
    out.resize(message.signalList.size());
    const bool remote = (frameType & 0x01) != 0;
    const unsigned bytes = remote ? 0u : std::min<unsigned>(dlc, 8u);
    const std::uint64_t little = littleEndianWord(data);
    const std::uint64_t big = bigEndianWord(data);

    for (std::size_t i = 0; i < message.signalList.size(); ++i) {
        const DbcSignal &signal = message.signalList[i];
        DecodedSignal &decoded = out[i];
        decoded.signal = &signal;
        if (signal.bytesNeeded > bytes) {
            decoded.state = DecodedSignal::State::NotInFrame;
            decoded.bits = 0;
            decoded.raw = 0;
            decoded.value = 0.0;
            continue;
        }
        decoded.state = DecodedSignal::State::Present;
        const unsigned length = signal.length;
        const std::uint64_t mask =
            length >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
        const std::uint64_t bits = signal.bigEndian
            ? (big >> (64u - signal.position - length)) & mask
            : (little >> signal.position) & mask;
        decoded.bits = bits;
        switch (signal.valueType) {
        case DbcSignal::ValueType::Float:
            decoded.raw = static_cast<std::int64_t>(bits);
            decoded.value =
                static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)))
                    * signal.factor
                + signal.offset;
            break;
        case DbcSignal::ValueType::Double:
            decoded.raw = static_cast<std::int64_t>(bits);
            decoded.value = std::bit_cast<double>(bits) * signal.factor + signal.offset;
            break;
        case DbcSignal::ValueType::Integer:
            if (signal.isSigned && length < 64 && (bits >> (length - 1)) != 0)
                decoded.raw = static_cast<std::int64_t>(bits | ~mask);
            else
                decoded.raw = static_cast<std::int64_t>(bits);
            decoded.value =
                (signal.isSigned ? static_cast<double>(decoded.raw) : static_cast<double>(bits))
                    * signal.factor
                + signal.offset;
            break;
        }
    }

    // Multiplexed signals count only under the value that selects them; with
    // the multiplexer itself missing, none of them is in the frame.
    if (message.multiplexer < 0)
        return;
    const DecodedSignal &multiplexer = out[static_cast<std::size_t>(message.multiplexer)];
    for (DecodedSignal &decoded : out) {
        if (decoded.signal->multiplex != DbcSignal::Multiplex::Multiplexed)
            continue;
        if (!multiplexer.present())
            decoded.state = DecodedSignal::State::NotInFrame;
        else if (decoded.present() && multiplexer.bits != decoded.signal->multiplexValue)
            decoded.state = DecodedSignal::State::NotSelected;
    }
}

const DbcMessage *decodeFrame(const DbcDatabase &database, std::uint8_t frameType, std::uint32_t id,
                              std::uint8_t dlc, const std::uint8_t (&data)[8],
                              std::vector<DecodedSignal> &out)
{
    const DbcMessage *message = database.find(id, (frameType & 0x02) != 0);
    if (!message) {
        out.clear();
        return nullptr;
    }
    decodeMessage(*message, frameType, dlc, data, out);
    return message;
}

std::string formatSignalValue(const DbcSignal &signal, double value)
{
    if (signal.valueType == DbcSignal::ValueType::Float)
        return shortest(static_cast<float>(value));
    if (signal.valueType == DbcSignal::ValueType::Double || !std::isfinite(value))
        return shortest(value);
    const int decimals = std::max(decimalsOf(signal.factor), decimalsOf(signal.offset));
    // Values beyond what fixed notation shows sensibly (a 64-bit raw value
    // with a large factor) are written in the shortest form instead.
    if (std::fabs(value) >= 1e15)
        return shortest(value);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text(buffer);
    if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-')
        text.erase(0, 1); // no "-0"
    return text;
}

std::string formatSignalBits(const DbcSignal &signal, std::uint64_t bits)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%0*llX", (signal.length + 3) / 4,
                  static_cast<unsigned long long>(bits));
    return buffer;
}

std::string formatSignalWithUnit(const DbcSignal &signal, double value)
{
    std::string text = formatSignalValue(signal, value);
    if (!signal.unit.empty())
        text += " " + signal.unit;
    return text;
}

std::string signalDescription(const DecodedSignal &decoded)
{
    if (!decoded.present() || decoded.signal->valueType != DbcSignal::ValueType::Integer)
        return {};
    const std::string *text = decoded.signal->describe(decoded.raw);
    return text ? *text : std::string();
}

std::string formatDecodedLine(const DbcMessage &message,
                              const std::vector<DecodedSignal> &signalList, std::uint32_t seconds,
                              std::uint32_t microseconds)
{
    char head[48];
    std::snprintf(head, sizeof head, message.extended ? "%u.%06u %08X " : "%u.%06u %03X ", seconds,
                  microseconds, message.id);
    std::string line = head + message.name;
    for (const DecodedSignal &decoded : signalList) {
        if (!decoded.present())
            continue;
        line += ' ';
        line += decoded.signal->name;
        line += '=';
        line += formatSignalWithUnit(*decoded.signal, decoded.value);
        if (const std::string description = signalDescription(decoded); !description.empty()) {
            line += " \"";
            for (char c : description) {
                if (c == '"' || c == '\\')
                    line += '\\';
                line += c;
            }
            line += '"';
        }
    }
    return line;
}
