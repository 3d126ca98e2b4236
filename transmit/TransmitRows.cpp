#include "transmit/TransmitRows.h"

#include "transmit/HexText.h"

#include <algorithm>
#include <limits>

namespace {

int clampedDlc(int dlc)
{
    return std::clamp(dlc, 0, MaxDlc);
}

CAN_Frame baseRecord(const FrameRowFields &row, std::uint8_t type)
{
    CAN_Frame record; // zero throughout
    record.type = type;
    record.id = HexTextToValue(row.identifier);
    record.dlc = static_cast<std::uint8_t>(clampedDlc(row.dlc));
    return record;
}

void fillData(CAN_Frame &record, const FrameRowFields &row)
{
    for (int i = 0; i < record.dlc; ++i)
        record.data[i] = HexTextToByte(row.data[static_cast<std::size_t>(i)]);
}

std::array<bool, DataFieldCount> dataFieldsFor(const FrameKind &kind, int dlc)
{
    std::array<bool, DataFieldCount> enabled{};
    if (!kind.remote) {
        for (int i = 0; i < clampedDlc(dlc); ++i)
            enabled[static_cast<std::size_t>(i)] = true;
    }
    return enabled;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A signed 32-bit integer with optional blanks around it.
std::optional<std::int32_t> parseInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t digitsFrom = i;
    std::int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
        ++i;
    }
    if (i == digitsFrom)
        return std::nullopt;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()
        || value < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

FrameRowFields rowWith(int kind, std::string_view identifier)
{
    FrameRowFields row;
    row.kind = kind;
    row.identifier = identifier;
    row.dlc = MaxDlc;
    for (std::size_t i = 0; i < DefaultData.size(); ++i)
        row.data[i] = DefaultData[i];
    return row;
}

RowControlState editableRowControls(const FrameRowFields &row)
{
    const FrameKind &kind = frameKindAt(row.kind);
    RowControlState state;
    state.fieldsEnabled = true;
    state.identifierLength = kind.identifierLength;
    state.identifierReplacement = ClampedIdentifierText(row.kind, row.identifier);
    state.dataEnabled = dataFieldsFor(kind, row.dlc);
    return state;
}

} // namespace

const FrameKind &frameKindAt(int index)
{
    if (index < 0 || index >= FrameKindCount)
        index = 0;
    return FrameKinds[static_cast<std::size_t>(index)];
}

CAN_Frame FillRowRecord(const FrameRowFields &row)
{
    CAN_Frame record = baseRecord(row, frameKindAt(row.kind).transmittedType);
    fillData(record, row);
    return record;
}

CAN_Frame FillInputRecord(const FrameRowFields &row)
{
    const FrameKind &kind = frameKindAt(row.kind);
    CAN_Frame record = baseRecord(row, kind.receivedType);
    if (!kind.remote)
        fillData(record, row);
    return record;
}

CAN_Frame FillResponseRecord(const FrameRowFields &row)
{
    CAN_Frame record = baseRecord(row, frameKindAt(row.kind).transmittedType);
    fillData(record, row);
    return record;
}

std::optional<std::string_view> ClampedIdentifierText(int kind, std::string_view text)
{
    const FrameKind &k = frameKindAt(kind);
    if (HexTextToValue(text) > k.identifierLimit)
        return k.limitText;
    return std::nullopt;
}

std::optional<std::size_t> HexFieldCutPosition(std::string_view text)
{
    const auto bad = std::find_if_not(text.begin(), text.end(), IsUpperHexDigit);
    if (bad == text.end())
        return std::nullopt;
    return static_cast<std::size_t>(bad - text.begin());
}

IntervalCheck CheckIntervals(const std::array<std::string, 4> &texts)
{
    IntervalCheck check;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto value = parseInteger(texts[i]);
        if (!value) {
            check.problem = IntervalProblem::NotAnInteger;
            check.field = static_cast<int>(i);
            return check;
        }
        check.values[i] = *value;
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (check.values[i] < MinIntervalMs || check.values[i] > MaxIntervalMs) {
            check.problem = IntervalProblem::OutOfRange;
            check.field = static_cast<int>(i);
            return check;
        }
    }
    return check;
}

IntervalCheck CheckInterval(const std::string &text)
{
    IntervalCheck check;
    const auto value = parseInteger(text);
    if (!value)
        check.problem = IntervalProblem::NotAnInteger;
    else if (*value < MinIntervalMs || *value > MaxIntervalMs)
        check.problem = IntervalProblem::OutOfRange;
    else
        check.values[0] = *value;
    if (check.problem != IntervalProblem::None)
        check.field = 0;
    return check;
}

std::string IntervalMessage(IntervalProblem problem)
{
    switch (problem) {
    case IntervalProblem::NotAnInteger:
        return "Enter an integer.";
    case IntervalProblem::OutOfRange:
        return "Enter an integer between " + std::to_string(MinIntervalMs) + " and "
            + std::to_string(MaxIntervalMs) + ".";
    case IntervalProblem::None:
        break;
    }
    return {};
}

RowControlState RowControlsFor(std::string_view toggleCaption, const FrameRowFields &row)
{
    return toggleCaption == StopCaption ? RowControlState{} : editableRowControls(row);
}

RowControlState PaneRowControlsFor(bool enabled, const FrameRowFields &row)
{
    return enabled ? editableRowControls(row) : RowControlState{};
}

FrameRowFields OpeningRow(int row)
{
    static constexpr std::array<std::string_view, 4> identifiers = {"123", "7AB", "12345678",
                                                                    "1ABCDEFF"};
    const int index = std::clamp(row, 0, 3);
    return rowWith(index < 2 ? 0 : 2, identifiers[static_cast<std::size_t>(index)]);
}

FrameRowFields ResetRow(int row)
{
    return rowWith(0, row == 0 ? "123" : "7AB");
}

FrameRowFields DefaultInputRow()
{
    return rowWith(1, "456");
}

FrameRowFields DefaultResponseRow()
{
    return rowWith(0, "456");
}
