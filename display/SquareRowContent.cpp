#include "display/SquareRowContent.h"

#include "capture/CanFrame.h"

using namespace RowLayout;

bool SquareRowContent::place(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                             std::uint8_t dlc, std::string_view dataText, std::string_view timeText)
{
    m_placed = true;
    m_arrangedType = type;
    const auto slots = wideSlotsFor(type);
    m_hasWide = slots.has_value();
    if (slots) {
        m_data = {static_cast<std::int16_t>(WideSlotLeft[slots->dataSlot]), slots->dataShown};
        m_timestamp = {static_cast<std::int16_t>(WideSlotLeft[slots->timestampSlot]),
                       slots->timestampShown};
    }
    m_number = number;
    m_type = type;
    m_id = id;
    m_tailShown = false;
    m_labelled = false;
    m_dlc = 0;
    m_dataText.clear();
    m_timeText.clear();
    ++m_layoutRevision;
    ++m_tailRevision;
    if (!isValidLength(dlc))
        return false;
    setTail(dlc, dataText, timeText);
    m_labelled = true;
    return true;
}

bool SquareRowContent::update(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                              std::uint8_t dlc, std::string_view dataText,
                              std::string_view timeText, int origin)
{
    // Compared with the type the wide squares are arranged for, which differs
    // from the last frame's after a frame with a bad DLC.
    if (type != m_arrangedType && rearrange(type, origin))
        ++m_layoutRevision;
    m_number = number;
    m_type = type;
    m_id = id;
    const bool valid = isValidLength(dlc);
    if (valid && setTail(dlc, dataText, timeText))
        ++m_tailRevision;
    return valid;
}

bool SquareRowContent::rearrange(std::uint8_t type, int origin)
{
    // For a type outside the table nothing moves, and squares that were never
    // created stay absent.
    const auto slots = wideSlotsFor(type);
    if (!slots || !m_hasWide)
        return false;
    const WidePlace data{static_cast<std::int16_t>(origin + WideSlotLeft[slots->dataSlot]),
                         slots->dataShown};
    const WidePlace timestamp{
        static_cast<std::int16_t>(origin + WideSlotLeft[slots->timestampSlot]),
        slots->timestampShown};
    const bool changed = data.left != m_data.left || data.shown != m_data.shown
        || timestamp.left != m_timestamp.left || timestamp.shown != m_timestamp.shown;
    m_data = data;
    m_timestamp = timestamp;
    m_arrangedType = type;
    return changed;
}

bool SquareRowContent::setTail(std::uint8_t dlc, std::string_view dataText,
                               std::string_view timeText)
{
    bool changed = !m_tailShown || dlc != m_dlc;
    m_tailShown = true;
    m_dlc = dlc;
    if (dataText != m_dataText) {
        m_dataText = dataText;
        changed = true;
    }
    if (timeText != m_timeText) {
        m_timeText = timeText;
        changed = true;
    }
    return changed;
}

const SquareRowContent::WidePlace &SquareRowContent::wide(Square square) const
{
    return square == Data ? m_data : m_timestamp;
}

bool SquareRowContent::exists(Square square) const
{
    if (!m_placed)
        return false;
    return (square != Data && square != Timestamp) || m_hasWide;
}

bool SquareRowContent::isShown(Square square) const
{
    if (!exists(square))
        return false;
    return (square != Data && square != Timestamp) || wide(square).shown;
}

int SquareRowContent::left(Square square) const
{
    if (square == Data || square == Timestamp)
        return wide(square).left;
    return fixedPlace(square).left;
}

int SquareRowContent::width(Square square) const
{
    return fixedPlace(square).width;
}

std::string SquareRowContent::text(Square square) const
{
    if (!m_placed)
        return {};
    switch (square) {
    case Number:
        return numberText(m_number);
    case Direction:
        return std::string(directionText(m_type));
    case Format:
        return std::string(frameKindLabel(m_type));
    case Identifier:
        return identifierText(m_type, m_id);
    case Length:
        return m_tailShown ? numberText(m_dlc) : std::string();
    case Data:
        return m_tailShown ? m_dataText : std::string();
    case Timestamp:
        return m_tailShown ? m_timeText : std::string();
    default:
        return {};
    }
}

std::string_view SquareRowContent::label(Square square) const
{
    return m_labelled ? RowLayout::label(square) : std::string_view();
}

Rgb SquareRowContent::colour(Square square) const
{
    // The direction square takes its direction's colour with every frame;
    // the others their label colour once labelled.
    if (square == Direction)
        return m_placed ? directionColour(m_type) : Rgb{};
    return m_labelled ? labelColour(square) : Rgb{};
}
