#pragma once

#include "capture/CanPacket.h"
#include "inspect/FrameFieldModel.h"

#include <cstdint>
#include <string>

// The Previous Frame and Next Frame buttons of the Detailed Frame View.
struct StepButtonsState {
    bool previous = true;
    bool next = true;

    friend bool operator==(const StepButtonsState &, const StepButtonsState &) = default;
};

// Edge flag 1 (the first frame was reached) disables Previous Frame, 2 (the
// last one) disables Next Frame; anything else enables both.
StepButtonsState stepButtonsFor(std::int32_t edge);

// What the Detailed Frame View shows, without its widgets: the frame, the
// number by which the owner finds it again, the number field, the stepping
// buttons and the field model handed to the bit diagram.
class PacketDialogState {
public:
    void SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge);

    const CAN_Packet &frame() const { return m_frame; }
    std::uint32_t currentNumber() const { return m_number; }
    // The shown record's own number, which is 0 for a frame no longer listed.
    const std::string &numberText() const { return m_numberText; }
    StepButtonsState buttons() const { return m_buttons; }
    const FrameFieldModel &model() const { return m_model; }

private:
    CAN_Packet m_frame;
    std::uint32_t m_number = 0;
    std::string m_numberText;
    StepButtonsState m_buttons;
    FrameFieldModel m_model;
};
