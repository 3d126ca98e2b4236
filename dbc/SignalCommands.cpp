#include "dbc/SignalCommands.h"

#include "app/MessageReporter.h"
#include "dbc/DbcDatabase.h"
#include "dbc/SignalMonitor.h"
#include "dbc/SignalsWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

SignalCommands::SignalCommands(MessageReporter &messages, std::function<std::int64_t()> now,
                               QWidget *dialogParent)
    : m_messages(messages)
    , m_now(std::move(now))
    , m_dialogParent(dialogParent)
    , m_monitor(std::make_unique<SignalMonitor>())
{ }

SignalCommands::~SignalCommands()
{
    // The window shows the monitor's entries, which go with this object.
    delete m_window.data();
}

std::shared_ptr<const DbcDatabase> SignalCommands::database() const
{
    return m_monitor->database();
}

SignalsWindow *SignalCommands::signalsWindow() const
{
    return m_window;
}

void SignalCommands::OnOpenDatabase()
{
    QString path;
    if (m_chooser) {
        path = m_chooser();
    } else {
        const QString folder = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
        path = QFileDialog::getOpenFileName(m_dialogParent, QStringLiteral("Open Database"), folder,
                                            QStringLiteral("DBC databases (*.dbc);;All files (*)"));
    }
    if (!path.isEmpty())
        openDatabase(path);
}

bool SignalCommands::openDatabase(const QString &path)
{
    auto database = std::make_shared<DbcDatabase>();
    DbcReport report;
    const DbcStatus status = loadDbcFile(QFile::encodeName(path).toStdString(), *database, report);
    const std::string message =
        dbcLoadMessage(status, report, QFileInfo(path).fileName().toStdString());
    if (status != DbcStatus::Ok) {
        m_messages.showMessage(MessageIcon::Error, message);
        return false;
    }
    m_path = QFileInfo(path).absoluteFilePath();
    m_monitor->setDatabase(std::move(database));
    QSettings().setValue(SettingsKey, m_path);
    if (m_window) {
        m_window->setDatabaseName(QFileInfo(m_path).fileName());
        m_window->refresh();
    }
    if (!message.empty())
        m_messages.showMessage(MessageIcon::Warning, message);
    return true;
}

void SignalCommands::restoreDatabase()
{
    const QString path = QSettings().value(SettingsKey).toString();
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        QSettings().remove(SettingsKey);
        return;
    }
    openDatabase(path);
}

void SignalCommands::OnSignals()
{
    if (!m_window) {
        m_window = new SignalsWindow(*m_monitor, m_now, m_dialogParent);
        m_window->setDatabaseName(m_path.isEmpty() ? QString() : QFileInfo(m_path).fileName());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
