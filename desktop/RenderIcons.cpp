// Writes the program's icon as PNG files for the desktop's icon theme:
// render_icons DIRECTORY SIZE... gives DIRECTORY/SIZExSIZE/apps/vexoview.png.

#include "app/ProgramIcons.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        err << "Usage: " << arguments.value(0) << " DIRECTORY SIZE...\n";
        return 2;
    }
    const QDir root(arguments.at(1));
    for (const QString &argument : arguments.mid(2)) {
        bool ok = false;
        const int size = argument.toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            err << "Not an icon size: " << argument << '\n';
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = root.filePath(folder + QStringLiteral("/vexoview.png"));
        if (!root.mkpath(folder) || !programIconImage(size).save(path, "PNG")) {
            err << "Cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
