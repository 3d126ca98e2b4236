#include "capture/ReceiverWindow.h"

#include "app/MessageReporter.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/WindowMessages.h"
#include "statistics/BusStatistics.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstring>

namespace {

// The event that wakes the receiver for a batch of notifications.
const QEvent::Type WakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

CRxWnd::CRxWnd(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("ss"));
}

void CRxWnd::postFrame(int message, const CAN_Frame &frame, int hint)
{
    Notification notification;
    notification.message = message;
    notification.frame = frame;
    notification.hint = hint;
    if (m_queue.push(notification))
        QCoreApplication::postEvent(this, new QEvent(WakeEvent));
}

void CRxWnd::postErrorStatus(const CAN_ErrorStatus &status)
{
    Notification notification;
    notification.message = WM_ERROR_STATUS_NOTIFY;
    notification.status = status;
    if (m_queue.push(notification))
        QCoreApplication::postEvent(this, new QEvent(WakeEvent));
}

void CRxWnd::discardPending()
{
    m_queue.discard();
}

bool CRxWnd::event(QEvent *event)
{
    if (event->type() != WakeEvent)
        return QObject::event(event);
    handlePending();
    return true;
}

void CRxWnd::handlePending()
{
    m_queue.takePending();
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
    switch (m_view->OnNewFrame(frame, hint)) {
    case NewFrameResult::Handled:
        m_limitMessageShown = false;
        break;
    case NewFrameResult::CaptureFull:
        // The flag is raised before the box opens: frames rejected while it is
        // open show no further box.
        if (!m_limitMessageShown) {
            m_limitMessageShown = true;
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
