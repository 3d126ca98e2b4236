#include "app/QtLogRouting.h"

#include "app/ProgramLog.h"

#include <QStandardPaths>

#include <cstdio>

namespace {

ProgramLog::Level levelOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return ProgramLog::Level::Debug;
    case QtInfoMsg:
        return ProgramLog::Level::Info;
    case QtWarningMsg:
        return ProgramLog::Level::Warning;
    case QtCriticalMsg:
        return ProgramLog::Level::Critical;
    case QtFatalMsg:
        return ProgramLog::Level::Fatal;
    }
    return ProgramLog::Level::Warning;
}

void toProgramLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray text = message.toUtf8();
    const char *category = context.category ? context.category : "default";
    ProgramLog::write(levelOf(type), category, std::string_view(text.constData(), text.size()));
    // The program ends on a fatal message: say why where the user sees it.
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s: %s\n", category, text.constData());
}

} // namespace

QString routeQtMessagesToProgramLog(QtMessageHandler *previous)
{
    const QString defaultFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Vexo View/vexoview.log");
    const QByteArray value = qgetenv(ProgramLog::EnvironmentVariable);
    const auto destination = ProgramLog::destinationOf(value.isNull() ? nullptr : value.constData(),
                                                       defaultFile.toStdString());
    const std::string failure = ProgramLog::open(destination);
    const QtMessageHandler replaced = qInstallMessageHandler(toProgramLog);
    if (previous)
        *previous = replaced;
    return QString::fromStdString(failure);
}

QString canBusLoggingRules()
{
    if (ProgramLog::enabled())
        return QStringLiteral("qt.canbus*.debug=true");
    return QStringLiteral("qt.canbus.plugins.peakcan.warning=false\n"
                          "qt.canbus.plugins.peakcan.critical=false\n"
                          "qt.canbus.plugins.tinycan.warning=false\n"
                          "qt.canbus.plugins.tinycan.critical=false");
}
