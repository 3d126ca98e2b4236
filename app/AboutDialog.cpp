#include "app/AboutDialog.h"

#include "app/ProgramIcons.h"
#include "app/VersionInfo.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vexo View"));

    auto *icon = new QLabel(this);
    icon->setPixmap(loadProgramIcon(IconId::MainFrame).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    const std::string product = CGlobalFunctions::GetVersionString("ProductName") + ", "
        + CGlobalFunctions::GetVersionString("FileVersion");
    m_product = new QLabel(QString::fromStdString(product), this);
    m_legal = new QLabel(
        QString::fromStdString(CGlobalFunctions::GetVersionString("LegalCopyright")), this);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(m_product, 0, 1);
    layout->addWidget(m_legal, 1, 1);
    layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutDlg::productLine() const
{
    return m_product->text();
}

QString CAboutDlg::legalLine() const
{
    return m_legal->text();
}
