#include "device/VexoDeviceLibrary.h"

#include "capture/WindowMessages.h"
#include "device/BitTiming.h"
#include "device/VirtualAdapters.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DevStatus Failed = 1;
constexpr DevStatus NotOpen = 2;
constexpr DevStatus BadArgument = 3;
constexpr DevStatus Gone = 4;
constexpr DevStatus StorageFailed = 5;

// The prefix of every device path: 26 characters, then the identifier.
constexpr std::string_view PathPrefix = "/sys/bus/vexo/can-adapter/";
static_assert(PathPrefix.size() == 26);

} // namespace

const DeviceInterfaceClass VexoDeviceLibrary::InterfaceClass = {
    0x5e, 0x0c, 0x7a, 0x1b, 0x3d, 0x42, 0x4f, 0x8e, 0x9a, 0x61, 0x0b, 0xc4, 0xd2, 0x17, 0xe8, 0x35};

std::string VexoDeviceLibrary::devicePath(const std::string &instanceId)
{
    return std::string(PathPrefix) + instanceId + "#{5e0c7a1b-3d42-4f8e-9a61-0bc4d217e835}";
}

VexoDeviceLibrary::VexoDeviceLibrary(Options options,
                                     std::vector<std::unique_ptr<AdapterProvider>> providers)
    : m_options(std::move(options))
    , m_clock(m_options.clock ? *m_options.clock : SteadyClock::instance())
    , m_settings(m_options.dataDirectory / "adapters")
    , m_providers(std::move(providers))
{ }

VexoDeviceLibrary::~VexoDeviceLibrary()
{
    DevRelease();
}

// --- notifications --------------------------------------------------------

void VexoDeviceLibrary::DevSetNotifyWindow(NotifyTarget *receiver)
{
    std::lock_guard guard(m_notifyMutex);
    m_target = receiver;
}

void VexoDeviceLibrary::setFrameTap(FrameTap *tap)
{
    std::lock_guard guard(m_notifyMutex);
    m_tap = tap;
}

void VexoDeviceLibrary::frameReady(const CAN_Frame &frame, int hint)
{
    std::lock_guard guard(m_notifyMutex);
    m_delivered.fetch_add(1, std::memory_order_relaxed);
    if (m_tap)
        m_tap->framesDelivered(std::span(&frame, 1));
    if (m_target)
        m_target->postFrame(WM_FRAME_NOTIFY, frame, hint);
}

void VexoDeviceLibrary::errorStatusReady(const CAN_ErrorStatus &status)
{
    std::lock_guard guard(m_notifyMutex);
    if (m_target)
        m_target->postErrorStatus(status);
}

void VexoDeviceLibrary::adapterLost()
{
    std::lock_guard guard(m_notifyMutex);
    if (m_deviceListener && !m_openId.empty())
        m_deviceListener->postDeviceRemoval(devicePath(m_openId));
}

void VexoDeviceLibrary::noticeReady(const std::string &text)
{
    std::lock_guard guard(m_notifyMutex);
    if (m_target)
        m_target->postNotice(text);
}

// --- listing --------------------------------------------------------------

std::vector<VexoDeviceLibrary::Entry> VexoDeviceLibrary::enumerate()
{
    std::vector<Entry> list;
    for (std::size_t p = 0; p < m_providers.size(); ++p) {
        for (auto &description : m_providers[p]->adapters())
            list.push_back({p, std::move(description)});
    }
    return list;
}

const VexoDeviceLibrary::Entry *VexoDeviceLibrary::entryAt(std::int32_t index)
{
    if (!m_listed) {
        m_list = enumerate();
        m_listed = true;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= m_list.size())
        return nullptr;
    return &m_list[static_cast<std::size_t>(index)];
}

DevStatus VexoDeviceLibrary::DevGetDeviceCount(std::int32_t &count)
{
    std::lock_guard guard(m_mutex);
    m_list = enumerate();
    m_listed = true;
    count = static_cast<std::int32_t>(m_list.size());
    return DevSuccess;
}

DevStatus VexoDeviceLibrary::DevGetProductName(std::int32_t index, char *buffer, std::int32_t size)
{
    std::lock_guard guard(m_mutex);
    const Entry *entry = entryAt(index);
    copyToBuffer(entry ? entry->description.productName : std::string(), buffer, size);
    return entry ? DevSuccess : BadArgument;
}

DevStatus VexoDeviceLibrary::DevGetInstanceId(std::int32_t index, char *buffer, std::int32_t size)
{
    std::lock_guard guard(m_mutex);
    const Entry *entry = entryAt(index);
    copyToBuffer(entry ? entry->description.instanceId : std::string(), buffer, size);
    return entry ? DevSuccess : BadArgument;
}

DevStatus VexoDeviceLibrary::DevGetSerial(std::int32_t index, char *buffer, std::int32_t size)
{
    std::lock_guard guard(m_mutex);
    const Entry *entry = entryAt(index);
    if (!entry) {
        copyToBuffer({}, buffer, size);
        return BadArgument;
    }
    const auto settings =
        m_settings.load(entry->description.instanceId, entry->description.defaults);
    copyToBuffer(settings.serial, buffer, size);
    return DevSuccess;
}

// --- opening and closing --------------------------------------------------

DevStatus VexoDeviceLibrary::DevOpen(std::int32_t index)
{
    std::lock_guard guard(m_mutex);
    const Entry *found = entryAt(index);
    if (!found)
        return BadArgument;
    const Entry entry = *found;
    closeLocked();

    AdapterLock::Result result = AdapterLock::Result::Unavailable;
    auto lock = AdapterLock::acquire(m_options.dataDirectory / "locks",
                                     entry.description.instanceId, result);
    if (result == AdapterLock::Result::InUse)
        return DevInUse;
    // A data directory that cannot be written does not keep the adapter from
    // being used; only the check for other processes is lost.

    const auto settings = m_settings.load(entry.description.instanceId, entry.description.defaults);
    DevStatus status = Failed;
    auto port = m_providers[entry.provider]->open(entry.description, settings, status);
    if (!port)
        return status == DevSuccess ? Failed : status;

    AdapterSession::Options sessionOptions;
    sessionOptions.paced = m_options.paced;
    auto open = std::make_unique<OpenAdapter>();
    open->entry = entry;
    open->lock = std::move(lock);
    {
        std::lock_guard notify(m_notifyMutex);
        m_openId = entry.description.instanceId;
    }
    SessionListener &listener = *this;
    open->session =
        std::make_shared<AdapterSession>(std::move(port), m_clock, listener, sessionOptions);
    {
        std::lock_guard notify(m_notifyMutex);
        m_openSession = open->session;
    }
    m_delivered = 0;
    const std::string kernelInterface = open->session->kernelInterface();
    m_kernelDrops.start(kernelInterface.empty()
                            ? std::nullopt
                            : readKernelDrops(m_options.sysRoot, kernelInterface));
    m_open = std::move(open);
    return DevSuccess;
}

void VexoDeviceLibrary::closeLocked()
{
    if (!m_open)
        return;
    m_open->session->stop();
    m_open.reset();
    std::lock_guard notify(m_notifyMutex);
    m_openId.clear();
    m_openSession.reset();
}

DevStatus VexoDeviceLibrary::DevClose()
{
    std::lock_guard guard(m_mutex);
    closeLocked();
    return DevSuccess;
}

DevStatus VexoDeviceLibrary::DevRelease()
{
    {
        // Released, the library reports nothing more, not even what the open
        // adapter still holds back.
        std::lock_guard notify(m_notifyMutex);
        m_target = nullptr;
    }
    {
        std::lock_guard guard(m_mutex);
        closeLocked();
    }
    stopWatcher();
    std::lock_guard notify(m_notifyMutex);
    m_deviceListener = nullptr;
    return DevSuccess;
}

DevStatus VexoDeviceLibrary::DevStart(std::int32_t start)
{
    std::lock_guard guard(m_mutex);
    if (!m_open)
        return NotOpen;
    if (m_open->session->isLost())
        return Gone;
    if (start != 0)
        m_open->session->start();
    return DevSuccess;
}

// --- configuration --------------------------------------------------------

DevStatus VexoDeviceLibrary::DevWriteConfig(CAN_Timing timing,
                                            const std::uint8_t (&)[ConfigReservedSize],
                                            std::uint8_t options)
{
    std::lock_guard guard(m_mutex);
    m_failureText.clear();
    if (!m_open)
        return NotOpen;
    if (!BitTiming::isValid(timing))
        return BadArgument;
    const auto &description = m_open->entry.description;
    auto settings = m_settings.load(description.instanceId, description.defaults);
    settings.options =
        options & (AdapterOption::AutomaticRetransmission | AdapterOption::AutomaticBusOffRecovery);
    if (m_open->session->withPort([](BusPort &port) { return port.ownsBitrate(); })) {
        // The interface keeps its rate itself: it is changed there, now, and
        // only when the user chose another one.
        const auto bitsPerSecond = static_cast<std::uint32_t>(BitTiming::bitrate(timing) + 0.5);
        const auto current = m_open->session->busBitrate();
        if (!current || *current != bitsPerSecond) {
            const auto change = m_open->session->withPort(
                [&](BusPort &port) { return port.changeBitrate(bitsPerSecond); });
            if (change == BusPort::RateChange::NotPermitted) {
                m_failureText = "This user may not change the bit rate of a network interface."
                                "\nAn administrator can set it with:\n"
                    + m_open->session->withPort(
                        [&](BusPort &port) { return port.bitrateCommand(bitsPerSecond); });
                return DevNotPermitted;
            }
            if (change != BusPort::RateChange::Changed) {
                m_failureText = "The interface did not take the bit rate of "
                    + std::to_string(bitsPerSecond) + " bit/s.";
                return Failed;
            }
        }
    } else {
        // Only stored: the bus keeps its rate until the adapter is opened again.
        settings.timing = timing;
    }
    return m_settings.save(description.instanceId, settings) ? DevSuccess : StorageFailed;
}

DevStatus VexoDeviceLibrary::DevReadConfig(CAN_Timing &timing,
                                           std::uint8_t (&reserved)[ConfigReservedSize],
                                           std::uint8_t &options)
{
    std::lock_guard guard(m_mutex);
    std::fill(std::begin(reserved), std::end(reserved), std::uint8_t{0});
    if (!m_open)
        return NotOpen;
    const auto &description = m_open->entry.description;
    const auto settings = m_settings.load(description.instanceId, description.defaults);
    options = settings.options;
    // An interface that keeps its rate itself is read as it runs now.
    if (m_open->session->withPort([](BusPort &port) { return port.ownsBitrate(); })) {
        const auto bitsPerSecond = m_open->session->busBitrate();
        return bitsPerSecond && BitTiming::calculate(*bitsPerSecond, timing) ? DevSuccess : Failed;
    }
    if (!settings.timing)
        return Failed;
    timing = *settings.timing;
    return DevSuccess;
}

DevStatus VexoDeviceLibrary::readBusBitrate(std::int32_t &kbitPerSecond)
{
    std::lock_guard guard(m_mutex);
    if (!m_open)
        return NotOpen;
    const auto bitsPerSecond = m_open->session->busBitrate();
    if (!bitsPerSecond)
        return Failed;
    kbitPerSecond = static_cast<std::int32_t>((std::uint64_t{*bitsPerSecond} + 500) / 1000);
    return DevSuccess;
}

DeliveryCounts VexoDeviceLibrary::readDeliveryCounts()
{
    std::lock_guard guard(m_mutex);
    DeliveryCounts counts;
    if (!m_open)
        return counts;
    const AdapterSession &session = *m_open->session;
    counts.delivered = m_delivered.load(std::memory_order_relaxed);
    counts.lostInLibrary = session.droppedFrames();
    counts.lostByInterface = session.lostByInterface();
    const std::string kernelInterface = session.kernelInterface();
    if (!kernelInterface.empty())
        m_kernelDrops.update(readKernelDrops(m_options.sysRoot, kernelInterface));
    counts.lostInKernel = m_kernelDrops.lost();
    return counts;
}

std::string VexoDeviceLibrary::lastFailureText()
{
    std::lock_guard guard(m_mutex);
    return m_failureText;
}

std::uint64_t VexoDeviceLibrary::framesLeftOut()
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->withPort([](BusPort &port) { return port.framesLeftOut(); })
                  : 0;
}

DevStatus VexoDeviceLibrary::DevSetSerial(const std::uint8_t *field, std::int32_t size)
{
    std::lock_guard guard(m_mutex);
    if (!m_open)
        return NotOpen;
    if (field == nullptr || size <= 0)
        return BadArgument;
    // The field need not be terminated: a full field holds ten characters.
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(size), SerialFieldSize);
    std::string serial(reinterpret_cast<const char *>(field), length);
    serial = serial.substr(0, serial.find('\0'));
    if (!SettingsFile::isValidSerial(serial))
        return BadArgument;
    const auto &description = m_open->entry.description;
    auto settings = m_settings.load(description.instanceId, description.defaults);
    settings.serial = serial;
    return m_settings.save(description.instanceId, settings) ? DevSuccess : StorageFailed;
}

DevStatus VexoDeviceLibrary::DevCalcTiming(std::uint32_t bitsPerSecond, CAN_Timing &timing)
{
    return BitTiming::calculate(bitsPerSecond, timing) ? DevSuccess : Failed;
}

DevStatus VexoDeviceLibrary::DevTimingToBitrate(std::int32_t &kbitPerSecond, CAN_Timing timing)
{
    return BitTiming::toKbitPerSecond(timing, kbitPerSecond) ? DevSuccess : Failed;
}

DevStatus VexoDeviceLibrary::DevSamplePoint(float &percent, CAN_Timing timing)
{
    percent = BitTiming::samplePoint(timing);
    return BitTiming::isValid(timing) ? DevSuccess : Failed;
}

// --- traffic --------------------------------------------------------------

DevStatus VexoDeviceLibrary::DevSendFrame(CAN_Frame frame)
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->send(frame) : NotOpen;
}

DevStatus VexoDeviceLibrary::DevRequestErrorStatus()
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->requestErrorStatus() : NotOpen;
}

DevStatus VexoDeviceLibrary::DevSetResponse(std::uint8_t enable, CAN_Frame trigger,
                                            CAN_Frame response)
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->setResponse(enable != 0, trigger, response) : NotOpen;
}

DevStatus VexoDeviceLibrary::DevSetPause(std::int32_t pause)
{
    std::lock_guard guard(m_mutex);
    if (!m_open)
        return NotOpen;
    m_open->session->setPause(pause != 0);
    return DevSuccess;
}

DevStatus VexoDeviceLibrary::DevSetPeriod(std::int32_t row, std::uint16_t periodMs)
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->setPeriod(row, periodMs) : NotOpen;
}

DevStatus VexoDeviceLibrary::DevSetPeriodicFrame(std::int32_t row, CAN_Frame frame)
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->setPeriodicFrame(row, frame) : NotOpen;
}

DevStatus VexoDeviceLibrary::DevEnablePeriodic(std::int32_t row, std::int32_t start)
{
    std::lock_guard guard(m_mutex);
    return m_open ? m_open->session->enablePeriodic(row, start != 0) : NotOpen;
}

DeviceInterfaceClass VexoDeviceLibrary::DevGetInterfaceClass()
{
    return InterfaceClass;
}

// --- arrival and removal --------------------------------------------------

void VexoDeviceLibrary::registerDeviceNotification(const DeviceInterfaceClass &interfaceClass,
                                                   DeviceChangeListener *listener)
{
    stopWatcher();
    {
        std::lock_guard notify(m_notifyMutex);
        // Only our adapters' class is ever announced.
        m_deviceListener = interfaceClass == InterfaceClass ? listener : nullptr;
        if (!m_deviceListener)
            return;
    }
    std::lock_guard guard(m_watchMutex);
    m_watchStop = false;
    m_watcher = std::thread([this] { watch(); });
}

void VexoDeviceLibrary::stopWatcher()
{
    {
        std::lock_guard watch(m_watchMutex);
        m_watchStop = true;
        m_watchWake.notify_all();
    }
    if (m_watcher.joinable())
        m_watcher.join();
}

void VexoDeviceLibrary::checkDevices()
{
    std::lock_guard watch(m_watchMutex);
    m_watchNow = true;
    m_watchWake.notify_all();
}

bool VexoDeviceLibrary::setVirtualAdapterPresent(const std::string &instanceId, bool present)
{
    bool found = false;
    for (const auto &provider : m_providers) {
        if (auto *virtualAdapters = dynamic_cast<VirtualAdapters *>(provider.get()))
            found = virtualAdapters->setPresent(instanceId, present) || found;
    }
    if (found)
        checkDevices();
    return found;
}

std::vector<std::string> VexoDeviceLibrary::presentIds()
{
    std::vector<std::string> ids;
    for (const auto &provider : m_providers) {
        for (const auto &description : provider->adapters())
            ids.push_back(description.instanceId);
    }
    return ids;
}

void VexoDeviceLibrary::postDeviceChanges(const std::vector<std::string> &before,
                                          const std::vector<std::string> &after)
{
    std::lock_guard notify(m_notifyMutex);
    if (!m_deviceListener)
        return;
    for (const auto &id : before) {
        if (std::find(after.begin(), after.end(), id) == after.end())
            m_deviceListener->postDeviceRemoval(devicePath(id));
    }
    for (const auto &id : after) {
        if (std::find(before.begin(), before.end(), id) == before.end())
            m_deviceListener->postDeviceArrival(devicePath(id));
    }
}

void VexoDeviceLibrary::watch()
{
    std::vector<std::string> known = presentIds();
    std::unique_lock lock(m_watchMutex);
    while (!m_watchStop) {
        m_watchWake.wait_for(lock, m_options.watchInterval,
                             [this] { return m_watchStop || m_watchNow; });
        if (m_watchStop)
            break;
        m_watchNow = false;
        lock.unlock();
        const auto present = presentIds();
        std::shared_ptr<AdapterSession> openSession;
        {
            std::lock_guard notify(m_notifyMutex);
            if (!m_openId.empty()
                && std::find(present.begin(), present.end(), m_openId) == present.end())
                openSession = m_openSession;
        }
        // An unplugged open adapter stops at once; its removal is announced
        // with the others.
        if (openSession)
            openSession->markLost();
        postDeviceChanges(known, present);
        known = present;
        lock.lock();
    }
}
