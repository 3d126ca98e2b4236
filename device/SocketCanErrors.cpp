#include "device/SocketCanErrors.h"

#include "device/FaultConfinement.h"

namespace SocketCanErrors {

namespace {

// Controller status bits (data byte 1).
constexpr std::uint8_t RxPassive = 0x10;
constexpr std::uint8_t TxPassive = 0x20;
constexpr std::uint8_t Active = 0x40;

// Protocol violation types (data byte 2).
constexpr std::uint8_t ProtBit = 0x01;
constexpr std::uint8_t ProtForm = 0x02;
constexpr std::uint8_t ProtStuff = 0x04;
constexpr std::uint8_t ProtBit0 = 0x08;
constexpr std::uint8_t ProtBit1 = 0x10;

// Locations (data byte 3) in the CRC sequence and delimiter.
constexpr std::uint8_t LocCrcSequence = 0x08;
constexpr std::uint8_t LocCrcDelimiter = 0x18;

void increment(std::uint16_t &counter)
{
    if (counter < 0xFFFF)
        ++counter;
}

} // namespace

bool apply(std::uint32_t errorClass, const std::uint8_t (&data)[8], CAN_ErrorStatus &status)
{
    const CAN_ErrorStatus before = status;
    using Mode = FaultConfinement::Mode;

    if ((errorClass & ProtocolViolation) != 0) {
        const std::uint8_t type = data[2];
        const std::uint8_t location = data[3];
        if ((type & ProtStuff) != 0) {
            status.lec = 1;
            increment(status.stuffErrors);
        } else if ((type & ProtForm) != 0) {
            status.lec = 2;
            increment(status.formErrors);
        } else if ((type & ProtBit1) != 0) {
            status.lec = 4;
            increment(status.bitErrors);
        } else if ((type & (ProtBit0 | ProtBit)) != 0) {
            status.lec = 5;
            increment(status.bitErrors);
        } else if (location == LocCrcSequence || location == LocCrcDelimiter) {
            status.lec = 6;
            increment(status.crcErrors);
        }
    }
    if ((errorClass & NoAcknowledge) != 0) {
        status.lec = 3;
        increment(status.ackErrors);
    }
    if ((errorClass & ControllerProblem) != 0) {
        const std::uint8_t controller = data[1];
        if ((controller & (RxPassive | TxPassive)) != 0)
            status.errorMode = Mode::ErrorPassive;
        else if ((controller & Active) != 0)
            status.errorMode = Mode::ErrorActive;
    }
    if ((errorClass & BusOff) != 0)
        status.errorMode = Mode::BusOff;
    if ((errorClass & Restarted) != 0) {
        status.errorMode = Mode::ErrorActive;
        status.tec = 0;
        status.rec = 0;
    }
    if ((errorClass & CountersPresent) != 0) {
        status.tec = data[6];
        status.rec = data[7];
    }
    return !(status == before);
}

} // namespace SocketCanErrors
