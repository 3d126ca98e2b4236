#pragma once

#include "display/RowLayout.h"

#include <cstdint>
#include <string>
#include <string_view>

// What one frame row shows, square by square, and how PlaceFrame and
// UpdateFrame change it: the row without its widgets. A row keeps this much
// whether or not it is on screen, so a list of thousands of identifiers costs
// a few hundred bytes a row; the widgets that paint it exist only for the
// rows near the visible part of the view.
class SquareRowContent {
public:
    using Square = RowLayout::Square;

    // Both return false when the DLC, read as a signed byte, lies outside 0
    // to 8: the caller reports a packet error. Placing then leaves the row
    // without labels, DLC, data and time; updating keeps the old ones.
    bool place(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
               std::string_view dataText, std::string_view timeText);
    // origin: where the row's x origin lies, from the row's left edge; the
    // wide squares move to origin + 430 and origin + 640 when the type
    // changes.
    bool update(std::uint32_t number, std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                std::string_view dataText, std::string_view timeText, int origin);

    bool isPlaced() const { return m_placed; }
    std::uint32_t number() const { return m_number; }
    // A square exists once the row is placed, DATA and TIMESTAMP only for a
    // frame with the frame bit set.
    bool exists(Square square) const;
    bool isShown(Square square) const;
    // From the row's left edge.
    int left(Square square) const;
    int width(Square square) const;
    std::string text(Square square) const;
    // The DATA and TIMESTAMP values without a copy (empty until shown).
    std::string_view dataText() const { return m_dataText; }
    std::string_view timeText() const { return m_timeText; }
    bool tailShown() const { return m_tailShown; }
    bool isLabelled() const { return m_labelled; }
    std::string_view label(Square square) const;
    Rgb colour(Square square) const;
    // The frame the number, direction, FORMAT and ID squares show.
    std::uint8_t headType() const { return m_type; }
    std::uint32_t identifier() const { return m_id; }
    // Change when the squares' places, shown states or labels change, and
    // when the DLC, DATA or TIMESTAMP values change.
    std::uint32_t layoutRevision() const { return m_layoutRevision; }
    std::uint32_t tailRevision() const { return m_tailRevision; }

private:
    struct WidePlace {
        std::int16_t left = 0;
        bool shown = false;
    };

    bool rearrange(std::uint8_t type, int origin);
    bool setTail(std::uint8_t dlc, std::string_view dataText, std::string_view timeText);
    const WidePlace &wide(Square square) const;

    std::uint32_t m_number = 0;
    std::uint32_t m_id = 0;
    std::uint32_t m_layoutRevision = 0;
    std::uint32_t m_tailRevision = 0;
    std::string m_dataText;
    std::string m_timeText;
    std::uint8_t m_type = 0;         // of the number, direction, FORMAT and ID values
    std::uint8_t m_arrangedType = 0; // DATA and TIMESTAMP are arranged for it
    std::uint8_t m_dlc = 0;
    bool m_placed = false;
    bool m_hasWide = false;   // DATA and TIMESTAMP exist
    bool m_tailShown = false; // DLC, DATA and TIMESTAMP hold values
    bool m_labelled = false;
    WidePlace m_data;
    WidePlace m_timestamp;
};
