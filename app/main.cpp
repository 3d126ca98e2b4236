#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Vexo View"));
    QApplication::setApplicationName(QStringLiteral("Vexo View"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Vexo View"));
    window.setMinimumSize(1030, 500);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("Disconnected")));
    window.show();
    return QApplication::exec();
}
