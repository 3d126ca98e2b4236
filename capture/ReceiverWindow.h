#pragma once

#include "capture/CanFrame.h"
#include "device/DeviceLibrary.h"

#include <QObject>

class CVEXODoc;
class ConnectionState;
class FrameSink;
class MessageReporter;

// The receiver the device library posts its notifications to. Posting is
// thread-safe: each notification becomes an event carrying a copy of its
// record, handled on the user-interface thread.
class CRxWnd : public QObject, public NotifyTarget {
    Q_OBJECT

public:
    explicit CRxWnd(QObject *parent = nullptr);

    void setView(FrameSink *view) { m_view = view; }
    void setDocument(CVEXODoc *document) { m_document = document; }
    void setConnectionState(const ConnectionState *state) { m_connection = state; }
    void setMessageReporter(MessageReporter *messages) { m_messages = messages; }

    void postFrame(int message, const CAN_Frame &frame, int hint) override;
    void postErrorStatus(const CAN_ErrorStatus &status) override;

    bool limitMessageShown() const { return m_limitMessageShown; }

protected:
    bool event(QEvent *event) override;

private:
    void OnFrameNotify(const CAN_Frame &frame, int hint);
    void OnFrameNotifyUntimed(const CAN_Frame &frame, int hint);
    void OnErrorStatusNotify(const CAN_ErrorStatus &status);
    void passToView(const CAN_Frame &frame, int hint);

    CAN_Frame m_frame;
    CAN_Frame m_untimedFrame;
    CAN_ErrorStatus m_errorStatus;
    int m_hint = 0;
    bool m_limitMessageShown = false;

    FrameSink *m_view = nullptr;
    CVEXODoc *m_document = nullptr;
    const ConnectionState *m_connection = nullptr;
    MessageReporter *m_messages = nullptr;
};
