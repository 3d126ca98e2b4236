#include "inspect/BitStreamLayout.h"

#include "capture/CanFrame.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

namespace BitStreamLayout {

namespace {

template <typename... Args> std::string format(const char *pattern, Args... args)
{
    char text[160];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// "%.Nf" without the trailing zeros of its fraction (and the point if none is left).
std::string trimmedDecimal(double value, int decimals)
{
    std::string text = format("%.*f", decimals, value);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

// The width of a field in bits, where its bits carry a number.
int valueWidth(Field field)
{
    switch (field) {
    case Field::Identifier:
        return 11;
    case Field::ExtendedIdentifier:
        return 18;
    case Field::DataLength:
        return 4;
    case Field::Data:
        return 8;
    case Field::Crc:
        return 15;
    default:
        return 0;
    }
}

} // namespace

int bitsPerLane(int width)
{
    return std::max(1, (width - 2 * Margin - GutterWidth) / CellWidth);
}

int laneCount(int bits, int width)
{
    const int perLane = bitsPerLane(width);
    return bits <= 0 ? 0 : (bits + perLane - 1) / perLane;
}

int laneTop(int lane)
{
    return LanesTop + lane * LanePitch;
}

int heightFor(int bits, int width)
{
    return laneTop(laneCount(bits, width)) + LegendHeight + Margin;
}

PixelRect cellRect(int bit, int width)
{
    const int perLane = bitsPerLane(width);
    const int left = Margin + GutterWidth + (bit % perLane) * CellWidth;
    const int top = laneTop(bit / perLane) + CellTop;
    return {left, top, left + CellWidth, top + CellHeight};
}

int levelY(int lane, std::uint8_t level)
{
    return laneTop(lane) + (level ? LevelHighY : LevelLowY);
}

int bitAt(int x, int y, int bits, int width)
{
    const int perLane = bitsPerLane(width);
    const int column = (x - Margin - GutterWidth);
    if (column < 0 || y < LanesTop || column / CellWidth >= perLane)
        return -1;
    const int lane = (y - LanesTop) / LanePitch;
    if ((y - LanesTop) % LanePitch >= BandTop + BandHeight)
        return -1;
    const int bit = lane * perLane + column / CellWidth;
    return bit < bits ? bit : -1;
}

PixelRect legendRect(int bits, int width)
{
    const int top = laneTop(laneCount(bits, width));
    return {Margin, top, std::max(Margin, width - Margin), top + LegendHeight};
}

std::vector<Segment> segments(const CanBitStream &stream, int width)
{
    std::vector<Segment> result;
    const int perLane = bitsPerLane(width);
    for (int i = 0; i < stream.size(); ++i) {
        const auto &bit = stream[i];
        const int group = bit.field == Field::Data ? bit.index / 8 : 0;
        const bool newLane = i % perLane == 0;
        if (result.empty() || newLane || result.back().field != bit.field
            || result.back().group != group) {
            Segment s;
            s.field = bit.field;
            s.group = group;
            s.firstBit = i;
            result.push_back(s);
        }
        result.back().endBit = i + 1;
    }
    std::map<std::pair<Field, int>, std::size_t> widest;
    for (std::size_t n = 0; n < result.size(); ++n) {
        Segment &s = result[n];
        const PixelRect first = cellRect(s.firstBit, width);
        const PixelRect last = cellRect(s.endBit - 1, width);
        const int top = first.top - CellTop + BandTop;
        s.band = {first.left, top, last.right, top + BandHeight};
        const auto key = std::make_pair(s.field, s.group);
        const auto found = widest.find(key);
        if (found == widest.end() || result[found->second].band.width() < s.band.width())
            widest[key] = n;
    }
    for (const auto &[key, n] : widest)
        result[n].labelled = true;
    return result;
}

std::uint32_t fieldValue(const CanBitStream &stream, Field field, int group)
{
    std::uint32_t value = 0;
    for (const auto &bit : stream) {
        if (bit.field == field && !bit.stuff && (field != Field::Data || bit.index / 8 == group))
            value = (value << 1) | bit.level;
    }
    return value;
}

bool isExtended(const CanBitStream &stream)
{
    return stream.extended();
}

std::string fieldLabel(const CanBitStream &stream, Field field, int group)
{
    const std::uint32_t value = fieldValue(stream, field, group);
    switch (field) {
    case Field::Identifier:
        return isExtended(stream) ? format("ID_A 0x%03X", value)
                                  : format("Identifier 0x%03X", value);
    case Field::ExtendedIdentifier:
        return format("ID_B 0x%05X", value);
    case Field::DataLength:
        return format("DLC %u", value);
    case Field::Data:
        return format("Byte %d: 0x%02X", group, value);
    case Field::Crc:
        return format("CRC 0x%04X", value);
    case Field::EndOfFrame:
        return "End of frame";
    default:
        return shortName(field);
    }
}

std::string shortName(Field field)
{
    switch (field) {
    case Field::StartOfFrame:
        return "SOF";
    case Field::Identifier:
        return "ID";
    case Field::SubstituteRemoteRequest:
        return "SRR";
    case Field::IdentifierExtension:
        return "IDE";
    case Field::ExtendedIdentifier:
        return "ID_B";
    case Field::RemoteRequest:
        return "RTR";
    case Field::Reserved1:
        return "r1";
    case Field::Reserved0:
        return "r0";
    case Field::DataLength:
        return "DLC";
    case Field::Data:
        return "Data";
    case Field::Crc:
        return "CRC";
    case Field::CrcDelimiter:
    case Field::AckDelimiter:
        return "DEL";
    case Field::AckSlot:
        return "ACK";
    case Field::EndOfFrame:
        return "EOF";
    case Field::Intermission:
        return "IFS";
    }
    return {};
}

std::string longName(Field field)
{
    switch (field) {
    case Field::StartOfFrame:
        return "Start of frame";
    case Field::Identifier:
        return "Identifier";
    case Field::SubstituteRemoteRequest:
        return "Substitute remote request";
    case Field::IdentifierExtension:
        return "Identifier extension";
    case Field::ExtendedIdentifier:
        return "Identifier, second part";
    case Field::RemoteRequest:
        return "Remote transmission request";
    case Field::Reserved1:
    case Field::Reserved0:
        return "Reserved bit";
    case Field::DataLength:
        return "Data length code";
    case Field::Data:
        return "Data";
    case Field::Crc:
        return "CRC sequence";
    case Field::CrcDelimiter:
        return "CRC delimiter";
    case Field::AckSlot:
        return "ACK slot";
    case Field::AckDelimiter:
        return "ACK delimiter";
    case Field::EndOfFrame:
        return "End of frame";
    case Field::Intermission:
        return "Intermission";
    }
    return {};
}

Rgb fieldColour(Field field, int group)
{
    switch (field) {
    case Field::StartOfFrame:
        return {190, 190, 255};
    case Field::Identifier:
    case Field::ExtendedIdentifier:
        return {200, 255, 200};
    case Field::SubstituteRemoteRequest:
    case Field::IdentifierExtension:
    case Field::RemoteRequest:
        return {160, 230, 160};
    case Field::Reserved1:
    case Field::Reserved0:
        return {255, 255, 200};
    case Field::DataLength:
        return {255, 240, 150};
    case Field::Data:
        return group % 2 == 0 ? Rgb{205, 228, 255} : Rgb{170, 205, 250};
    case Field::Crc:
        return {255, 210, 160};
    case Field::AckSlot:
        return {240, 190, 240};
    case Field::CrcDelimiter:
    case Field::AckDelimiter:
    case Field::EndOfFrame:
        return {225, 225, 225};
    case Field::Intermission:
        return {248, 248, 248};
    }
    return {};
}

std::array<std::string, 2> caption(const CanBitStream &stream, std::uint8_t type, std::uint32_t id,
                                   std::uint8_t dlc, std::uint32_t bitsPerSecond, bool connected,
                                   bool measured)
{
    const bool extended = (type & FrameType::Extended) != 0;
    const int stuffBits = stream.stuffBitCount();
    std::string first = std::string(frameKindLabel(type))
        + (extended ? format(", ID 0x%08X", id) : format(", ID 0x%04X", id))
        + format(", DLC %d: %d bits on the bus, %d in the frame (%d stuff bit%s) and %d of "
                 "interframe space. CRC 0x%04X.",
                 dlc, stream.size(), stream.frameBitCount(), stuffBits, stuffBits == 1 ? "" : "s",
                 CanBitStream::IntermissionBits, stream.crc());
    const bool known = (connected || measured) && bitsPerSecond > 0;
    const std::uint32_t rate = known ? bitsPerSecond : DefaultBitRate;
    std::string second = durationText(stream.durationNs(rate)) + " at " + bitRateText(rate);
    if (known)
        second += connected ? ", the adapter's bit rate." : ", the capture's rate in Statistics.";
    else
        second += connected ? ", assumed: the adapter reports no bit rate."
                            : ", assumed while no adapter is connected.";
    return {first, second};
}

std::string durationText(std::int64_t nanoseconds)
{
    const double microseconds = static_cast<double>(nanoseconds) / 1000.0;
    if (microseconds < 999.95)
        return trimmedDecimal(microseconds, 1) + " \u00B5s";
    return trimmedDecimal(microseconds / 1000.0, 3) + " ms";
}

std::string bitRateText(std::uint32_t bitsPerSecond)
{
    return trimmedDecimal(bitsPerSecond / 1000.0, 3) + " kbit/s";
}

std::string bitDescription(const CanBitStream &stream, int bit)
{
    if (bit < 0 || bit >= stream.size())
        return {};
    const auto &b = stream[bit];
    std::string name = longName(b.field);
    if (b.field == Field::Identifier && isExtended(stream))
        name = "Identifier, first part";
    const int width = valueWidth(b.field);
    std::string where;
    if (b.field == Field::Data)
        where = format(" byte %d, bit %d", b.index / 8, 7 - b.index % 8);
    else if (b.field == Field::Identifier)
        where = format(" bit %d", (isExtended(stream) ? 28 : 10) - b.index);
    else if (width > 0)
        where = format(" bit %d", width - 1 - b.index);
    else if (b.field == Field::EndOfFrame || b.field == Field::Intermission)
        where = format(" bit %d of %d", b.index + 1, b.field == Field::EndOfFrame ? 7 : 3);
    const std::string level = b.level ? "1 (recessive)" : "0 (dominant)";
    if (b.stuff)
        return format("Bit %d: stuff bit %s after five equal bits, in ", bit, level.c_str()) + name;
    return format("Bit %d: ", bit) + name + where + ", " + level;
}

} // namespace BitStreamLayout
