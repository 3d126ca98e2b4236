#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

// Answers of the view's OnNewFrame.
namespace NewFrameResult {
inline constexpr std::uint8_t Handled = 0;
inline constexpr std::uint8_t CaptureFull = 1; // the store holds its limit; the frame was dropped
inline constexpr std::uint8_t NoDocument = 0xFF;
} // namespace NewFrameResult

// The entry point of live frames: the main view.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual std::uint8_t OnNewFrame(CAN_Frame frame, int hint) = 0;
    // Live frames come in batches; what the view lays out for them (its
    // scroll extent) may wait for the end of the batch. Batches nest; a
    // message box in the middle of one asks for the layout at once.
    virtual void beginBatch() { }
    virtual void endBatch() { }
    virtual void reportBatch() { }
};

// The main frame's connection state.
class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    virtual bool IsConnected() const = 0;
};
