#pragma once

#include <QHostAddress>
#include <QStandardPaths>
#include <QString>
#include <QTcpServer>

// A private server address for Qt's virtual CAN bus: a free port on the local
// host, so that a test's bus neither sees nor disturbs a Vexo View or another
// test run on the same machine. The first device opened on it starts the server.
inline QString privateVirtualCanServer()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return {};
    return QStringLiteral("tcp://127.0.0.1:%1").arg(probe.serverPort());
}

// The private virtual bus server every test of one executable shares.
inline QString virtualCanServer()
{
    static const QString server = privateVirtualCanServer();
    return server;
}

// Qt's canbusutil, a peer on the virtual bus that nobody here wrote; empty
// when it is not installed.
inline QString canbusutilPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("canbusutil"),
                                          {QStringLiteral("/usr/lib/qt6/bin"), QString()});
}
