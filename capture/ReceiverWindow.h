#pragma once

#include "capture/CanFrame.h"
#include "capture/NotificationQueue.h"
#include "device/DeviceLibrary.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BusStatistics;
class SignalMonitor;
class CVEXODoc;
class ConnectionState;
class FrameSink;
class MessageReporter;

// The receiver the device library posts its notifications to. Posting is
// thread-safe: a notification is queued with a copy of its record, and one
// posted event per batch wakes the user-interface thread, which then handles
// everything that has arrived, in arrival order. A full bus thus costs the
// event loop a wake-up per batch, not an event per frame, and cannot pile up
// a backlog of events behind the window's own work.
//
// With a batch interval (the program uses the screen's refresh period),
// batches come at most that often: a notification that follows a batch too
// closely is woken for by a small timer thread of the receiver once the
// interval has passed, so that the user-interface thread sleeps meanwhile.
// The store reports its counters once per batch.
class CRxWnd : public QObject, public NotifyTarget {
    Q_OBJECT

public:
    // The batch interval of the program: the interval at which the library
    // asks for the list to be redrawn on a busy bus (frames in between carry
    // the hint to store without redrawing), so batches come no more often
    // than the screen is to change. Each batch that paints costs the
    // user-interface thread two wake-ups on X11: the batch itself, and the
    // wait for the server to have read the previous picture from shared
    // memory before the window is painted over it.
    static constexpr std::chrono::microseconds BatchInterval{40'000};

    explicit CRxWnd(QObject *parent = nullptr);
    ~CRxWnd() override;

    // Before notifications arrive; zero (the default) handles every batch as
    // soon as the user-interface thread is free.
    void setBatchInterval(Clock::duration interval);

    void setView(FrameSink *view) { m_view = view; }
    void setDocument(CVEXODoc *document) { m_document = document; }
    void setConnectionState(const ConnectionState *state) { m_connection = state; }
    void setMessageReporter(MessageReporter *messages) { m_messages = messages; }
    // Sees every frame handed to the view, also those the full capture refuses.
    void setStatistics(BusStatistics *statistics) { m_statistics = statistics; }
    // Decodes every frame into signal values, also past the capture limit.
    void setSignalMonitor(SignalMonitor *monitor) { m_signals = monitor; }

    void postFrame(int message, const CAN_Frame &frame, int hint) override;
    void postErrorStatus(const CAN_ErrorStatus &status) override;
    // Shown to the user as a warning, on the user-interface thread.
    void postNotice(const std::string &text) override;
    // Any thread: makes the call on the user-interface thread at the start of
    // the next batch, before its notifications are handled; on a busy bus it
    // costs that thread no wake-up of its own. Calls survive discardPending.
    void postCall(std::function<void()> call);

    bool limitMessageShown() const { return m_limitMessageShown; }

    // Drops every notification not handled yet, the rest of a batch being
    // handled included. Called at connect, disconnect and close, so that
    // nothing notified before them is stored.
    void discardPending();
    // Handles every notification received and not handled yet, now. Called
    // once the adapter is closed, so that what it delivered before is stored.
    void drainPending() { handlePending(); }
    // Notifications received and not handled yet.
    std::size_t pendingCount() const { return m_queue.pendingCount(); }

protected:
    bool event(QEvent *event) override;

private:
    void handlePending();
    void makeCalls();
    void OnFrameNotify(const CAN_Frame &frame, int hint);
    void OnFrameNotifyUntimed(const CAN_Frame &frame, int hint);
    void OnErrorStatusNotify(const CAN_ErrorStatus &status);
    void passToView(const CAN_Frame &frame, int hint);
    void requestWake(const WakeRequest &wake);
    void runTimer();
    void stopTimer();

    CAN_Frame m_frame;
    CAN_Frame m_untimedFrame;
    CAN_ErrorStatus m_errorStatus;
    int m_hint = 0;
    bool m_limitMessageShown = false;

    FrameSink *m_view = nullptr;
    CVEXODoc *m_document = nullptr;
    const ConnectionState *m_connection = nullptr;
    MessageReporter *m_messages = nullptr;
    BusStatistics *m_statistics = nullptr;
    SignalMonitor *m_signals = nullptr;

    NotificationQueue m_queue;

    // The timer thread that wakes the user-interface thread for a batch that
    // had to wait.
    std::thread m_timer;
    std::mutex m_timerMutex;
    std::condition_variable m_timerWake;
    Clock::time_point m_wakeAt = Clock::never(); // guarded by m_timerMutex
    bool m_timerStop = false;                    // guarded by m_timerMutex

    std::mutex m_noticeMutex;
    std::vector<std::string> m_notices;

    std::mutex m_callMutex;
    std::vector<std::function<void()>> m_calls; // guarded by m_callMutex
};
