#include "logfile/LogFileCommands.h"

#include "app/MessageReporter.h"
#include "capture/CanPacket.h"
#include "capture/FrameStore.h"
#include "dbc/SignalMonitor.h"
#include "display/FrameListView.h"
#include "logfile/LogFileDialog.h"
#include "logfile/LogFormat.h"
#include "statistics/BusStatistics.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <new>
#include <string>
#include <vector>

namespace {

QString runModal(QFileDialog &dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// A wait cursor for as long as a load or save takes.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// Only a regular file is read: a device or a pipe could be endless. On
// failure, problem says why.
bool readWholeFile(const QString &path, QByteArray &bytes, std::string &problem)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        problem = "not found";
        return false;
    }
    if (!info.isFile()) {
        problem = info.isDir() ? "a folder, not a file" : "not a regular file";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem =
            !info.isReadable() ? "no permission to read it" : file.errorString().toStdString();
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        problem = "read error: " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

LogFileCommands::LogFileCommands(CVEXODoc &document, CVEXOView &view, MessageReporter &messages,
                                 QWidget *dialogParent)
    : m_document(document)
    , m_view(view)
    , m_messages(messages)
    , m_dialogParent(dialogParent)
    , m_runDialog(runModal)
{ }

std::unique_ptr<QFileDialog> LogFileCommands::createDialog(QFileDialog::AcceptMode mode,
                                                           QWidget *parent)
{
    return LogFileDialog::create(mode, parent);
}

void LogFileCommands::OnOpenLog()
{
    const auto dialog = createDialog(QFileDialog::AcceptOpen, m_dialogParent);
    const QString path = m_runDialog(*dialog);
    if (path.isEmpty())
        return;
    LogFileDialog::rememberFolder(path);
    OpenLogFile(path);
}

void LogFileCommands::OnSaveLogAs()
{
    const auto dialog = createDialog(QFileDialog::AcceptSave, m_dialogParent);
    const QString path = m_runDialog(*dialog);
    if (path.isEmpty())
        return;
    LogFileDialog::rememberFolder(path);
    SaveLogFile(path);
}

bool LogFileCommands::OpenLogFile(const QString &path)
{
    std::vector<CAN_Packet> frames;
    LogStatus status = LogStatus::CanNotOpen;
    LogReport report;
    CaptureStart start;
    {
        WaitCursor wait;
        try {
            QByteArray bytes;
            if (readWholeFile(path, bytes, report.problem))
                status = openLog(logFormatForPath(path.toStdString()),
                                 std::string_view(bytes.constData(), bytes.size()), frames, report,
                                 start);
        } catch (const std::bad_alloc &) {
            // A file larger than memory holds: the capture the user has stays.
            frames = {};
            report = {};
            report.problem = "too large to be read into memory";
            status = LogStatus::CanNotOpen;
        }
    }
    if (status != LogStatus::Ok) {
        m_messages.showMessage(MessageIcon::Error,
                               logFailureMessage(status, report, path.toStdString()));
        return false;
    }

    // The frame an open Detailed Frame View shows is no longer in the capture.
    m_view.closeFrameView();
    m_view.SetScrollMode(FrameListController::ShortToOrigin);
    m_document.ReplaceCapture(std::move(frames), start);
    if (m_statistics)
        m_statistics->replaceWith(m_document.arrivalList());
    if (m_signals)
        m_signals->replaceWith(m_document.arrivalList());
    m_document.BuildRows(&m_view);
    m_view.SetScrollMode(FrameListController::PageToOrigin);
    m_document.ReportCounters();
    if (const std::string skipped = logSkippedMessage(report); !skipped.empty())
        m_messages.showMessage(MessageIcon::Information, skipped);
    return true;
}

bool LogFileCommands::SaveLogFile(const QString &path)
{
    LogStatus status = LogStatus::Ok;
    LogReport report;
    bool saved = false;
    QString failure;
    {
        WaitCursor wait;
        std::string bytes;
        status = writeLog(logFormatForPath(path.toStdString()), m_document.arrivalList(), bytes,
                          &report, m_document.captureStart());
        if (status == LogStatus::Ok) {
            QSaveFile file(path);
            const auto size = static_cast<qint64>(bytes.size());
            saved = file.open(QIODevice::WriteOnly) && file.write(bytes.data(), size) == size
                && file.commit();
            if (!saved)
                failure = file.errorString();
        }
    }
    if (status != LogStatus::Ok) {
        m_messages.showMessage(MessageIcon::Error, logFailureMessage(status, report));
        return false;
    }
    if (!saved) {
        const QString text = QStringLiteral("Can not save file %1: %2").arg(path, failure);
        m_messages.showMessage(MessageIcon::Error, text.toStdString());
    }
    return saved;
}
