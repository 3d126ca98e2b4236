#pragma once

#include <QEvent>

#include <cstdint>

// WM_OPEN_FRAME_VIEW, WM_SHOW_NEXT_FRAME or WM_SHOW_PREV_FRAME to the main view,
// carrying a frame number. Sent, not posted: the view answers before the send
// returns.
class FrameRequestEvent : public QEvent {
public:
    FrameRequestEvent(int message, std::uint32_t number)
        : QEvent(static_cast<QEvent::Type>(message)), number(number)
    { }

    const std::uint32_t number;
};
