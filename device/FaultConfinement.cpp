#include "device/FaultConfinement.h"

#include <algorithm>

namespace {

constexpr int PassiveLimit = 127;
constexpr int BusOffLimit = 255;
constexpr int MaxReceiveCount = 255;

void increment(std::uint16_t &counter)
{
    if (counter < 0xFFFF)
        ++counter;
}

} // namespace

void FaultConfinement::count(Error error)
{
    m_lastError = static_cast<std::uint8_t>(error);
    switch (error) {
    case Error::Stuff:
        increment(m_counts.stuffErrors);
        break;
    case Error::Form:
        increment(m_counts.formErrors);
        break;
    case Error::Ack:
        increment(m_counts.ackErrors);
        break;
    case Error::BitRecessive:
    case Error::BitDominant:
        increment(m_counts.bitErrors);
        break;
    case Error::Crc:
        increment(m_counts.crcErrors);
        break;
    }
}

void FaultConfinement::transmitError(Error error)
{
    if (m_busOff)
        return;
    count(error);
    if (error == Error::Ack && mode() == ErrorPassive)
        return;
    m_tec += 8;
    if (m_tec > BusOffLimit)
        m_busOff = true;
}

void FaultConfinement::receiveError(Error error)
{
    if (m_busOff)
        return;
    count(error);
    m_rec = std::min(m_rec + 1, MaxReceiveCount);
}

void FaultConfinement::transmitSucceeded()
{
    if (!m_busOff && m_tec > 0)
        --m_tec;
}

void FaultConfinement::receiveSucceeded()
{
    if (m_busOff)
        return;
    if (m_rec > PassiveLimit)
        m_rec = 119;
    else if (m_rec > 0)
        --m_rec;
}

void FaultConfinement::recover()
{
    m_tec = 0;
    m_rec = 0;
    m_busOff = false;
}

void FaultConfinement::reset()
{
    *this = FaultConfinement();
}

FaultConfinement::Mode FaultConfinement::mode() const
{
    if (m_busOff)
        return BusOff;
    if (m_tec > PassiveLimit || m_rec > PassiveLimit)
        return ErrorPassive;
    return ErrorActive;
}

CAN_ErrorStatus FaultConfinement::status() const
{
    CAN_ErrorStatus status = m_counts;
    status.tec = static_cast<std::uint8_t>(std::min(m_tec, 255));
    status.rec = static_cast<std::uint8_t>(std::min(m_rec, 255));
    status.lec = m_lastError;
    status.errorMode = mode();
    return status;
}
