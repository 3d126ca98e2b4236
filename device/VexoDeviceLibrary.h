#pragma once

#include "device/AdapterProvider.h"
#include "device/AdapterSession.h"
#include "device/DeviceLibrary.h"
#include "device/FrameTap.h"
#include "device/KernelDropCounters.h"

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The device library: the adapters of several providers as one list (in
// provider order), one of them open at a time. Its own threads do all the
// reporting: the open adapter's session posts frames and error status, and a
// watcher posts the arrival and removal of adapters while someone listens.
//
// Files: <data directory>/adapters/<id>.conf holds what an adapter stores
// (serial name, bit timing, options), <data directory>/locks/<id>.lock marks an
// adapter as open in a Vexo View process.
class VexoDeviceLibrary : public DeviceLibrary, public DeliveryMonitor, private SessionListener {
public:
    struct Options {
        std::filesystem::path dataDirectory;
        // The time the library runs on; null for the system's monotonic clock.
        Clock *clock = nullptr;
        // false: buses run as fast as they can be computed, not in real time.
        bool paced = true;
        // How often the watcher looks for adapters that came or went.
        std::chrono::milliseconds watchInterval{1000};
        // Where the kernel shows its network interfaces' counters.
        std::filesystem::path sysRoot = "/sys";
    };

    VexoDeviceLibrary(Options options, std::vector<std::unique_ptr<AdapterProvider>> providers);
    ~VexoDeviceLibrary() override;

    void DevSetNotifyWindow(NotifyTarget *receiver) override;
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
    std::string lastFailureText() override;
    void registerDeviceNotification(const DeviceInterfaceClass &interfaceClass,
                                    DeviceChangeListener *listener) override;
    void setFrameTap(FrameTap *tap) override;
    DeliveryCounts readDeliveryCounts() override;

    // Frames the open adapter received that the capture cannot hold.
    std::uint64_t framesLeftOut();

    // Looks for adapters that came or went now instead of at the next watch.
    void checkDevices();
    // Unplugs or plugs in a built-in virtual adapter, as if by hand: the
    // watcher then posts its removal or arrival. False for an identifier no
    // virtual adapter has.
    bool setVirtualAdapterPresent(const std::string &instanceId, bool present);

    // The class of the adapters' device interfaces.
    static const DeviceInterfaceClass InterfaceClass;
    // The device path of an adapter's interface; its 9 characters from
    // position 26 are the adapter's instance identifier.
    static std::string devicePath(const std::string &instanceId);

private:
    struct Entry {
        std::size_t provider = 0;
        AdapterDescription description;
    };
    struct OpenAdapter {
        Entry entry;
        std::unique_ptr<AdapterLock> lock;
        std::shared_ptr<AdapterSession> session;
    };

    std::vector<Entry> enumerate();
    const Entry *entryAt(std::int32_t index);
    void closeLocked();
    void stopWatcher();
    void watch();
    void postDeviceChanges(const std::vector<std::string> &before,
                           const std::vector<std::string> &after);
    std::vector<std::string> presentIds();

    // SessionListener
    void frameReady(const CAN_Frame &frame, int hint) override;
    void errorStatusReady(const CAN_ErrorStatus &status) override;
    void adapterLost() override;
    void noticeReady(const std::string &text) override;

    Options m_options;
    Clock &m_clock;
    SettingsStore m_settings;
    std::vector<std::unique_ptr<AdapterProvider>> m_providers;

    // Operations come from the program's thread; the lock keeps them whole.
    std::recursive_mutex m_mutex;
    std::vector<Entry> m_list;
    bool m_listed = false;
    std::unique_ptr<OpenAdapter> m_open;
    std::string m_failureText;

    // Posting: held while a notification goes out, so that a receiver taken
    // away is never called afterwards.
    std::mutex m_notifyMutex;
    NotifyTarget *m_target = nullptr;
    FrameTap *m_tap = nullptr;
    std::atomic<std::uint64_t> m_delivered{0};
    DropTally m_kernelDrops; // guarded by m_mutex
    DeviceChangeListener *m_deviceListener = nullptr;
    std::string m_openId; // the open adapter's identifier, for its removal notice
    std::shared_ptr<AdapterSession> m_openSession;

    // The watcher of arrivals and removals.
    std::mutex m_watchMutex;
    std::condition_variable m_watchWake;
    bool m_watchStop = false;
    bool m_watchNow = false;
    std::thread m_watcher;
};
