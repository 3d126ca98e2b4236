#include "capture/ReceiverWindow.h"

#include "app/MessageReporter.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "capture/WindowMessages.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstring>

namespace {

class FrameNotifyEvent : public QEvent {
public:
    FrameNotifyEvent(int message, const CAN_Frame &frame, int hint)
        : QEvent(static_cast<QEvent::Type>(message)), frame(frame), hint(hint)
    { }
    const CAN_Frame frame;
    const int hint;
};

class ErrorStatusEvent : public QEvent {
public:
    explicit ErrorStatusEvent(const CAN_ErrorStatus &status)
        : QEvent(static_cast<QEvent::Type>(WM_ERROR_STATUS_NOTIFY)), status(status)
    { }
    const CAN_ErrorStatus status;
};

} // namespace

CRxWnd::CRxWnd(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("ss"));
}

void CRxWnd::postFrame(int message, const CAN_Frame &frame, int hint)
{
    QCoreApplication::postEvent(this, new FrameNotifyEvent(message, frame, hint));
}

void CRxWnd::postErrorStatus(const CAN_ErrorStatus &status)
{
    QCoreApplication::postEvent(this, new ErrorStatusEvent(status));
}

bool CRxWnd::event(QEvent *event)
{
    switch (static_cast<int>(event->type())) {
    case WM_FRAME_NOTIFY: {
        const auto *notify = static_cast<FrameNotifyEvent *>(event);
        OnFrameNotify(notify->frame, notify->hint);
        return true;
    }
    case WM_FRAME_NOTIFY_UNTIMED: {
        const auto *notify = static_cast<FrameNotifyEvent *>(event);
        OnFrameNotifyUntimed(notify->frame, notify->hint);
        return true;
    }
    case WM_ERROR_STATUS_NOTIFY:
        OnErrorStatusNotify(static_cast<ErrorStatusEvent *>(event)->status);
        return true;
    default:
        return QObject::event(event);
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
