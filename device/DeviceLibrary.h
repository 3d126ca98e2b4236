#pragma once

#include "capture/CanFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Bit-timing record exchanged with the adapter, passed by value.
struct CAN_Timing {
    std::uint8_t btr = 0;    // baud-rate prescaler, 1 to 255
    std::uint8_t sjw = 0;    // synchronisation jump width, 0 to 3
    std::uint8_t tseg1 = 0;  // 1 to 15
    std::uint8_t tseg2 = 0;  // 0 to 7
    std::uint8_t clkDiv = 0; // selector 0 to 7 for the dividers below

    friend bool operator==(const CAN_Timing &, const CAN_Timing &) = default;
};

static_assert(sizeof(CAN_Timing) == 5);

// Clock dividers selected by CAN_Timing::clkDiv.
inline constexpr std::array<int, 8> ClockDividers = {1, 2, 3, 5, 9, 17, 33, 65};

// Adapter options stored with the bit timing.
namespace AdapterOption {
inline constexpr std::uint8_t AutomaticRetransmission = 0x01; // ART
inline constexpr std::uint8_t AutomaticBusOffRecovery = 0x02; // ABOR
} // namespace AdapterOption

// Status of a library operation: 0 is success, anything else a failure.
using DevStatus = std::uint8_t;
inline constexpr DevStatus DevSuccess = 0;
inline constexpr DevStatus DevInUse = 0x11; // the adapter is open in another program
// The system did not let this program change the adapter.
inline constexpr DevStatus DevNotPermitted = 0x12;

// The ordinal of each operation, as the adapter's library exports them.
enum class DevOrdinal : int {
    SetNotifyWindow = 1,
    Release = 2,
    GetDeviceCount = 3,
    Open = 4,
    Close = 5,
    WriteConfig = 6,
    ReadConfig = 7,
    CalcTiming = 8,
    TimingToBitrate = 9,
    SamplePoint = 10,
    Start = 11,
    SendFrame = 12,
    GetSerial = 13,
    SetSerial = 14,
    RequestErrorStatus = 15,
    SetResponse = 20,
    GetInterfaceClass = 21,
    SetPause = 22,
    SetPeriod = 24,
    GetProductName = 26,
    GetInstanceId = 28,
    SetPeriodicFrame = 29,
    EnablePeriodic = 30,
};

// Size of the reserved block that travels with the configuration.
inline constexpr std::size_t ConfigReservedSize = 12;

// Sizes of the text buffers callers hand to the naming operations.
inline constexpr int SerialBufferSize = 20;
inline constexpr int ProductNameBufferSize = 50;
inline constexpr int InstanceIdListBufferSize = 100;
inline constexpr int InstanceIdBufferSize = 50;
inline constexpr int SerialFieldSize = 10;

// Identifies the class of device interfaces whose arrival and removal the
// program watches.
using DeviceInterfaceClass = std::array<std::uint8_t, 16>;

// The receiver the library posts its notifications to. The library calls it
// from its own thread; an implementation copies the record and hands it over to
// the user-interface thread, so the record need only be valid during the call.
class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    // message is WM_FRAME_NOTIFY or WM_FRAME_NOTIFY_UNTIMED; hint is the display hint.
    virtual void postFrame(int message, const CAN_Frame &frame, int hint) = 0;
    // WM_ERROR_STATUS_NOTIFY.
    virtual void postErrorStatus(const CAN_ErrorStatus &status) = 0;
    // Something about the open adapter the user should be told once.
    virtual void postNotice(const std::string &text) { (void)text; }
};

// Receives arrival and removal notices of device interfaces, each with the
// interface's device path. Called from the library's thread.
class DeviceChangeListener {
public:
    virtual ~DeviceChangeListener() = default;
    virtual void postDeviceArrival(const std::string &devicePath) = 0;
    virtual void postDeviceRemoval(const std::string &devicePath) = 0;
};

// The adapter library. Text buffers are narrow and zero-terminated, sized by
// the caller; an index runs from 0 to the count DevGetDeviceCount reports.
class DeviceLibrary {
public:
    virtual ~DeviceLibrary() = default;

    virtual void DevSetNotifyWindow(NotifyTarget *receiver) = 0;
    virtual DevStatus DevRelease() = 0;
    virtual DevStatus DevGetDeviceCount(std::int32_t &count) = 0;
    virtual DevStatus DevOpen(std::int32_t index) = 0;
    virtual DevStatus DevClose() = 0;
    // Stored in the adapter; takes effect the next time the adapter is opened.
    virtual DevStatus DevWriteConfig(CAN_Timing timing,
                                     const std::uint8_t (&reserved)[ConfigReservedSize],
                                     std::uint8_t options) = 0;
    virtual DevStatus DevReadConfig(CAN_Timing &timing,
                                    std::uint8_t (&reserved)[ConfigReservedSize],
                                    std::uint8_t &options) = 0;
    // Non-zero when the bit rate cannot be reached.
    virtual DevStatus DevCalcTiming(std::uint32_t bitsPerSecond, CAN_Timing &timing) = 0;
    // Non-zero when the timing is invalid.
    virtual DevStatus DevTimingToBitrate(std::int32_t &kbitPerSecond, CAN_Timing timing) = 0;
    virtual DevStatus DevSamplePoint(float &percent, CAN_Timing timing) = 0;
    virtual DevStatus DevStart(std::int32_t start) = 0;
    virtual DevStatus DevSendFrame(CAN_Frame frame) = 0;
    virtual DevStatus DevGetSerial(std::int32_t index, char *buffer, std::int32_t size) = 0;
    virtual DevStatus DevSetSerial(const std::uint8_t *field, std::int32_t size) = 0;
    // An error-status notification follows.
    virtual DevStatus DevRequestErrorStatus() = 0;
    virtual DevStatus DevSetResponse(std::uint8_t enable, CAN_Frame trigger,
                                     CAN_Frame response) = 0;
    virtual DeviceInterfaceClass DevGetInterfaceClass() = 0;
    virtual DevStatus DevSetPause(std::int32_t pause) = 0;
    virtual DevStatus DevSetPeriod(std::int32_t row, std::uint16_t periodMs) = 0;
    virtual DevStatus DevGetProductName(std::int32_t index, char *buffer, std::int32_t size) = 0;
    virtual DevStatus DevGetInstanceId(std::int32_t index, char *buffer, std::int32_t size) = 0;
    virtual DevStatus DevSetPeriodicFrame(std::int32_t row, CAN_Frame frame) = 0;
    virtual DevStatus DevEnablePeriodic(std::int32_t row, std::int32_t start) = 0;

    // The bit rate the open adapter's bus runs at, in kbit/s: the stored one,
    // unless the interface kept a rate of its own. Non-zero when the adapter
    // cannot tell.
    virtual DevStatus readBusBitrate(std::int32_t &kbitPerSecond) = 0;

    // Why the last configuration change failed, in words for the user, where
    // the library can say more than its status; empty otherwise.
    virtual std::string lastFailureText() { return {}; }

    // Registration for arrival and removal notices of device interfaces of the
    // given class; a null listener ends it.
    virtual void registerDeviceNotification(const DeviceInterfaceClass &interfaceClass,
                                            DeviceChangeListener *listener) = 0;
};

// Copies text into a caller's buffer of the given size, zero-terminated and cut
// to fit. A buffer of size 0 or less is left alone.
void copyToBuffer(const std::string &text, char *buffer, std::int32_t size);
