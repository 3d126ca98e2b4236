#pragma once

#include <QFileDialog>
#include <QString>

#include <memory>

class QDateTime;

// The file dialogs of Open Log and Save As: the log formats, the folder they
// start in and the name Save As proposes.
namespace LogFileDialog {

// The folder of the last log opened or saved, remembered between runs; the
// user's home folder at first, or when that folder has gone.
QString startFolder();
// Remembers the folder of a log the user chose.
void rememberFolder(const QString &chosenPath);

// The name Save As proposes: the capture's date and time, so that saving one
// capture after another never proposes the same name twice.
QString proposedName(const QDateTime &when, const QString &suffix);

// The dialog, prepared: the four formats, "All logs" and "All files"; Save As
// proposes a name and asks before an existing file is replaced. Choosing a
// format gives a name without extension, and the proposed name, its extension.
std::unique_ptr<QFileDialog> create(QFileDialog::AcceptMode mode, QWidget *parent = nullptr);

} // namespace LogFileDialog
