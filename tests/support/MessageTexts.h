#pragma once

#include "StoreDoubles.h"

#include <QString>
#include <QStringList>

// The texts of the messages a reporter was given, in order.
inline QStringList messageTexts(const RecordingMessageReporter &reporter)
{
    QStringList texts;
    for (const auto &m : reporter.messages)
        texts << QString::fromStdString(m.text);
    return texts;
}
