#pragma once

#include "device/DeviceLibrary.h"
#include "device/FrameTap.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A device library for tests: records every call with its arguments, answers
// with programmable results, and delivers notifications a test queues.
class RecordingDeviceLibrary : public DeviceLibrary, public DeliveryMonitor {
public:
    struct Call {
        DevOrdinal ordinal;
        std::vector<std::int64_t> args; // integer arguments in call order
        std::vector<CAN_Frame> frames;  // frame arguments in call order
        std::string text;               // text argument (DevSetSerial)
    };

    struct Adapter {
        std::string productName;
        std::string serial;
        std::string instanceId;
    };

    // Programming the answers.
    std::vector<Adapter> adapters;
    std::map<DevOrdinal, DevStatus> statuses; // default DevSuccess
    CAN_Timing storedTiming{1, 0, 13, 2, 1};
    std::uint8_t storedOptions = 0;
    std::int32_t bitrateKbps = 500;
    // The rate the bus runs at; negative: the adapter cannot tell.
    std::int32_t busBitrateKbps = 500;
    CAN_Timing calculatedTiming{1, 0, 13, 2, 1};
    float samplePoint = 87.5F;
    DeviceInterfaceClass interfaceClass{};
    // What readDeliveryCounts answers; delivered counts the frames
    // deliverQueued handed to the tap.
    DeliveryCounts deliveryCounts;

    // What was called.
    const std::vector<Call> &calls() const { return m_calls; }
    std::vector<DevOrdinal> ordinals() const;
    int count(DevOrdinal ordinal) const;
    const Call *last(DevOrdinal ordinal) const;
    void clearCalls() { m_calls.clear(); }

    NotifyTarget *notifyTarget() const { return m_notifyTarget; }
    FrameTap *frameTap() const { return m_tap; }
    DeviceChangeListener *deviceChangeListener() const { return m_deviceListener; }

    // Notifications, queued by a test and delivered on demand.
    void queueFrame(const CAN_Frame &frame, int hint = 0, int message = 0x496);
    void queueErrorStatus(const CAN_ErrorStatus &status);
    int deliverQueued();
    void announceArrival(const std::string &devicePath);
    void announceRemoval(const std::string &devicePath);

    void DevSetNotifyWindow(NotifyTarget *receiver) override;
    void setFrameTap(FrameTap *tap) override { m_tap = tap; }
    DeliveryCounts readDeliveryCounts() override { return deliveryCounts; }
    DevStatus DevRelease() override;
    DevStatus DevGetDeviceCount(std::int32_t &count) override;
    DevStatus DevOpen(std::int32_t index) override;
    DevStatus DevClose() override;
    DevStatus DevWriteConfig(CAN_Timing timing, const std::uint8_t (&reserved)[ConfigReservedSize],
                             std::uint8_t options) override;
    DevStatus DevReadConfig(CAN_Timing &timing, std::uint8_t (&reserved)[ConfigReservedSize],
                            std::uint8_t &options) override;
    DevStatus DevCalcTiming(std::uint32_t bitsPerSecond, CAN_Timing &timing) override;
    DevStatus DevTimingToBitrate(std::int32_t &kbitPerSecond, CAN_Timing timing) override;
    DevStatus DevSamplePoint(float &percent, CAN_Timing timing) override;
    DevStatus DevStart(std::int32_t start) override;
    DevStatus DevSendFrame(CAN_Frame frame) override;
    DevStatus DevGetSerial(std::int32_t index, char *buffer, std::int32_t size) override;
    DevStatus DevSetSerial(const std::uint8_t *field, std::int32_t size) override;
    DevStatus DevRequestErrorStatus() override;
    DevStatus DevSetResponse(std::uint8_t enable, CAN_Frame trigger, CAN_Frame response) override;
    DeviceInterfaceClass DevGetInterfaceClass() override;
    DevStatus DevSetPause(std::int32_t pause) override;
    DevStatus DevSetPeriod(std::int32_t row, std::uint16_t periodMs) override;
    DevStatus DevGetProductName(std::int32_t index, char *buffer, std::int32_t size) override;
    DevStatus DevGetInstanceId(std::int32_t index, char *buffer, std::int32_t size) override;
    DevStatus DevSetPeriodicFrame(std::int32_t row, CAN_Frame frame) override;
    DevStatus DevEnablePeriodic(std::int32_t row, std::int32_t start) override;
    DevStatus readBusBitrate(std::int32_t &kbitPerSecond) override;
    void registerDeviceNotification(const DeviceInterfaceClass &interfaceClass,
                                    DeviceChangeListener *listener) override;

private:
    struct Notification {
        bool isFrame = true;
        int message = 0;
        CAN_Frame frame;
        int hint = 0;
        CAN_ErrorStatus status;
    };

    DevStatus record(DevOrdinal ordinal, std::vector<std::int64_t> args = {},
                     std::vector<CAN_Frame> frames = {}, std::string text = {});
    const Adapter *adapter(std::int32_t index) const;

    std::vector<Call> m_calls;
    std::vector<Notification> m_queue;
    NotifyTarget *m_notifyTarget = nullptr;
    FrameTap *m_tap = nullptr;
    DeviceChangeListener *m_deviceListener = nullptr;
};
