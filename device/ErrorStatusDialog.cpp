#include "device/ErrorStatusDialog.h"

#include "device/DeviceLibrary.h"
#include "device/ErrorStatusTexts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { TypeColumn = 0, CountColumn = 1 };

} // namespace

CErrorViewDlg::CErrorViewDlg(DeviceLibrary &library, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Error Status"));
    setModal(false);

    auto *values = new QGridLayout;
    auto addRow = [&](int row, const char *label, const char *initial) {
        auto *name = new QLabel(QString::fromLatin1(label), this);
        // The tabs of the labels line their equals signs up.
        name->setTextFormat(Qt::PlainText);
        auto *value = new QLabel(QString::fromLatin1(initial), this);
        value->setMinimumWidth(90);
        values->addWidget(name, row, 0);
        values->addWidget(value, row, 1);
        return value;
    };
    m_tec = addRow(0, "TEC(Transmit Error Count)  =", "00000");
    m_rec = addRow(1, "REC(Receive  Error Count)  =", "00000");
    m_lec = addRow(2, "LEC(Last Error Code)\t    =", "00000");
    m_errorMode = addRow(3, "Error Mode\t\t    =", "Not yet");

    m_counts = new QTreeWidget(this);
    m_counts->setColumnCount(2);
    m_counts->setHeaderLabels({QStringLiteral("Error Type"), QStringLiteral("Count")});
    m_counts->setRootIsDecorated(false);
    m_counts->setItemsExpandable(false);
    m_counts->setUniformRowHeights(true);
    m_counts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_counts->setSelectionMode(QAbstractItemView::SingleSelection);
    m_counts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_counts->header()->setSectionsMovable(false);
    m_counts->header()->setDefaultAlignment(Qt::AlignCenter);
    m_counts->header()->setStretchLastSection(false);
    m_counts->setColumnWidth(TypeColumn, TypeColumnWidth);
    m_counts->setColumnWidth(CountColumn, CountColumnWidth);
    for (const char *label : ErrorStatusTexts::CountRowLabels) {
        auto *row = new QTreeWidgetItem(m_counts, {QString::fromLatin1(label), QString()});
        row->setTextAlignment(TypeColumn, Qt::AlignCenter);
        row->setTextAlignment(CountColumn, Qt::AlignCenter);
    }
    // Room for the two columns and the five rows without scrolling.
    const int frame = 2 * m_counts->frameWidth();
    m_counts->setFixedWidth(TypeColumnWidth + CountColumnWidth + frame + 2);
    m_counts->setFixedHeight(m_counts->header()->sizeHint().height()
                             + int(ErrorStatusTexts::CountRows) * m_counts->sizeHintForRow(0)
                             + frame + 2);

    auto *close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(values);
    layout->addWidget(m_counts, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The answer comes later, as an error-status notification.
    library.DevRequestErrorStatus();
}

void CErrorViewDlg::Show(CAN_ErrorStatus status)
{
    const ErrorStatusTexts::Texts texts = ErrorStatusTexts::textsFor(status);
    m_tec->setText(QString::fromStdString(texts.tec));
    m_rec->setText(QString::fromStdString(texts.rec));
    m_lec->setText(QString::fromStdString(texts.lec));
    m_errorMode->setText(QString::fromStdString(texts.errorMode));
    for (std::size_t i = 0; i < ErrorStatusTexts::CountRows; ++i)
        m_counts->topLevelItem(int(i))->setText(CountColumn,
                                                QString::fromStdString(texts.counts[i]));
}
