#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The small interfaces through which the frame store reaches the windows around
// it. The store works without any of them; each does nothing until set.

// A rectangle in the view's scrolled coordinates, right and bottom exclusive.
struct RowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const RowRect &, const RowRect &) = default;
};

// The window that row controls are created in (the main view).
class RowParent {
public:
    virtual ~RowParent() = default;
};

// One row control of the shown page: a frame drawn as a strip of labelled
// squares. Destroying the object destroys the control.
class FrameRow {
public:
    virtual ~FrameRow() = default;
    virtual void PlaceFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                            std::uint8_t dlc, std::string_view dataText,
                            std::string_view timeText) = 0;
    virtual void UpdateFrame(std::uint32_t number, std::uint8_t type, std::uint32_t id,
                             std::uint8_t dlc, std::string_view dataText, std::string_view timeText,
                             std::int32_t xOrigin) = 0;
};

class RowFactory {
public:
    virtual ~RowFactory() = default;
    virtual std::unique_ptr<FrameRow> createRow(const RowRect &rect, RowParent *parent) = 0;
};

// What the store needs of the main frame.
class MainFrameLink {
public:
    virtual ~MainFrameLink() = default;
    virtual void SetLinkFlag(std::uint8_t mask, bool on) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void UpdateErrorStatusDialog() = 0;
};

// What the store needs of the control bar.
class ControlBarLink {
public:
    virtual ~ControlBarLink() = default;
    virtual void SetCounters(int tx, int rx) = 0;
    virtual void SetPageCountText(const std::string &text) = 0;
    virtual void SetPageFieldText(const std::string &text) = 0;
};

// What the store needs of the main view.
class ViewLink {
public:
    virtual ~ViewLink() = default;
    virtual int horizontalScrollPosition() const = 0;
    virtual void EnableNavigation(int state) = 0;
};

// Link status bits of the main frame.
namespace LinkStatus {
inline constexpr std::uint8_t ReceiveActivity = 0x01;
inline constexpr std::uint8_t TransmitActivity = 0x02;
inline constexpr std::uint8_t BusError = 0x04;
inline constexpr std::uint8_t Connected = 0x08;
} // namespace LinkStatus

// Navigation states of the paging controls.
namespace Navigation {
inline constexpr int None = 0;   // 25 entries or fewer: previous and next disabled
inline constexpr int First = 1;  // first page: next only
inline constexpr int Last = 2;   // last page: previous only
inline constexpr int Middle = 3; // both
} // namespace Navigation
