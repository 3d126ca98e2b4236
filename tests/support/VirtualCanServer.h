#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
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

// canbusutil listening on can0 of the private virtual bus, printing every frame
// it sees; read() returns all it has printed so far.
class CanbusutilListener {
public:
    explicit CanbusutilListener(const QString &canbusutil)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(canbusutil,
                        {QStringLiteral("-l"), QStringLiteral("virtualcan"),
                         virtualCanServer() + QStringLiteral("/can0")});
    }
    ~CanbusutilListener() { stop(); }
    CanbusutilListener(const CanbusutilListener &) = delete;
    CanbusutilListener &operator=(const CanbusutilListener &) = delete;

    bool started() { return m_process.waitForStarted(); }
    const QByteArray &read()
    {
        m_process.waitForReadyRead(100);
        m_output += m_process.readAll();
        return m_output;
    }
    const QByteArray &output() const { return m_output; }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    QByteArray m_output;
};
