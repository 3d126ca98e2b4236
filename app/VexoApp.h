#pragma once

#include "app/CommandLine.h"

#include <QApplication>

#include <memory>

class CMainFrame;
class CVEXODoc;
class DeviceLibrary;

// The application: its identity and settings, and the store, main window and
// view it ties together at start.
class CVEXOApp : public QApplication {
    Q_OBJECT

public:
    static constexpr const char *AppId = "Vexo View.AppID.m_NoRectVersion";

    CVEXOApp(int &argc, char **argv);
    ~CVEXOApp() override;

    // Starts the program as the command line asks; false ends it.
    bool InitInstance(const CommandLine &commandLine = {});
    // Used by tests to run the program on a library of their own.
    bool InitInstance(std::unique_ptr<DeviceLibrary> library, const CommandLine &commandLine = {});

    CMainFrame *mainFrame() const { return m_frame.get(); }
    CVEXODoc *document() const { return m_document.get(); }

private:
    std::unique_ptr<DeviceLibrary> m_library;
    std::unique_ptr<CVEXODoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
};
