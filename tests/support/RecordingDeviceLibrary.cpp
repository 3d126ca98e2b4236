#include "RecordingDeviceLibrary.h"

#include <algorithm>

std::vector<DevOrdinal> RecordingDeviceLibrary::ordinals() const
{
    std::vector<DevOrdinal> result;
    for (const Call &call : m_calls)
        result.push_back(call.ordinal);
    return result;
}

int RecordingDeviceLibrary::count(DevOrdinal ordinal) const
{
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(),
                                          [&](const Call &c) { return c.ordinal == ordinal; }));
}

const RecordingDeviceLibrary::Call *RecordingDeviceLibrary::last(DevOrdinal ordinal) const
{
    for (auto it = m_calls.rbegin(); it != m_calls.rend(); ++it) {
        if (it->ordinal == ordinal)
            return &*it;
    }
    return nullptr;
}

void RecordingDeviceLibrary::queueFrame(const CAN_Frame &frame, int hint, int message)
{
    Notification n;
    n.message = message;
    n.frame = frame;
    n.hint = hint;
    m_queue.push_back(n);
}

void RecordingDeviceLibrary::queueErrorStatus(const CAN_ErrorStatus &status)
{
    Notification n;
    n.isFrame = false;
    n.status = status;
    m_queue.push_back(n);
}

int RecordingDeviceLibrary::deliverQueued()
{
    const int delivered = static_cast<int>(m_queue.size());
    for (const Notification &n : m_queue) {
        if (n.isFrame && m_tap) {
            m_tap->framesDelivered(std::span(&n.frame, 1));
            ++deliveryCounts.delivered;
        }
    }
    if (m_notifyTarget) {
        for (const Notification &n : m_queue) {
            if (n.isFrame)
                m_notifyTarget->postFrame(n.message, n.frame, n.hint);
            else
                m_notifyTarget->postErrorStatus(n.status);
        }
    }
    m_queue.clear();
    return m_notifyTarget ? delivered : 0;
}

void RecordingDeviceLibrary::announceArrival(const std::string &devicePath)
{
    if (m_deviceListener)
        m_deviceListener->postDeviceArrival(devicePath);
}

void RecordingDeviceLibrary::announceRemoval(const std::string &devicePath)
{
    if (m_deviceListener)
        m_deviceListener->postDeviceRemoval(devicePath);
}

DevStatus RecordingDeviceLibrary::record(DevOrdinal ordinal, std::vector<std::int64_t> args,
                                         std::vector<CAN_Frame> frames, std::string text)
{
    m_calls.push_back(Call{ordinal, std::move(args), std::move(frames), std::move(text)});
    const auto found = statuses.find(ordinal);
    return found == statuses.end() ? DevSuccess : found->second;
}

const RecordingDeviceLibrary::Adapter *RecordingDeviceLibrary::adapter(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= adapters.size())
        return nullptr;
    return &adapters[static_cast<std::size_t>(index)];
}

void RecordingDeviceLibrary::DevSetNotifyWindow(NotifyTarget *receiver)
{
    m_notifyTarget = receiver;
    record(DevOrdinal::SetNotifyWindow);
}

DevStatus RecordingDeviceLibrary::DevRelease()
{
    return record(DevOrdinal::Release);
}

DevStatus RecordingDeviceLibrary::DevGetDeviceCount(std::int32_t &count)
{
    count = static_cast<std::int32_t>(adapters.size());
    return record(DevOrdinal::GetDeviceCount);
}

DevStatus RecordingDeviceLibrary::DevOpen(std::int32_t index)
{
    return record(DevOrdinal::Open, {index});
}

DevStatus RecordingDeviceLibrary::DevClose()
{
    return record(DevOrdinal::Close);
}

DevStatus RecordingDeviceLibrary::DevWriteConfig(CAN_Timing timing,
                                                 const std::uint8_t (&reserved)[ConfigReservedSize],
                                                 std::uint8_t options)
{
    std::vector<std::int64_t> args{timing.btr,   timing.sjw,    timing.tseg1,
                                   timing.tseg2, timing.clkDiv, options};
    args.insert(args.end(), std::begin(reserved), std::end(reserved));
    return record(DevOrdinal::WriteConfig, std::move(args));
}

DevStatus RecordingDeviceLibrary::DevReadConfig(CAN_Timing &timing,
                                                std::uint8_t (&reserved)[ConfigReservedSize],
                                                std::uint8_t &options)
{
    timing = storedTiming;
    std::fill(std::begin(reserved), std::end(reserved), std::uint8_t{0});
    options = storedOptions;
    return record(DevOrdinal::ReadConfig);
}

DevStatus RecordingDeviceLibrary::DevCalcTiming(std::uint32_t bitsPerSecond, CAN_Timing &timing)
{
    timing = calculatedTiming;
    return record(DevOrdinal::CalcTiming, {bitsPerSecond});
}

DevStatus RecordingDeviceLibrary::DevTimingToBitrate(std::int32_t &kbitPerSecond, CAN_Timing timing)
{
    kbitPerSecond = bitrateKbps;
    return record(DevOrdinal::TimingToBitrate,
                  {timing.btr, timing.sjw, timing.tseg1, timing.tseg2, timing.clkDiv});
}

DevStatus RecordingDeviceLibrary::DevSamplePoint(float &percent, CAN_Timing timing)
{
    percent = samplePoint;
    return record(DevOrdinal::SamplePoint,
                  {timing.btr, timing.sjw, timing.tseg1, timing.tseg2, timing.clkDiv});
}

DevStatus RecordingDeviceLibrary::DevStart(std::int32_t start)
{
    return record(DevOrdinal::Start, {start});
}

DevStatus RecordingDeviceLibrary::DevSendFrame(CAN_Frame frame)
{
    return record(DevOrdinal::SendFrame, {}, {frame});
}

DevStatus RecordingDeviceLibrary::DevGetSerial(std::int32_t index, char *buffer, std::int32_t size)
{
    const Adapter *a = adapter(index);
    copyToBuffer(a ? a->serial : std::string{}, buffer, size);
    return record(DevOrdinal::GetSerial, {index, size});
}

DevStatus RecordingDeviceLibrary::DevSetSerial(const std::uint8_t *field, std::int32_t size)
{
    std::string text(reinterpret_cast<const char *>(field), static_cast<std::size_t>(size));
    return record(DevOrdinal::SetSerial, {size}, {}, std::move(text));
}

DevStatus RecordingDeviceLibrary::DevRequestErrorStatus()
{
    return record(DevOrdinal::RequestErrorStatus);
}

DevStatus RecordingDeviceLibrary::DevSetResponse(std::uint8_t enable, CAN_Frame trigger,
                                                 CAN_Frame response)
{
    return record(DevOrdinal::SetResponse, {enable}, {trigger, response});
}

DeviceInterfaceClass RecordingDeviceLibrary::DevGetInterfaceClass()
{
    record(DevOrdinal::GetInterfaceClass);
    return interfaceClass;
}

DevStatus RecordingDeviceLibrary::DevSetPause(std::int32_t pause)
{
    return record(DevOrdinal::SetPause, {pause});
}

DevStatus RecordingDeviceLibrary::DevSetPeriod(std::int32_t row, std::uint16_t periodMs)
{
    return record(DevOrdinal::SetPeriod, {row, periodMs});
}

DevStatus RecordingDeviceLibrary::DevGetProductName(std::int32_t index, char *buffer,
                                                    std::int32_t size)
{
    const Adapter *a = adapter(index);
    copyToBuffer(a ? a->productName : std::string{}, buffer, size);
    return record(DevOrdinal::GetProductName, {index, size});
}

DevStatus RecordingDeviceLibrary::DevGetInstanceId(std::int32_t index, char *buffer,
                                                   std::int32_t size)
{
    const Adapter *a = adapter(index);
    copyToBuffer(a ? a->instanceId : std::string{}, buffer, size);
    return record(DevOrdinal::GetInstanceId, {index, size});
}

DevStatus RecordingDeviceLibrary::DevSetPeriodicFrame(std::int32_t row, CAN_Frame frame)
{
    return record(DevOrdinal::SetPeriodicFrame, {row}, {frame});
}

DevStatus RecordingDeviceLibrary::DevEnablePeriodic(std::int32_t row, std::int32_t start)
{
    return record(DevOrdinal::EnablePeriodic, {row, start});
}

DevStatus RecordingDeviceLibrary::readBusBitrate(std::int32_t &kbitPerSecond)
{
    // Not recorded: it has no ordinal.
    if (busBitrateKbps < 0)
        return 1;
    kbitPerSecond = busBitrateKbps;
    return DevSuccess;
}

void RecordingDeviceLibrary::registerDeviceNotification(const DeviceInterfaceClass &,
                                                        DeviceChangeListener *listener)
{
    m_deviceListener = listener;
}
