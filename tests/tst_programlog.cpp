// The program's own log: where VEXO_LOG sends it, and Qt's messages (the CAN
// plugins' among them) reaching it instead of the terminal.

#include "app/ProgramLog.h"
#include "app/QtLogRouting.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ProgramLog::Destination::Kind)

class TestProgramLog : public QObject {
    Q_OBJECT

private slots:
    void destination_data()
    {
        QTest::addColumn<QByteArray>("value"); // null: the variable is not set
        QTest::addColumn<ProgramLog::Destination::Kind>("kind");
        QTest::addColumn<QString>("file");
        using Kind = ProgramLog::Destination::Kind;
        QTest::newRow("not set") << QByteArray() << Kind::Off << "";
        QTest::newRow("empty") << QByteArray("") << Kind::Off << "";
        QTest::newRow("0") << QByteArray("0") << Kind::Off << "";
        QTest::newRow("-") << QByteArray("-") << Kind::StandardError << "";
        QTest::newRow("1") << QByteArray("1") << Kind::File << "/data/vexoview.log";
        QTest::newRow("a file") << QByteArray("/tmp/x.log") << Kind::File << "/tmp/x.log";
    }
    void destination()
    {
        QFETCH(QByteArray, value);
        QFETCH(ProgramLog::Destination::Kind, kind);
        QFETCH(QString, file);
        const auto destination = ProgramLog::destinationOf(
            value.isNull() ? nullptr : value.constData(), "/data/vexoview.log");
        QCOMPARE(destination.kind, kind);
        QCOMPARE(QString::fromStdString(destination.file.string()), file);
    }

    void qtMessagesReachTheLogOnlyWhenItIsOn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logs/vexoview.log"));
        const QLoggingCategory plugin("qt.canbus.plugins.virtualcan");
        const auto logged = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };

        QtMessageHandler test = nullptr;
        qunsetenv(ProgramLog::EnvironmentVariable);
        QVERIFY(routeQtMessagesToProgramLog(&test).isEmpty());
        qCWarning(plugin) << "said while off";
        QVERIFY(!ProgramLog::enabled());

        qputenv(ProgramLog::EnvironmentVariable, QFile::encodeName(path));
        QVERIFY(routeQtMessagesToProgramLog().isEmpty());
        qCWarning(plugin, "Can not disconnect an unconnected device.");
        qCCritical(plugin, "Server error");
        ProgramLog::close();
        qInstallMessageHandler(test);
        qunsetenv(ProgramLog::EnvironmentVariable);

        const QStringList lines = logged().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral(" warning qt.canbus.plugins.virtualcan: Can not "
                                                  "disconnect an unconnected device.")),
                 qPrintable(lines[0]));
        QVERIFY(lines[1].endsWith(
            QStringLiteral(" critical qt.canbus.plugins.virtualcan: Server error")));
        QVERIFY2(!logged().contains(QStringLiteral("while off")), "off means off");

        // A log that cannot be written says so and stays off.
        qputenv(ProgramLog::EnvironmentVariable, QFile::encodeName(dir.filePath("logs")));
        QVERIFY(!routeQtMessagesToProgramLog().isEmpty());
        QVERIFY(!ProgramLog::enabled());
        qInstallMessageHandler(test);
        qunsetenv(ProgramLog::EnvironmentVariable);
    }
};

QTEST_GUILESS_MAIN(TestProgramLog)
#include "tst_programlog.moc"
