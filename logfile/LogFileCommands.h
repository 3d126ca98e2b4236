#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>
#include <memory>

class BusStatistics;
class SignalMonitor;
class CVEXODoc;
class CVEXOView;
class MessageReporter;

// The File menu's "Open Log" and "Save As": the file dialogs, reading and
// writing the files, and handing a loaded capture to the store. A log is read
// whole into a new capture first; the store and the page change only when the
// whole file was read.
class LogFileCommands {
public:
    // Runs a prepared file dialog; the chosen path, or empty when cancelled.
    using DialogRunner = std::function<QString(QFileDialog &)>;

    LogFileCommands(CVEXODoc &document, CVEXOView &view, MessageReporter &messages,
                    QWidget *dialogParent = nullptr);

    void OnOpenLog();
    void OnSaveLogAs();

    // Opens the log at path as the capture, in the format its extension names,
    // and shows its last page. On failure the user is told (with the first bad
    // lines) and nothing changes; lines skipped on the way are told after.
    bool OpenLogFile(const QString &path);
    // Saves every stored frame to path. The file is replaced only once the
    // whole log has been written; on failure the user is told.
    bool SaveLogFile(const QString &path);

    // The file dialogs, prepared as LogFileDialog::create prepares them. The
    // folder of the log the user chose is remembered for the next one.
    static std::unique_ptr<QFileDialog> createDialog(QFileDialog::AcceptMode mode,
                                                     QWidget *parent = nullptr);
    void setDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }
    // Starts afresh with every log that is opened.
    void setStatistics(BusStatistics *statistics) { m_statistics = statistics; }
    void setSignalMonitor(SignalMonitor *monitor) { m_signals = monitor; }

private:
    CVEXODoc &m_document;
    CVEXOView &m_view;
    MessageReporter &m_messages;
    QWidget *m_dialogParent = nullptr;
    DialogRunner m_runDialog;
    BusStatistics *m_statistics = nullptr;
    SignalMonitor *m_signals = nullptr;
};
