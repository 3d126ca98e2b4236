#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class DbcDatabase;
class MessageReporter;
class SignalMonitor;
class SignalsWindow;
class QWidget;

// The database the program decodes signals with: File, "Open Database...",
// the one named on the command line or remembered from the last run; the
// signal values it gives the live capture and opened logs; and the Function
// menu's "Signals" window.
class SignalCommands : public QObject {
    Q_OBJECT

public:
    // now: the bus time in microseconds (for the time since an update).
    SignalCommands(MessageReporter &messages, std::function<std::int64_t()> now,
                   QWidget *dialogParent);
    ~SignalCommands() override;

    // Asks for a database file and opens it.
    void OnOpenDatabase();
    // Opens the database at path and remembers it for the next start; false,
    // after telling the user, when it cannot be read. The database in use
    // stays when a new one fails.
    bool openDatabase(const QString &path);
    // Opens the database remembered from the last run, if any; a file that
    // has gone is forgotten without a word.
    void restoreDatabase();
    void OnSignals();

    std::shared_ptr<const DbcDatabase> database() const;
    QString databasePath() const { return m_path; }
    SignalMonitor &monitor() { return *m_monitor; }
    SignalsWindow *signalsWindow() const;

    // Replaces the file dialog (tests).
    void setFileChooser(std::function<QString()> chooser) { m_chooser = std::move(chooser); }

    static constexpr const char *SettingsKey = "Signals/Database";

private:
    MessageReporter &m_messages;
    std::function<std::int64_t()> m_now;
    QWidget *m_dialogParent = nullptr;
    std::unique_ptr<SignalMonitor> m_monitor;
    QString m_path;
    QPointer<SignalsWindow> m_window;
    std::function<QString()> m_chooser;
};
