#pragma once

#include <QString>
#include <QtMessageHandler>

// Routes Qt's messages (every logging category, the CAN plugins' among them)
// to the program's own log, which VEXO_LOG turns on; nothing else reaches the
// terminal but a fatal message, on which the program ends. Opens the log as
// VEXO_LOG asks and returns the reason when it cannot be written (empty when
// all is well). previous, when given, receives the handler it replaces.
QString routeQtMessagesToProgramLog(QtMessageHandler *previous = nullptr);

// The rules for the CAN plugins' logging categories: with the log on, their
// debug lines too; with it off, the vendor plugins' complaints about a missing
// vendor library are not even formatted.
QString canBusLoggingRules();
