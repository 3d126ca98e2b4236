#include "capture/ReceiverWindow.h"

#include "app/MessageReporter.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/WindowMessages.h"
#include "dbc/SignalMonitor.h"
#include "statistics/BusStatistics.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstring>

namespace {

// The event that wakes the receiver for a batch of notifications.
const QEvent::Type WakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
// The event that carries the library's notices to the user-interface thread.
const QEvent::Type NoticeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

CRxWnd::CRxWnd(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("ss"));
}

CRxWnd::~CRxWnd()
{
    stopTimer();
}

void CRxWnd::setBatchInterval(Clock::duration interval)
{
    m_queue.setMinimumInterval(interval);
    if (m_queue.minimumInterval() > Clock::duration::zero() && !m_timer.joinable())
        m_timer = std::thread([this] { runTimer(); });
}

void CRxWnd::stopTimer()
{
    {
        std::lock_guard guard(m_timerMutex);
        m_timerStop = true;
    }
    m_timerWake.notify_all();
    if (m_timer.joinable())
        m_timer.join();
}

void CRxWnd::runTimer()
{
    std::unique_lock lock(m_timerMutex);
    while (!m_timerStop) {
        if (m_wakeAt == Clock::never()) {
            m_timerWake.wait(lock);
            continue;
        }
        if (SteadyClock::instance().now() < m_wakeAt) {
            m_timerWake.wait_until(lock, m_wakeAt);
            continue;
        }
        m_wakeAt = Clock::never();
        QCoreApplication::postEvent(this, new QEvent(WakeEvent));
    }
}

void CRxWnd::requestWake(const WakeRequest &wake)
{
    if (wake.kind == WakeRequest::Now) {
        QCoreApplication::postEvent(this, new QEvent(WakeEvent));
    } else if (wake.kind == WakeRequest::Later) {
        {
            std::lock_guard guard(m_timerMutex);
            if (wake.at >= m_wakeAt)
                return;
            m_wakeAt = wake.at;
        }
        m_timerWake.notify_all();
    }
}

void CRxWnd::postFrame(int message, const CAN_Frame &frame, int hint)
{
    Notification notification;
    notification.message = message;
    notification.frame = frame;
    notification.hint = hint;
    requestWake(m_queue.push(notification));
}

void CRxWnd::postErrorStatus(const CAN_ErrorStatus &status)
{
    Notification notification;
    notification.message = WM_ERROR_STATUS_NOTIFY;
    notification.status = status;
    requestWake(m_queue.push(notification));
}

void CRxWnd::postNotice(const std::string &text)
{
    {
        std::lock_guard guard(m_noticeMutex);
        m_notices.push_back(text);
    }
    QCoreApplication::postEvent(this, new QEvent(NoticeEvent));
}

void CRxWnd::postCall(std::function<void()> call)
{
    {
        std::lock_guard guard(m_callMutex);
        m_calls.push_back(std::move(call));
    }
    requestWake(m_queue.requestBatch());
}

void CRxWnd::makeCalls()
{
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard guard(m_callMutex);
        calls.swap(m_calls);
    }
    for (const auto &call : calls)
        call();
}

void CRxWnd::discardPending()
{
    m_queue.discard();
}

bool CRxWnd::event(QEvent *event)
{
    if (event->type() == NoticeEvent) {
        std::vector<std::string> notices;
        {
            std::lock_guard guard(m_noticeMutex);
            notices.swap(m_notices);
        }
        for (const std::string &text : notices) {
            if (m_messages)
                m_messages->showMessage(MessageIcon::Warning, text);
        }
        return true;
    }
    if (event->type() != WakeEvent)
        return QObject::event(event);
    handlePending();
    return true;
}

void CRxWnd::handlePending()
{
    m_queue.takePending();
    makeCalls();
    if (m_document)
        m_document->beginBatch();
    if (m_view)
        m_view->beginBatch();
    // A handler may open a message box, whose event loop handles the next
    // wake-up (and so the rest of this batch) or discards what is left.
    Notification n;
    while (m_queue.next(n)) {
        switch (n.message) {
        case WM_FRAME_NOTIFY:
            OnFrameNotify(n.frame, n.hint);
            break;
        case WM_FRAME_NOTIFY_UNTIMED:
            OnFrameNotifyUntimed(n.frame, n.hint);
            break;
        case WM_ERROR_STATUS_NOTIFY:
            OnErrorStatusNotify(n.status);
            break;
        default:
            break;
        }
    }
    if (m_document)
        m_document->endBatch();
    if (m_view)
        m_view->endBatch();
}

void CRxWnd::OnFrameNotify(const CAN_Frame &frame, int hint)
{
    m_frame.type = frame.type;
    m_frame.id = frame.id;
    m_frame.dlc = frame.dlc;
    std::memcpy(m_frame.data, frame.data, sizeof m_frame.data);
    m_frame.timestampLow = frame.timestampLow;
    m_frame.timestampHigh = frame.timestampHigh;
    m_hint = hint;
    passToView(m_frame, hint);
}

void CRxWnd::OnFrameNotifyUntimed(const CAN_Frame &frame, int hint)
{
    // Frames without a time of their own are stored with time stamp 0.
    m_untimedFrame.type = frame.type;
    m_untimedFrame.id = frame.id;
    m_untimedFrame.dlc = frame.dlc;
    std::memcpy(m_untimedFrame.data, frame.data, sizeof m_untimedFrame.data);
    m_hint = hint;
    passToView(m_untimedFrame, hint);
}

void CRxWnd::passToView(const CAN_Frame &frame, int hint)
{
    if (!m_view)
        return;
    if (m_statistics)
        m_statistics->addFrame(frame);
    if (m_signals)
        m_signals->addFrame(frame);
    switch (m_view->OnNewFrame(frame, hint)) {
    case NewFrameResult::Handled:
        m_limitMessageShown = false;
        break;
    case NewFrameResult::CaptureFull:
        // The flag is raised before the box opens: frames rejected while it is
        // open show no further box.
        if (!m_limitMessageShown) {
            m_limitMessageShown = true;
            // The box shows over counters that are up to date.
            if (m_document)
                m_document->reportBatch();
            m_view->reportBatch();
            if (m_messages)
                m_messages->showMessage(MessageIcon::Warning,
                                        "Exceeded 50,000 CAN data/remote frames");
        }
        break;
    default:
        break;
    }
}

void CRxWnd::OnErrorStatusNotify(const CAN_ErrorStatus &status)
{
    m_errorStatus = status;
    if (m_document && m_connection && m_connection->IsConnected())
        m_document->SetErrorStatus(m_errorStatus);
}
