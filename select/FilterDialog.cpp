#include "select/FilterDialog.h"

#include "app/MessageReporter.h"
#include "capture/CanPacket.h"
#include "capture/FrameStore.h"
#include "display/FrameListView.h"
#include "select/FilterIdLists.h"
#include "select/SelectionRules.h"
#include "select/ShownPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

constexpr int StandardDigits = 3;
constexpr int ExtendedDigits = 8;

// Letters become upper case as they are typed or pasted; what is no
// hexadecimal digit is left for the field check to report.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

QStringList toStringList(const std::vector<std::string> &texts)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string &text : texts)
        list << QString::fromStdString(text);
    return list;
}

std::vector<int> selectedRows(const QListWidget *list)
{
    std::vector<int> rows;
    for (const QListWidgetItem *item : list->selectedItems())
        rows.push_back(list->row(item));
    return rows;
}

std::string fieldText(const QLineEdit *field)
{
    return field->text().toStdString();
}

} // namespace

CFilterDlg::CFilterDlg(CVEXODoc &doc, CVEXOView &view, MessageReporter *messages, QWidget *parent)
    : QDialog(parent)
    , m_doc(doc)
    , m_view(view)
    , m_messages(messages)
    , m_lists(std::make_unique<FilterIdLists>())
{
    setWindowTitle(QStringLiteral("Filtering setup"));
    setModal(true);
    createControls();

    // Opening: both ranges on at their defaults, the lists from the store,
    // then Selection mode.
    m_standard->setChecked(true);
    m_extended->setChecked(true);
    m_standardFrom->setMaxLength(StandardDigits);
    m_standardTo->setMaxLength(StandardDigits);
    m_extendedFrom->setMaxLength(ExtendedDigits);
    m_extendedTo->setMaxLength(ExtendedDigits);
    m_standardFrom->setText(QStringLiteral("000"));
    m_standardTo->setText(QStringLiteral("7FF"));
    m_extendedFrom->setText(QStringLiteral("00000000"));
    m_extendedTo->setText(QStringLiteral("1FFFFFFF"));

    m_lists->fill(m_doc);
    showLists();

    m_selection->setChecked(true);
    EnableModeControls();
}

CFilterDlg::~CFilterDlg() = default;

void CFilterDlg::createControls()
{
    m_selection = new QRadioButton(QStringLiteral("Selection"), this);
    m_range = new QRadioButton(QStringLiteral("Range"), this);
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_selection);
    modes->addButton(m_range);
    connect(m_selection, &QRadioButton::toggled, this, [this] { EnableModeControls(); });

    m_included = new QListWidget(this);
    m_included->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_excluded = new QListWidget(this);
    m_excluded->setSelectionMode(QAbstractItemView::MultiSelection);
    m_exclude = new QPushButton(QStringLiteral(">>"), this);
    m_include = new QPushButton(QStringLiteral("<<"), this);
    m_exclude->setAutoDefault(false);
    m_include->setAutoDefault(false);
    connect(m_exclude, &QPushButton::clicked, this, &CFilterDlg::OnExclude);
    connect(m_include, &QPushButton::clicked, this, &CFilterDlg::OnInclude);

    m_standard = new QCheckBox(QStringLiteral("Standard"), this);
    m_extended = new QCheckBox(QStringLiteral("Extended"), this);
    m_standardFrom = new QLineEdit(this);
    m_standardTo = new QLineEdit(this);
    m_extendedFrom = new QLineEdit(this);
    m_extendedTo = new QLineEdit(this);
    for (QLineEdit *field : {m_standardFrom, m_standardTo, m_extendedFrom, m_extendedTo}) {
        field->setValidator(new UpperCaseValidator(field));
        connect(field, &QLineEdit::textChanged, this, &CFilterDlg::CheckRangeFields);
    }
    connect(m_standard, &QCheckBox::clicked, this, [this](bool on) {
        m_standardFrom->setEnabled(on);
        m_standardTo->setEnabled(on);
    });
    connect(m_extended, &QCheckBox::clicked, this, [this](bool on) {
        m_extendedFrom->setEnabled(on);
        m_extendedTo->setEnabled(on);
    });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    m_ok->setText(QStringLiteral("OK"));
    m_cancel->setText(QStringLiteral("Cancel"));
    connect(m_ok, &QPushButton::clicked, this, &CFilterDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(m_selection);
    modeRow->addWidget(m_range);
    modeRow->addStretch();

    auto *arrows = new QVBoxLayout;
    arrows->addStretch();
    arrows->addWidget(m_exclude);
    arrows->addWidget(m_include);
    arrows->addStretch();
    auto *selection = new QGroupBox(this);
    auto *selectionGrid = new QGridLayout(selection);
    selectionGrid->addWidget(new QLabel(QStringLiteral("Included ID"), selection), 0, 0);
    selectionGrid->addWidget(new QLabel(QStringLiteral("Excluded ID"), selection), 0, 2);
    selectionGrid->addWidget(m_included, 1, 0);
    selectionGrid->addLayout(arrows, 1, 1);
    selectionGrid->addWidget(m_excluded, 1, 2);

    auto *range = new QGroupBox(this);
    auto *rangeGrid = new QGridLayout(range);
    const auto addRangeRow = [&](int row, QCheckBox *box, QLineEdit *from, QLineEdit *to) {
        rangeGrid->addWidget(box, row, 0);
        rangeGrid->addWidget(new QLabel(QStringLiteral("From"), range), row, 1);
        rangeGrid->addWidget(from, row, 2);
        rangeGrid->addWidget(new QLabel(QStringLiteral("To"), range), row, 3);
        rangeGrid->addWidget(to, row, 4);
    };
    addRangeRow(0, m_standard, m_standardFrom, m_standardTo);
    addRangeRow(1, m_extended, m_extendedFrom, m_extendedTo);
    rangeGrid->setColumnStretch(5, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(modeRow);
    layout->addWidget(selection, 1);
    layout->addWidget(range);
    layout->addWidget(buttons);
    resize(520, 440);
}

void CFilterDlg::EnableModeControls()
{
    const bool selection = m_selection->isChecked();
    for (QWidget *control :
         std::initializer_list<QWidget *>{m_included, m_excluded, m_exclude, m_include})
        control->setEnabled(selection);
    for (QWidget *control : std::initializer_list<QWidget *>{
             m_standard, m_extended, m_standardFrom, m_standardTo, m_extendedFrom, m_extendedTo})
        control->setEnabled(!selection);
}

void CFilterDlg::showLists()
{
    // The entries that stay selected in the list that receives others.
    const auto selectedTexts = [](const QListWidget *list) {
        QStringList texts;
        for (const QListWidgetItem *item : list->selectedItems())
            texts << item->text();
        return texts;
    };
    const QStringList includedSelected = selectedTexts(m_included);
    const QStringList excludedSelected = selectedTexts(m_excluded);

    const auto show = [](QListWidget *list, const std::vector<std::string> &texts,
                         const QStringList &selected) {
        list->clear();
        list->addItems(toStringList(texts));
        if (selected.isEmpty())
            return;
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem *item = list->item(row);
            if (selected.contains(item->text()))
                item->setSelected(true);
        }
    };
    show(m_included, m_lists->included(), includedSelected);
    show(m_excluded, m_lists->excluded(), excludedSelected);
}

void CFilterDlg::OnExclude()
{
    const std::vector<int> rows = selectedRows(m_included);
    m_included->clearSelection();
    m_lists->exclude(rows);
    showLists();
}

void CFilterDlg::OnInclude()
{
    const std::vector<int> rows = selectedRows(m_excluded);
    m_excluded->clearSelection();
    m_lists->include(rows);
    showLists();
}

void CFilterDlg::CheckRangeFields()
{
    if (m_checking)
        return;
    m_checking = true;
    for (QLineEdit *field : {m_standardFrom, m_standardTo, m_extendedFrom, m_extendedTo}) {
        const std::string text = fieldText(field);
        const std::size_t keep = CheckedHexLength(text);
        if (keep == text.size())
            continue;
        if (m_messages)
            m_messages->showMessage(MessageIcon::Error, "Input Hex values only");
        field->setText(QString::fromStdString(text.substr(0, keep)));
    }
    m_checking = false;
}

void CFilterDlg::OnOK()
{
    if (m_range->isChecked()) {
        m_doc.ApplyRangeFilter(
            RangeFlags(m_standard->isChecked(), m_extended->isChecked()),
            RangeTextToValue(fieldText(m_standardFrom)), RangeTextToValue(fieldText(m_standardTo)),
            RangeTextToValue(fieldText(m_extendedFrom)), RangeTextToValue(fieldText(m_extendedTo)));
    } else {
        m_doc.ClearExcludedIds();
        for (const CAN_Packet_ID &entry : m_lists->excludedIds())
            m_doc.AddExcludedId(entry.type, entry.id);
        m_doc.ApplySelectionFilter();
    }
    ShowFirstPage(m_doc, m_view);
    accept();
}
