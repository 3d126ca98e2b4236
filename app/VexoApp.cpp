#include "app/VexoApp.h"

#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include <QLoggingCategory>
#include <QScreen>

CVEXOApp::CVEXOApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Vexo View"));
    setApplicationName(QStringLiteral("Vexo View"));
    setApplicationDisplayName(QStringLiteral("Vexo View"));
    setApplicationVersion(QStringLiteral(VEXO_FILE_VERSION));
    setDesktopFileName(QString::fromLatin1(AppId));
    // The PEAK plugin complains on every listing of adapters when its vendor
    // library is not installed, which is the usual case.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.peakcan.warning=false"));
}

CVEXOApp::~CVEXOApp()
{
    // The window goes first: it stops its poller and hands the store back.
    m_frame.reset();
    m_document.reset();
    m_library.reset();
}

bool CVEXOApp::InitInstance()
{
    return InitInstance(createDeviceLibrary());
}

bool CVEXOApp::InitInstance(std::unique_ptr<DeviceLibrary> library)
{
    if (!library)
        return false;
    m_library = std::move(library);

    m_document = std::make_unique<CVEXODoc>();
    if (!m_document->OnNewDocument())
        return false;

    m_frame = std::make_unique<CMainFrame>(*m_document, *m_library);
    // Room for most of a page of frames where the screen allows it.
    const QSize preferred(1100, 800);
    m_frame->resize(m_frame->screen() ? preferred.boundedTo(m_frame->screen()->availableSize())
                                      : preferred);
    m_frame->show();
    m_frame->setWindowTitle(QStringLiteral("Vexo View"));
    return true;
}
