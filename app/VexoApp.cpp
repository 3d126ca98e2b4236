#include "app/VexoApp.h"

#include "app/MainFrame.h"
#include "app/QtLogRouting.h"
#include "app/StartupActions.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include <QLoggingCategory>
#include <QScreen>

CVEXOApp::CVEXOApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Vexo View"));
    setApplicationName(QStringLiteral("Vexo View"));
    // No display name: the window system would append it to every window's
    // title ("Connection Setting — Vexo View").
    setApplicationVersion(QStringLiteral(VEXO_FILE_VERSION));
    // The installed menu entry, so that the desktop shows the window under it.
    setDesktopFileName(QStringLiteral("vexoview"));
    // The plugins for vendor adapters complain, at critical level, when their
    // vendor library is not installed, which is the usual case; the adapter
    // list leaves such plugins out. Their messages go to the program's log.
    QLoggingCategory::setFilterRules(canBusLoggingRules());
}

CVEXOApp::~CVEXOApp()
{
    // The window goes first: it stops its poller and hands the store back.
    m_frame.reset();
    m_document.reset();
    m_library.reset();
}

bool CVEXOApp::InitInstance(const CommandLine &commandLine)
{
    return InitInstance(createDeviceLibrary(), commandLine);
}

bool CVEXOApp::InitInstance(std::unique_ptr<DeviceLibrary> library, const CommandLine &commandLine)
{
    if (!library)
        return false;
    // A second start replaces the first; the window refers to the store and
    // the library, so it goes first.
    m_frame.reset();
    m_document.reset();
    m_library = std::move(library);

    m_document = std::make_unique<CVEXODoc>();
    if (!m_document->OnNewDocument())
        return false;

    m_frame = std::make_unique<CMainFrame>(*m_document, *m_library);
    // Closing the main window ends the program, whatever other windows are
    // open; the main window has stopped everything it runs by then.
    m_frame->setCloseAction([] { QCoreApplication::exit(0); });
    // Frames reach the screen in batches at its refresh rate, however full
    // the bus.
    m_frame->receiver()->setBatchInterval(CRxWnd::ScreenRefresh);
    // Room for most of a page of frames where the screen allows it.
    const QSize preferred(1100, 800);
    m_frame->resize(m_frame->screen() ? preferred.boundedTo(m_frame->screen()->availableSize())
                                      : preferred);
    m_frame->show();
    m_frame->setWindowTitle(QStringLiteral("Vexo View"));

    carryOutCommandLine(*m_frame, commandLine);
    return true;
}
