#include "app/VexoApp.h"

#include "app/MainFrame.h"
#include "app/StartupActions.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include <QScreen>

CVEXOApp::CVEXOApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setProgramIdentity();
    // The installed menu entry, so that the desktop shows the window under it.
    setDesktopFileName(QStringLiteral("vexoview"));
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
    // Frames reach the screen in batches at a bounded rate, however full the
    // bus.
    m_frame->receiver()->setBatchInterval(CRxWnd::BatchInterval);
    // Room for most of a page of frames where the screen allows it.
    const QSize preferred(1100, 800);
    m_frame->resize(m_frame->screen() ? preferred.boundedTo(m_frame->screen()->availableSize())
                                      : preferred);
    m_frame->show();
    m_frame->setWindowTitle(QStringLiteral("Vexo View"));

    carryOutCommandLine(*m_frame, commandLine);
    return true;
}
