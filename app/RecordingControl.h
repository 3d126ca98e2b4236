#pragma once

#include "capture/CaptureTime.h"
#include "logfile/RecordWriter.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class DeliveryMonitor;
class FrameRecorder;
class MessageReporter;
class QAction;
class QLabel;
class QTimer;
class QWidget;

// Recording to disk from the main window: the File menu's "Record..." /
// "Stop Recording" item, and the status bar pane with the recording's file,
// frames, size and the frames lost on the way. The recorder takes the frames
// where the library delivers them, so the capture's limit, Clear, paging,
// filter and sort do not touch it.
class RecordingControl : public QObject {
    Q_OBJECT

public:
    // How often the pane follows a recording's counters, and how often the
    // library's loss counters are read.
    static constexpr int RefreshMs = 250;
    static constexpr int LossPollMs = 1000;

    // Without a monitor (a library that cannot show its deliveries) the
    // menu item is disabled.
    RecordingControl(DeliveryMonitor *monitor, MessageReporter &messages, QWidget *window);
    ~RecordingControl() override;

    QAction *action() const { return m_action; }
    QLabel *pane() const { return m_pane; }
    bool isRecording() const { return m_recorder != nullptr; }

    // Starts writing to a file; false, after telling the user why, when the
    // file cannot be created.
    bool start(const RecordSettings &settings);
    // Ends the recording: the file keeps every frame delivered until now.
    void stop();
    // A new adapter was opened at the wall-clock time start: its loss
    // counters start from 0, and recordings place its frames in time.
    void adapterOpened(CaptureStart start);
    // The adapter was closed: the recording ends with every frame it
    // delivered.
    void adapterClosed();
    // Frames lost on the way: in the library and the interface since the
    // adapter was opened, and in the recordings' queues.
    std::uint64_t lostFrames() const;
    // Reads the counters into the pane (a timer does it while the window
    // lives); pollLosses also reads the library's loss counters.
    void refresh(bool pollLosses = false);

private:
    void onTriggered();
    void finish(bool tellFailure);
    void updateAction();

    DeliveryMonitor *m_library = nullptr;
    MessageReporter &m_messages;
    QWidget *m_window = nullptr;
    QAction *m_action = nullptr;
    QLabel *m_pane = nullptr;
    QTimer *m_timer = nullptr;
    int m_ticks = 0;
    std::unique_ptr<FrameRecorder> m_recorder;
    std::uint64_t m_lostInLibrary = 0;
    std::uint64_t m_lostInLibraryAtStart = 0; // when the recording began
    std::uint64_t m_lostInQueues = 0;         // of recordings that have ended
    CaptureStart m_captureStart;              // of the open adapter
};
