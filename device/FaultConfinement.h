#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

// The error counters and error state of one CAN controller, by the fault
// confinement rules of ISO 11898-1, with the error statistics the adapter
// reports in CAN_ErrorStatus.
//
// Error mode values: 0 error active, 1 error passive, 4 bus off.
// Last error codes: 0 none, 1 stuff, 2 form, 3 ACK, 4 bit (recessive sent,
// dominant seen), 5 bit (dominant sent, recessive seen), 6 CRC.
class FaultConfinement {
public:
    enum class Error : std::uint8_t {
        Stuff = 1,
        Form = 2,
        Ack = 3,
        BitRecessive = 4,
        BitDominant = 5,
        Crc = 6,
    };

    enum Mode : std::uint8_t {
        ErrorActive = 0,
        ErrorPassive = 1,
        BusOff = 4,
    };

    // A transmitter that detects an error adds 8 to its TEC, except an error
    // passive one whose only fault is a missing acknowledgement.
    void transmitError(Error error);
    // A receiver that detects an error adds 1 to its REC.
    void receiveError(Error error);
    // A frame sent without error takes 1 from the TEC.
    void transmitSucceeded();
    // A frame received without error takes 1 from the REC; above the error
    // passive limit the REC drops back to 119.
    void receiveSucceeded();
    // Bus-off recovery (128 occurrences of 11 recessive bits) or a restart:
    // both counters are cleared, the controller is error active again.
    void recover();
    // Clears counters and statistics, as opening the adapter does.
    void reset();

    Mode mode() const;
    bool isBusOff() const { return mode() == BusOff; }
    int transmitErrorCount() const { return m_tec; }
    int receiveErrorCount() const { return m_rec; }
    CAN_ErrorStatus status() const;

private:
    void count(Error error);

    int m_tec = 0;
    int m_rec = 0;
    bool m_busOff = false;
    std::uint8_t m_lastError = 0;
    CAN_ErrorStatus m_counts;
};
