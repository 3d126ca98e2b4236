#include "app/QtMessageReporter.h"
#include "capture/FrameStore.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vexo View"));
    QApplication::setApplicationName(QStringLiteral("Vexo View"));

    QtMessageReporter messages;
    SquareRowFactory rows(nullptr, &messages);
    CVEXODoc document;
    document.setRowFactory(&rows);
    document.OnNewDocument();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Vexo View"));
    window.setMinimumSize(1030, 500);
    auto *view = new CVEXOView;
    view->setDocument(&document);
    view->setMessageReporter(&messages);
    window.setCentralWidget(view);
    messages.setOwner(&window);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("Disconnected")));
    window.show();
    return QApplication::exec();
}
