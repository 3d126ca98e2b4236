#include "app/AboutDialog.h"
#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "app/VexoApp.h"
#include "capture/FrameStore.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"
#include "logfile/LogFormat.h"

#include "LogPackets.h"
#include "RecordingDeviceLibrary.h"

#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsTheWholeProgram();
    void aboutBoxReadsTheVersion();
    void opensTheLogAndConnectsToTheAdapterNamedOnTheCommandLine();
    // Last: it ends the application's event loop.
    void closingTheMainWindowEndsTheProgram();
};

void TestApplication::startsTheWholeProgram()
{
    auto *app = qobject_cast<CVEXOApp *>(QCoreApplication::instance());
    QVERIFY(app);
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Vexo View"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Vexo View"));

    QVERIFY(!app->InitInstance(nullptr));

    auto library = std::make_unique<RecordingDeviceLibrary>();
    RecordingDeviceLibrary *recorder = library.get();
    QVERIFY(app->InitInstance(std::move(library)));
    QVERIFY(app->mainFrame()->isVisible());
    QCOMPARE(app->mainFrame()->windowTitle(), QStringLiteral("Vexo View"));
    QCOMPARE(app->document()->frameCount(), 0U);
    QCOMPARE(recorder->ordinals().front(), DevOrdinal::SetNotifyWindow);
}

void TestApplication::aboutBoxReadsTheVersion()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Vexo View"));
    QCOMPARE(about.productLine(), QStringLiteral("Vexo View, 1.0.0.4"));
    QVERIFY(about.legalLine().startsWith(QStringLiteral("Copyright")));
}

// It starts the program a second time, on the built-in adapters.
void TestApplication::opensTheLogAndConnectsToTheAdapterNamedOnTheCommandLine()
{
    auto *app = qobject_cast<CVEXOApp *>(QCoreApplication::instance());
    QTemporaryDir data;
    DeviceLibrarySetup setup;
    setup.dataDirectory = data.path();
    setup.canBusAdapters = false;
    std::string log;
    QCOMPARE(writeLog(LogFormat::Binary, randomCapture(30, 3), log), LogStatus::Ok);
    QFile file(data.filePath(QStringLiteral("capture.dcu")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(log.data(), qint64(log.size()));
    file.close();
    CommandLine commandLine;
    commandLine.logFile = file.fileName();
    commandLine.adapter = QStringLiteral("Vexo Virtual Quiet Bus");

    QVERIFY(app->InitInstance(createDeviceLibrary(setup), commandLine));
    CMainFrame *frame = app->mainFrame();
    QVERIFY(frame->isVisible());
    QCOMPARE(app->document()->frameCount(), 30U);
    // The bar, handed to the store after the frames were loaded, shows them.
    QTRY_COMPARE(frame->controlBar()->pageCountText(), QStringLiteral("/2"));
    QVERIFY(frame->IsConnected());
    QCOMPARE(frame->paneText(CMainFrame::ConnectionPane), QStringLiteral("Connected"));
    QCOMPARE(frame->paneText(CMainFrame::AdapterPane),
             QStringLiteral("Vexo Virtual Quiet Bus(1000000002): VXVIRT002"));
    QCOMPARE(frame->paneText(CMainFrame::BitRatePane), QStringLiteral("500Kbps"));
    QCOMPARE(frame->instanceId(), std::string("VXVIRT002"));
}

void TestApplication::closingTheMainWindowEndsTheProgram()
{
    // Another top-level window stays open, as the Exerciser or the Error
    // Status dialog may; closing the main window still ends the event loop.
    auto *app = qobject_cast<CVEXOApp *>(QCoreApplication::instance());
    QVERIFY(app->mainFrame());
    QDialog other;
    other.setWindowTitle(QStringLiteral("Exerciser"));
    other.show();
    QTimer::singleShot(0, app->mainFrame(), &QWidget::close);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(app->mainFrame()->isClosed());
    QVERIFY(other.isVisible());
}

int main(int argc, char *argv[])
{
    CVEXOApp app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
