#pragma once

#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "capture/ReceiverWindow.h"
#include "controls/IconButton.h"
#include "device/ConnectDialog.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"

#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

// The main window on a recording device library, with messages recorded
// instead of shown. A test sets the library up (adapters, answers), then
// opens the window.
struct RecordingLibraryWindow {
    void openMainWindow()
    {
        doc.OnNewDocument();
        frame = std::make_unique<CMainFrame>(doc, library, &messages);
        frame->show();
    }

    // Hands what the library queued to the main window, as the library's
    // thread and the receiver window do.
    void deliver()
    {
        library.deliverQueued();
        QCoreApplication::sendPostedEvents(frame->receiver());
    }

    CVEXODoc doc;
    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    std::unique_ptr<CMainFrame> frame;
};

// The real device library with only its built-in virtual adapters.
inline DeviceLibrarySetup builtInAdaptersOnly()
{
    DeviceLibrarySetup setup;
    setup.canBusAdapters = false;
    return setup;
}

// The main window on the real device library, which keeps its settings in a
// data directory of its own; messages are recorded instead of shown.
struct RealLibraryWindow {
    explicit RealLibraryWindow(DeviceLibrarySetup setup = builtInAdaptersOnly())
    {
        setup.dataDirectory = data.path();
        library = createDeviceLibrary(setup);
        doc.OnNewDocument();
        frame = std::make_unique<CMainFrame>(doc, *library, &messages);
        frame->show();
    }

    QTemporaryDir data;
    std::unique_ptr<VexoDeviceLibrary> library;
    CVEXODoc doc;
    RecordingMessageReporter messages;
    std::unique_ptr<CMainFrame> frame;
};

// Connects as the user does: the control bar's Connect, the adapter chosen
// from the list, OK.
inline void connectTo(CMainFrame &frame, int index)
{
    frame.controlBar()->connectButton()->click();
    CConnectDlg *dialog = frame.controlBar()->connectDialog();
    dialog->deviceList()->setCurrentIndex(index);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}
