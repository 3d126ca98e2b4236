#include "inspect/FrameFieldModel.h"

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"

#include <algorithm>
#include <cstdio>

namespace {

// Fills the model in field order.
class FieldWriter {
public:
    explicit FieldWriter(FrameFieldModel &model) : m_model(model) { }

    void field(const std::string &value) { m_model.values[m_value++] = value; }

    // The bits of number from bit high down to bit low.
    void bits(std::uint32_t number, int high, int low)
    {
        for (int bit = high; bit >= low; --bit)
            m_model.bits[m_bit++] = ((number >> bit) & 1U) ? "1" : "0";
    }

    // A one-bit field whose value is its bit.
    void flag(bool set)
    {
        field(set ? "1" : "0");
        bits(set ? 1U : 0U, 0, 0);
    }

private:
    FrameFieldModel &m_model;
    int m_value = 0;
    int m_bit = 0;
};

std::string hexText(const char *format, std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}

bool isStandard(std::uint8_t type)
{
    return (type & (FrameType::FrameBit | FrameType::Extended)) == FrameType::FrameBit;
}

bool isExtended(std::uint8_t type)
{
    return (type & (FrameType::FrameBit | FrameType::Extended))
        == (FrameType::FrameBit | FrameType::Extended);
}

bool isRemote(std::uint8_t type)
{
    return (type & (FrameType::FrameBit | FrameType::Remote))
        == (FrameType::FrameBit | FrameType::Remote);
}

} // namespace

FrameFieldModel buildFieldModel(const CAN_Packet &frame)
{
    FrameFieldModel model;
    model.type = frame.type;
    model.dlc = frame.dlc;

    FieldWriter writer(model);
    writer.flag(false); // start of frame
    if (isStandard(frame.type)) {
        writer.field(hexText("0x%04X", frame.id));
        writer.bits(frame.id, 10, 0);
        writer.flag(isRemote(frame.type)); // RTR
        writer.flag(false);                // IDE
        writer.flag(false);                // r0
        writer.field(std::to_string(frame.dlc));
        writer.bits(frame.dlc, 3, 0);
    } else if (isExtended(frame.type)) {
        // Both identifier parts show the whole identifier.
        writer.field(hexText("0x%08X", frame.id));
        writer.bits(frame.id, 28, 18);
        writer.flag(true); // SRR
        writer.flag(true); // IDE
        writer.field(hexText("0x%08X", frame.id));
        writer.bits(frame.id, 17, 0);
        writer.flag(isRemote(frame.type)); // RTR
        writer.flag(false);                // r0
        writer.flag(false);                // r1
        writer.field(std::to_string(frame.dlc));
        writer.bits(frame.dlc, 3, 0);
    }

    // DLC 9 to 15 still carries eight bytes on the bus; the record holds eight.
    const int bytes = std::min<int>(frame.dlc, FrameFieldModel::DataByteCount);
    for (int n = 0; n < bytes; ++n) {
        const std::uint8_t byte = frame.data[n];
        model.dataValues[n] = hexText("0x%02X", byte);
        for (int k = 0; k < 8; ++k)
            model.dataBits[8 * n + k] = ((byte >> (7 - k)) & 1U) ? "1" : "0";
    }
    return model;
}
