#include "select/SortDialog.h"

#include "capture/FrameStore.h"
#include "select/SelectionRules.h"
#include "select/ShownPage.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CSortDlg::CSortDlg(CVEXODoc &doc, CVEXOView &view, QWidget *parent)
    : QDialog(parent), m_doc(doc), m_view(view)
{
    setWindowTitle(QStringLiteral("Sorting Setup"));
    setModal(true);

    m_column = new QComboBox(this);
    m_column->addItems({QStringLiteral("No."), QStringLiteral("ID")});
    m_order = new QComboBox(this);
    m_order->addItems({QStringLiteral("Ascending"), QStringLiteral("Descending")});
    m_column->setCurrentIndex(0);
    m_order->setCurrentIndex(0);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    m_ok->setText(QStringLiteral("OK"));
    m_cancel->setText(QStringLiteral("Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &CSortDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("Sort"), this));
    choice->addWidget(m_column);
    choice->addWidget(new QLabel(QStringLiteral("by"), this));
    choice->addWidget(m_order);
    choice->addWidget(new QLabel(QStringLiteral("order"), this));
    choice->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(buttons);
}

void CSortDlg::OnOK()
{
    m_doc.SortDisplayList(SortKeyFor(m_column->currentIndex(), m_order->currentIndex()));
    RebuildShownPage(m_doc, m_view);
    accept();
}
