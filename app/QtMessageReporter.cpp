#include "app/QtMessageReporter.h"

#include <QMessageBox>

void QtMessageReporter::showMessage(MessageIcon icon, const std::string &text,
                                    const std::string &caption)
{
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case MessageIcon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    case MessageIcon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case MessageIcon::Information:
        break;
    }
    QMessageBox box(boxIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, m_owner);
    box.exec();
}
