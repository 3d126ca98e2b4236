#include "inspect/PacketDialogState.h"

StepButtonsState stepButtonsFor(std::int32_t edge)
{
    switch (edge) {
    case 1:
        return {false, true};
    case 2:
        return {true, false};
    default:
        return {true, true};
    }
}

void PacketDialogState::SetFrame(const CAN_Packet &frame, std::uint32_t number, std::int32_t edge)
{
    m_frame = frame;
    m_number = number;
    m_numberText = std::to_string(frame.number);
    m_buttons = stepButtonsFor(edge);
    m_model = buildFieldModel(frame);
}
