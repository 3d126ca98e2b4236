#pragma once

#include "capture/CanFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the Exerciser's transmit rows and the response pane make of their
// fields: the frame kinds, the records they hand to the device library, the
// checks of their hexadecimal and interval fields and which of their controls
// are enabled.

// One entry of the kind lists; its index is its position in every list.
struct FrameKind {
    std::string_view label;
    bool extended = false;
    bool remote = false;
    std::uint32_t identifierLimit = 0;
    std::string_view limitText; // what an identifier above the limit becomes
    int identifierLength = 0;   // characters the identifier field takes
    std::uint8_t transmittedType = 0;
    std::uint8_t receivedType = 0;
};

inline constexpr int FrameKindCount = 4;
inline constexpr std::array<FrameKind, FrameKindCount> FrameKinds = {{
    {FrameKindLabels[0], false, false, 0x7FF, "7FF", 3, 0x14, 0x04},
    {FrameKindLabels[1], false, true, 0x7FF, "7FF", 3, 0x15, 0x05},
    {FrameKindLabels[2], true, false, 0x1FFFFFFF, "1FFFFFFF", 8, 0x16, 0x06},
    {FrameKindLabels[3], true, true, 0x1FFFFFFF, "1FFFFFFF", 8, 0x17, 0x07},
}};

// The kind at a list position; a position outside the list (an empty list
// reports -1) is taken as the first kind.
const FrameKind &frameKindAt(int index);

inline constexpr int DataFieldCount = 8;
inline constexpr int DataFieldLength = 2;
inline constexpr int MaxDlc = 8;

// The fields of one frame row as the user sees them.
struct FrameRowFields {
    int kind = 0;
    std::string identifier;
    int dlc = 0; // position in the DLC list, 0 to 8
    std::array<std::string, DataFieldCount> data;
};

// The Exerciser's transmit record for a row: the kind's transmitted type, the
// identifier, the DLC and the first DLC data bytes (for remote kinds too,
// from their disabled fields). Everything else is zero.
CAN_Frame FillRowRecord(const FrameRowFields &row);

// The response pane's two records. The input frame carries the type of a
// received frame and data bytes only for a data kind; the response frame the
// type of a transmitted one and the first DLC data bytes for every kind.
// Everything else is zero.
CAN_Frame FillInputRecord(const FrameRowFields &row);
CAN_Frame FillResponseRecord(const FrameRowFields &row);

// The text an identifier field must show instead of its own under a kind:
// the kind's limit ("7FF", "1FFFFFFF") when the value is above it, nothing
// when the text may stay.
std::optional<std::string_view> ClampedIdentifierText(int kind, std::string_view text);

// Where a checked hexadecimal field is cut: the position of its first
// character that is not '0'-'9' or 'A'-'F' (lower-case letters included),
// nothing when the whole text passes.
std::optional<std::size_t> HexFieldCutPosition(std::string_view text);

// The interval fields: milliseconds from 1 to 1000.
inline constexpr int MinIntervalMs = 1;
inline constexpr int MaxIntervalMs = 1000;
inline constexpr int IntervalFieldLength = 4;
inline constexpr int DefaultIntervalMs = 100;

enum class IntervalProblem { None, NotAnInteger, OutOfRange };

struct IntervalCheck {
    IntervalProblem problem = IntervalProblem::None;
    // The first field at fault, 0 to 3; -1 when all pass.
    int field = -1;
    std::array<std::int32_t, 4> values{};
};

// All four fields are read as signed 32-bit integers first, then each is
// tested against the range, so a text that is not an integer is reported
// before a value out of range, whichever row holds it.
IntervalCheck CheckIntervals(const std::array<std::string, 4> &texts);

// One field checked as above, for a row started on its own interval; the
// value is values[0], a fault is reported as field 0.
IntervalCheck CheckInterval(const std::string &text);

// The message for a failed interval check ("Enter an integer." or the range
// message); empty when it passed.
std::string IntervalMessage(IntervalProblem problem);

// The caption of a row's toggle carries whether the row sends periodically.
inline constexpr std::string_view AutoCaption = "Auto";
inline constexpr std::string_view StopCaption = "Stop";

// Enabled states of the controls of a transmit row or of a response pane row.
struct RowControlState {
    bool fieldsEnabled = false; // kind, identifier and DLC; Reset and Send in a transmit row
    std::array<bool, DataFieldCount> dataEnabled{};
    // Set only on an editable row: the identifier's length limit and the text
    // it must show instead of its own.
    std::optional<int> identifierLength;
    std::optional<std::string_view> identifierReplacement;
};

// A running row (caption "Stop") keeps its frame locked; any other row gets
// its kind's identifier limit and the data fields its kind and DLC allow.
RowControlState RowControlsFor(std::string_view toggleCaption, const FrameRowFields &row);

// A response pane row is editable, as a transmit row that does not run, while
// the pane is enabled.
RowControlState PaneRowControlsFor(bool enabled, const FrameRowFields &row);

// The rows as they start: in the Exerciser, at Reset, and in the response pane.
inline constexpr std::array<std::string_view, DataFieldCount> DefaultData = {
    "12", "34", "56", "78", "9A", "BC", "DE", "FF"};
FrameRowFields OpeningRow(int row);
// Reset leaves the interval alone.
FrameRowFields ResetRow(int row);
FrameRowFields DefaultInputRow();
FrameRowFields DefaultResponseRow();
