#include "logfile/LogFileDialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <array>

namespace {

const QString FolderKey = QStringLiteral("Logs/Folder");

struct Format {
    QString filter;
    QString suffix;
};

const std::array<Format, 4> formats = {{
    {QStringLiteral("dcu File (*.dcu)"), QStringLiteral("dcu")},
    {QStringLiteral("txt File (*.txt)"), QStringLiteral("txt")},
    {QStringLiteral("candump log (*.log)"), QStringLiteral("log")},
    {QStringLiteral("ASC (*.asc)"), QStringLiteral("asc")},
}};
const QString AllLogsFilter = QStringLiteral("All logs (*.dcu *.txt *.log *.asc)");
const QString AllFilesFilter = QStringLiteral("All files (*)");

QString suffixOf(const QString &filter)
{
    for (const Format &format : formats) {
        if (format.filter == filter)
            return format.suffix;
    }
    return {};
}

bool isLogSuffix(const QString &suffix)
{
    for (const Format &format : formats) {
        if (suffix.compare(format.suffix, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The name in the dialog's name field, with the extension of the format just
// chosen in place of another format's; a name with any other extension, or
// none, is the user's and stays.
void giveNameSuffix(QFileDialog &dialog, const QString &suffix)
{
    const QStringList selected = dialog.selectedFiles();
    if (selected.isEmpty())
        return;
    const QFileInfo name(selected.first());
    if (name.fileName().isEmpty() || !isLogSuffix(name.suffix()))
        return;
    dialog.selectFile(name.completeBaseName() + QLatin1Char('.') + suffix);
}

} // namespace

namespace LogFileDialog {

QString startFolder()
{
    const QString folder = QSettings().value(FolderKey).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QDir::homePath();
}

void rememberFolder(const QString &chosenPath)
{
    QSettings().setValue(FolderKey, QFileInfo(chosenPath).absolutePath());
}

QString proposedName(const QDateTime &when, const QString &suffix)
{
    return QStringLiteral("capture-%1.%2")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")), suffix);
}

std::unique_ptr<QFileDialog> create(QFileDialog::AcceptMode mode, QWidget *parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), startFolder());
    const bool opening = mode == QFileDialog::AcceptOpen;
    dialog->setWindowTitle(opening ? QStringLiteral("Open Log") : QStringLiteral("Save As"));
    dialog->setAcceptMode(mode);
    dialog->setFileMode(opening ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList filters;
    for (const Format &format : formats)
        filters << format.filter;
    filters << AllLogsFilter << AllFilesFilter;
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(formats[0].suffix);
    if (opening) {
        dialog->selectNameFilter(AllLogsFilter);
    } else {
        dialog->selectNameFilter(formats[0].filter);
        dialog->selectFile(proposedName(QDateTime::currentDateTime(), formats[0].suffix));
    }
    QFileDialog *d = dialog.get();
    QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString &filter) {
        // "All logs" and "All files" keep the extension of the format before,
        // where the dialog would give "All logs" the first one it lists.
        const QString suffix = suffixOf(filter);
        if (!suffix.isEmpty())
            d->setDefaultSuffix(suffix);
        if (d->acceptMode() == QFileDialog::AcceptSave)
            giveNameSuffix(*d, d->defaultSuffix());
    });
    return dialog;
}

} // namespace LogFileDialog
