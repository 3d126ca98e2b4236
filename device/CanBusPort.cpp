#include "device/CanBusPort.h"

#include "device/FaultConfinement.h"
#include "device/SocketCanErrors.h"
#include "device/SocketCanLink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <condition_variable>
#include <linux/can.h>
#include <map>

namespace {

std::mutex g_threadMutex;
QThread *g_thread = nullptr;

void endCanThread()
{
    std::lock_guard guard(g_threadMutex);
    if (g_thread) {
        g_thread->quit();
        g_thread->wait();
        delete g_thread;
        g_thread = nullptr;
    }
}

// An error frame of the controller class telling that its receive or
// transmit buffer overflowed: frames were lost before they reached us.
bool reportsOverflow(std::uint32_t errorClass, const QCanBusFrame &frame)
{
    constexpr quint32 ControllerClass = 0x04;
    constexpr quint8 OverflowBits = 0x01 | 0x02;
    const QByteArray payload = frame.payload();
    return (errorClass & ControllerClass) != 0 && payload.size() > 1
        && (static_cast<quint8>(payload[1]) & OverflowBits) != 0;
}

// The one thread in which every Qt CAN device of the process lives. Qt's
// virtual CAN bus keeps its server in the thread that first connects, so
// that thread has to outlast every adapter: it ends with the application.
QThread *canThread()
{
    std::lock_guard guard(g_threadMutex);
    if (!g_thread) {
        g_thread = new QThread;
        g_thread->setObjectName(QStringLiteral("Vexo CAN"));
        g_thread->start();
        qAddPostRoutine(endCanThread);
    }
    return g_thread;
}

// Interfaces whose rate the program is changing, until when their going down
// and up again is not taken for a removal.
std::mutex g_changingMutex;
std::map<std::string, std::chrono::steady_clock::time_point> g_changingUntil;

CAN_Frame toRecord(const QCanBusFrame &frame)
{
    CAN_Frame record;
    record.type = FrameType::FrameBit;
    if (frame.hasExtendedFrameFormat())
        record.type |= FrameType::Extended;
    if (frame.frameType() == QCanBusFrame::RemoteRequestFrame)
        record.type |= FrameType::Remote;
    record.id = frame.frameId();
    const QByteArray payload = frame.payload();
    record.dlc = static_cast<std::uint8_t>(payload.size());
    if (frame.frameType() == QCanBusFrame::DataFrame)
        std::copy(payload.begin(), payload.end(), record.data);
    return record;
}

QCanBusFrame toQt(const CAN_Frame &record)
{
    QCanBusFrame frame;
    frame.setFrameId(record.id);
    frame.setExtendedFrameFormat((record.type & FrameType::Extended) != 0);
    if ((record.type & FrameType::Remote) != 0) {
        frame.setFrameType(QCanBusFrame::RemoteRequestFrame);
        // A remote frame's payload size is its DLC.
        frame.setPayload(QByteArray(record.dlc, '\0'));
    } else {
        frame.setPayload(
            QByteArray(reinterpret_cast<const char *>(record.data), std::min<int>(record.dlc, 8)));
    }
    return frame;
}

} // namespace

// Owns the Qt device in the CAN thread and hands what it receives to the port.
class CanBusWorker : public QObject {
public:
    CanBusWorker(CanBusPort *port, const QString &plugin, const QString &interfaceName)
        : m_port(port), m_plugin(plugin), m_interface(interfaceName)
    { }

    // In the CAN thread: creates and connects the device, asking for the
    // stored bit rate where there is one. An interface that will not take it
    // is connected at its own rate. Returns the reason on failure.
    QString connectDevice(std::optional<std::uint32_t> bitrate)
    {
        bool refused = false;
        QString reason = tryConnect(bitrate, refused);
        if (!reason.isEmpty() && bitrate) {
            refused = true;
            bool again = false;
            reason = tryConnect(std::nullopt, again);
        }
        if (!reason.isEmpty())
            return reason;
        std::optional<std::uint32_t> reported;
        if (m_plugin == QLatin1String("socketcan"))
            reported = SocketCanLink::bitrate(m_interface.toStdString());
        m_busBitrate = CanBusPort::connectedBitrate(bitrate, refused, reported);

        QCanBusDevice *device = m_device.get();
        connect(device, &QCanBusDevice::framesReceived, this, &CanBusWorker::readFrames);
        connect(device, &QCanBusDevice::framesWritten, this, &CanBusWorker::framesWritten);
        connect(device, &QCanBusDevice::errorOccurred, this, [this](QCanBusDevice::CanBusError e) {
            if (e == QCanBusDevice::ConnectionError)
                lost();
            else if (e == QCanBusDevice::ReadError)
                m_port->countLost(1); // at least one frame could not be read
        });
        connect(device, &QCanBusDevice::stateChanged, this,
                [this](QCanBusDevice::CanBusDeviceState s) {
                    if (s == QCanBusDevice::UnconnectedState && !m_closing)
                        lost();
                });
        return {};
    }

    std::optional<std::uint32_t> busBitrate() const { return m_busBitrate; }

    void close()
    {
        m_closing = true;
        if (m_device) {
            m_device->disconnect(this);
            // A device that lost its link, or never made it, is left as it is:
            // Qt complains about disconnecting an unconnected device.
            if (m_device->state() != QCanBusDevice::UnconnectedState)
                m_device->disconnectDevice();
            m_device.reset();
        }
    }

    void write(const CAN_Frame &record)
    {
        if (!m_device || m_device->state() != QCanBusDevice::ConnectedState)
            return;
        if (m_device->writeFrame(toQt(record)) && !m_ownEcho)
            m_written.push_back(record);
    }

private:
    // One attempt; refused tells whether the interface objected to the bit rate.
    QString tryConnect(std::optional<std::uint32_t> bitrate, bool &refused)
    {
        QString error;
        m_device.reset(QCanBus::instance()->createDevice(m_plugin, m_interface, &error));
        if (!m_device)
            return error.isEmpty() ? QStringLiteral("no such interface") : error;
        QCanBusDevice *device = m_device.get();

        m_ownEcho = true;
        device->setConfigurationParameter(QCanBusDevice::ReceiveOwnKey, QVariant(true));
        if (device->error() == QCanBusDevice::ConfigurationError)
            m_ownEcho = false;
        device->setConfigurationParameter(
            QCanBusDevice::ErrorFilterKey,
            QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::AnyError)));
        if (m_plugin == QLatin1String("socketcan")) {
            // The plugin would apply a bit rate of its own choosing at every
            // connect, which the kernel refuses while the interface is up (and
            // an ordinary user may never do): the interface is used as it is.
            device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant());
            // On an interface that carries CAN FD frames they are taken in, so
            // that they can be counted; without this the kernel drops them
            // unseen. (On a classic interface the plugin would then send
            // frames of the FD size, which the kernel refuses.)
            const auto link = SocketCanLink::query(m_interface.toStdString());
            if (link && link->mtu == CANFD_MTU)
                device->setConfigurationParameter(QCanBusDevice::CanFdKey, QVariant(true));
        }
        // A plugin may object when the rate is set or only when it is applied
        // while connecting.
        const auto watch = connect(device, &QCanBusDevice::errorOccurred, this,
                                   [&refused](QCanBusDevice::CanBusError e) {
                                       if (e == QCanBusDevice::ConfigurationError)
                                           refused = true;
                                   });
        if (bitrate)
            device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(*bitrate));
        const QString reason = waitForConnection(device);
        disconnect(watch);
        return reason;
    }

    static QString waitForConnection(QCanBusDevice *device)
    {
        if (!device->connectDevice())
            return device->errorString().isEmpty() ? QStringLiteral("cannot connect")
                                                   : device->errorString();
        if (device->state() == QCanBusDevice::ConnectedState)
            return {};
        // The virtual bus connects over a socket: wait for it.
        QEventLoop wait;
        connect(device, &QCanBusDevice::stateChanged, &wait,
                [&](QCanBusDevice::CanBusDeviceState s) {
                    if (s != QCanBusDevice::ConnectingState)
                        wait.quit();
                });
        QTimer::singleShot(5000, &wait, &QEventLoop::quit);
        wait.exec();
        if (device->state() == QCanBusDevice::ConnectedState)
            return {};
        return device->errorString().isEmpty() ? QStringLiteral("connection timed out")
                                               : device->errorString();
    }

    void readFrames()
    {
        const auto now = std::chrono::steady_clock::now();
        for (const QCanBusFrame &frame : m_device->readAllFrames()) {
            CanBusPort::Received event;
            event.arrival = now;
            event.seconds = frame.timeStamp().seconds();
            event.microseconds = frame.timeStamp().microSeconds();
            if (frame.frameType() == QCanBusFrame::ErrorFrame) {
                event.kind = CanBusPort::Received::ErrorFrame;
                // The error class: Qt reports it as the frame's errors, with
                // the kernel's bit values; an error frame's identifier reads 0.
                event.errorClass = static_cast<std::uint32_t>(frame.error().toInt());
                if (reportsOverflow(event.errorClass, frame))
                    m_port->countLost(1);
                const QByteArray payload = frame.payload();
                std::copy_n(payload.begin(), std::min<qsizetype>(payload.size(), 8),
                            event.frame.data);
            } else if (frame.frameType() == QCanBusFrame::DataFrame
                       || frame.frameType() == QCanBusFrame::RemoteRequestFrame) {
                // A CAN FD frame has no place in the record: it is counted.
                if (frame.hasFlexibleDataRateFormat() || frame.payload().size() > 8)
                    event.kind = CanBusPort::Received::FdFrame;
                else
                    event.frame = toRecord(frame);
                event.own = frame.hasLocalEcho();
            } else {
                continue;
            }
            m_port->received(event);
        }
    }

    void framesWritten(qint64 count)
    {
        // Interfaces that do not echo: report the frames they wrote.
        for (; count > 0 && !m_written.empty(); --count) {
            CanBusPort::Received event;
            event.frame = m_written.front();
            event.own = true;
            event.arrival = std::chrono::steady_clock::now();
            m_written.pop_front();
            m_port->received(event);
        }
    }

    void lost()
    {
        // The program's own rate change takes the interface down for a moment.
        if (CanBusPort::changingRate(m_interface.toStdString()))
            return;
        CanBusPort::Received event;
        event.kind = CanBusPort::Received::Lost;
        m_port->received(event);
    }

    CanBusPort *m_port;
    QString m_plugin;
    QString m_interface;
    std::unique_ptr<QCanBusDevice> m_device;
    std::optional<std::uint32_t> m_busBitrate;
    bool m_ownEcho = true;
    bool m_closing = false;
    std::deque<CAN_Frame> m_written;
};

std::unique_ptr<CanBusPort> CanBusPort::open(const QString &plugin, const QString &interfaceName,
                                             std::optional<std::uint32_t> bitrate, QString *error,
                                             bool busOffRecovery)
{
    if (!QCoreApplication::instance()) {
        if (error)
            *error = QStringLiteral("no application");
        return nullptr;
    }
    std::unique_ptr<CanBusPort> port(new CanBusPort);
    auto *worker = new CanBusWorker(port.get(), plugin, interfaceName);
    worker->moveToThread(canThread());
    QString reason;
    QMetaObject::invokeMethod(
        worker, [&] { reason = worker->connectDevice(bitrate); }, Qt::BlockingQueuedConnection);
    port->m_worker = worker;
    port->m_busBitrate = worker->busBitrate();
    port->m_socketCan = plugin == QLatin1String("socketcan");
    port->m_interfaceName = interfaceName.toStdString();
    port->m_busOffRecovery = busOffRecovery;
    if (!reason.isEmpty()) {
        if (error)
            *error = reason;
        return nullptr; // the destructor closes and deletes the worker
    }
    return port;
}

CanBusPort::~CanBusPort()
{
    setWakeFunction({});
    if (m_worker) {
        CanBusWorker *worker = m_worker;
        QMetaObject::invokeMethod(
            worker,
            [worker] {
                worker->close();
                delete worker;
            },
            Qt::BlockingQueuedConnection);
    }
}

void CanBusPort::begin(std::chrono::steady_clock::time_point origin)
{
    std::lock_guard guard(m_mutex);
    m_started = true;
    m_origin = origin;
    m_wallOrigin = std::chrono::system_clock::now()
        - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                       std::chrono::steady_clock::now() - origin);
    // What came in before the start is not reported.
    std::erase_if(m_inbox, [](const Received &r) { return r.kind != Received::Lost; });
}

void CanBusPort::transmit(const CAN_Frame &frame, BusTime)
{
    CanBusWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, frame] { worker->write(frame); }, Qt::QueuedConnection);
}

BusTime CanBusPort::busTimeOf(const Received &event) const
{
    // The interface's own time stamp where it is a plausible wall-clock time
    // (SocketCAN stamps frames in the kernel); the arrival time otherwise.
    using namespace std::chrono;
    const auto stamped = system_clock::time_point(duration_cast<system_clock::duration>(
        seconds(event.seconds) + microseconds(event.microseconds)));
    const auto arrivalWall =
        m_wallOrigin + duration_cast<system_clock::duration>(event.arrival - m_origin);
    const auto difference = stamped > arrivalWall ? stamped - arrivalWall : arrivalWall - stamped;
    if ((event.seconds != 0 || event.microseconds != 0) && difference < seconds(5))
        return std::max(BusTime(0), duration_cast<BusTime>(stamped - m_wallOrigin));
    return std::max(BusTime(0), duration_cast<BusTime>(event.arrival - m_origin));
}

void CanBusPort::received(const Received &event)
{
    {
        std::lock_guard guard(m_mutex);
        if (!m_started && event.kind != Received::Lost)
            return;
        m_inbox.push_back(event);
    }
    std::lock_guard guard(m_wakeMutex);
    if (m_wake)
        m_wake();
}

void CanBusPort::advanceTo(BusTime, BusObserver &observer)
{
    std::deque<Received> events;
    {
        std::lock_guard guard(m_mutex);
        events.swap(m_inbox);
    }
    for (const Received &event : events) {
        switch (event.kind) {
        case Received::Frame:
            observer.frameOnBus(event.frame, event.own, busTimeOf(event));
            break;
        case Received::ErrorFrame: {
            CAN_ErrorStatus status;
            bool changed = false;
            {
                std::lock_guard guard(m_mutex);
                changed = SocketCanErrors::apply(event.errorClass, event.frame.data, m_status);
                status = m_status;
            }
            if (changed)
                observer.errorStatusChanged(status);
            // Restarted as the interface allows: the kernel does it itself when
            // it has a restart delay; otherwise the program asks, where it may.
            if ((event.errorClass & SocketCanErrors::BusOff) != 0 && m_socketCan
                && m_busOffRecovery) {
                const auto link = SocketCanLink::query(m_interfaceName);
                if (link && link->restartMs == 0)
                    SocketCanLink::restart(m_interfaceName);
            }
            break;
        }
        case Received::FdFrame:
            if (m_framesLeftOut.fetch_add(1) == 0) {
                observer.notice(m_interfaceName
                                + " carries CAN FD frames. The capture keeps classic CAN "
                                  "frames only: CAN FD frames are counted and left out.");
            }
            break;
        case Received::Lost:
            observer.portLost();
            return;
        }
    }
}

CAN_ErrorStatus CanBusPort::errorStatus() const
{
    refreshFromKernel();
    std::lock_guard guard(m_mutex);
    return m_status;
}

void CanBusPort::refreshFromKernel() const
{
    if (!m_socketCan)
        return;
    // The controller's own counters and state, where its driver reports them;
    // the last error and the error counts come from the error frames.
    const auto link = SocketCanLink::query(m_interfaceName);
    if (!link)
        return;
    using Mode = FaultConfinement::Mode;
    std::lock_guard guard(m_mutex);
    if (link->tec)
        m_status.tec = static_cast<std::uint8_t>(std::min<std::uint16_t>(*link->tec, 255));
    if (link->rec)
        m_status.rec = static_cast<std::uint8_t>(std::min<std::uint16_t>(*link->rec, 255));
    if (link->state) {
        switch (*link->state) {
        case SocketCanLink::BusState::ErrorActive:
        case SocketCanLink::BusState::ErrorWarning:
            m_status.errorMode = Mode::ErrorActive;
            break;
        case SocketCanLink::BusState::ErrorPassive:
            m_status.errorMode = Mode::ErrorPassive;
            break;
        case SocketCanLink::BusState::BusOff:
            m_status.errorMode = Mode::BusOff;
            break;
        default:
            break;
        }
    }
}

std::optional<std::uint32_t> CanBusPort::busBitrate() const
{
    // A SocketCAN interface's rate may change while it is open.
    if (m_socketCan) {
        if (const auto rate = SocketCanLink::bitrate(m_interfaceName))
            return rate;
    }
    return m_busBitrate;
}

bool CanBusPort::changingRate(const std::string &interfaceName)
{
    std::lock_guard guard(g_changingMutex);
    const auto found = g_changingUntil.find(interfaceName);
    return found != g_changingUntil.end() && std::chrono::steady_clock::now() < found->second;
}

BusPort::RateChange CanBusPort::changeBitrate(std::uint32_t bitsPerSecond)
{
    if (!m_socketCan)
        return RateChange::Failed;
    using namespace std::chrono_literals;
    {
        std::lock_guard guard(g_changingMutex);
        g_changingUntil[m_interfaceName] = std::chrono::steady_clock::now() + 10s;
    }
    const auto change = SocketCanLink::setBitrate(m_interfaceName, bitsPerSecond);
    {
        // What the interface reports about going down arrives a little later.
        std::lock_guard guard(g_changingMutex);
        g_changingUntil[m_interfaceName] = std::chrono::steady_clock::now() + 2s;
    }
    switch (change) {
    case SocketCanLink::Change::Done:
        return RateChange::Changed;
    case SocketCanLink::Change::NotPermitted:
        return RateChange::NotPermitted;
    default:
        return RateChange::Failed;
    }
}

std::string CanBusPort::bitrateCommand(std::uint32_t bitsPerSecond) const
{
    return SocketCanLink::bitrateCommand(m_interfaceName, bitsPerSecond);
}

std::optional<std::uint32_t> CanBusPort::connectedBitrate(std::optional<std::uint32_t> requested,
                                                          bool refused,
                                                          std::optional<std::uint32_t> reported)
{
    if (reported)
        return reported;
    if (requested && !refused)
        return requested;
    return std::nullopt;
}

void CanBusPort::setWakeFunction(std::function<void()> wake)
{
    std::lock_guard guard(m_wakeMutex);
    m_wake = std::move(wake);
}
