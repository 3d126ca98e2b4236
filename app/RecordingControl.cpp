#include "app/RecordingControl.h"

#include "app/HeadlessRecording.h"
#include "app/MessageReporter.h"
#include "app/RecordDialog.h"
#include "device/FrameTap.h"
#include "logfile/FrameRecorder.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QWidget>

RecordingControl::RecordingControl(DeliveryMonitor *monitor, MessageReporter &messages,
                                   QWidget *window)
    : QObject(window), m_library(monitor), m_messages(messages), m_window(window)
{
    m_action = new QAction(QStringLiteral("Record..."), this);
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_action->setStatusTip(QStringLiteral("Record every frame to a file, without limit"));
    connect(m_action, &QAction::triggered, this, &RecordingControl::onTriggered);
    m_action->setEnabled(m_library != nullptr);

    m_pane = new QLabel(window);
    m_pane->setFrameShape(QFrame::StyledPanel);
    m_pane->setFrameShadow(QFrame::Sunken);
    m_pane->setTextFormat(Qt::RichText);
    m_pane->setToolTip(QStringLiteral("Frames lost on the way from the bus, and the recording"));

    // While nothing is recorded only the loss count shows, read once a second.
    m_timer = new QTimer(this);
    m_timer->setInterval(LossPollMs);
    connect(m_timer, &QTimer::timeout, this,
            [this] { refresh(!m_recorder || ++m_ticks % (LossPollMs / RefreshMs) == 0); });
    m_timer->start();
    refresh();
}

RecordingControl::~RecordingControl()
{
    // The window is going: no one to tell, the file is closed all the same.
    finish(false);
}

void RecordingControl::onTriggered()
{
    if (m_recorder) {
        stop();
        return;
    }
    RecordDialog dialog(m_window);
    if (dialog.exec() == QDialog::Accepted)
        start(dialog.settings());
}

bool RecordingControl::start(const RecordSettings &settings)
{
    stop();
    if (!m_library)
        return false;
    auto recorder = std::make_unique<FrameRecorder>(settings);
    std::string error;
    if (!recorder->start(error)) {
        m_messages.showMessage(MessageIcon::Error, "Cannot record to " + error);
        return false;
    }
    if (m_captureStart)
        recorder->setCaptureStart(*m_captureStart);
    m_recorder = std::move(recorder);
    m_lostInLibraryAtStart = m_lostInLibrary;
    m_library->setFrameTap(m_recorder.get());
    updateAction();
    refresh();
    return true;
}

void RecordingControl::stop()
{
    finish(true);
}

void RecordingControl::finish(bool tellFailure)
{
    if (!m_recorder)
        return;
    // Nothing more comes once the tap is off; then the queue is written out.
    m_library->setFrameTap(nullptr);
    m_recorder->stop();
    const FrameRecorder::Status status = m_recorder->status();
    m_lostInQueues += status.lostInQueue;
    m_recorder.reset();
    if (!tellFailure)
        return;
    updateAction();
    refresh();
    if (!status.failure.empty()) {
        m_messages.showMessage(MessageIcon::Error,
                               "Recording stopped: " + status.failure + ". The file keeps the "
                                   + std::to_string(status.framesWritten)
                                   + " frames written before.");
    }
}

void RecordingControl::adapterOpened(CaptureStart start)
{
    m_captureStart = start;
    if (m_recorder && start)
        m_recorder->setCaptureStart(*start);
    m_lostInLibrary = 0;
    m_lostInLibraryAtStart = 0;
    refresh();
}

void RecordingControl::adapterClosed()
{
    m_captureStart.reset();
    stop();
}

std::uint64_t RecordingControl::lostFrames() const
{
    std::uint64_t lost = m_lostInLibrary + m_lostInQueues;
    if (m_recorder)
        lost += m_recorder->status().lostInQueue;
    return lost;
}

void RecordingControl::updateAction()
{
    m_action->setText(m_recorder ? QStringLiteral("Stop Recording") : QStringLiteral("Record..."));
    m_timer->setInterval(m_recorder ? RefreshMs : LossPollMs);
}

void RecordingControl::refresh(bool pollLosses)
{
    if (pollLosses && m_library) {
        // A closed adapter answers zeros: the figures of the last one stay.
        const DeliveryCounts counts = m_library->readDeliveryCounts();
        if (counts.delivered > 0 || counts.lost() > 0)
            m_lostInLibrary = counts.lost();
        if (m_recorder && m_lostInLibrary >= m_lostInLibraryAtStart)
            m_recorder->setLostBefore(m_lostInLibrary - m_lostInLibraryAtStart);
    }
    const QString lost = QStringLiteral("lost %1").arg(lostFrames());
    if (!m_recorder) {
        m_pane->setText(lost);
        return;
    }
    const FrameRecorder::Status status = m_recorder->status();
    if (!status.failure.empty()) {
        stop(); // tells the user
        return;
    }
    const QLocale locale;
    m_pane->setText(
        QStringLiteral("<span style=\"color:#d01010\">&#9679;</span> %1 &nbsp;%2 "
                       "frames &nbsp;%3 &nbsp;%4")
            .arg(QFileInfo(QString::fromLocal8Bit(status.file.c_str())).fileName().toHtmlEscaped(),
                 locale.toString(static_cast<qulonglong>(status.framesWritten)),
                 QString::fromStdString(formatRecordedSize(status.bytesWritten)), lost));
}
