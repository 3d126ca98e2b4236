#include "transmit/ExerciserDialog.h"

#include "app/MessageReporter.h"
#include "app/QtMessageReporter.h"
#include "device/DeviceLibrary.h"
#include "transmit/ResponsePane.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

QString qtText(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QLabel *caption(const char *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return label;
}

QPushButton *rowButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedWidth(50);
    button->setAutoDefault(false);
    return button;
}

enum Column {
    KindColumn = 0,
    DataColumn = 3,
    ResetColumn = 11,
    SendColumn,
    IntervalColumn,
    ToggleColumn
};

} // namespace

CExerciserDlg::CExerciserDlg(DeviceLibrary &library, MessageReporter *messages, QWidget *parent)
    : QDialog(parent), m_library(library)
{
    if (messages == nullptr) {
        m_ownMessages = std::make_unique<QtMessageReporter>(this);
        messages = m_ownMessages.get();
    }
    m_messages = messages;

    setWindowTitle(QStringLiteral("Exerciser"));
    setModal(false);
    buildRows();

    // 1. Kinds, DLCs, data; the intervals are shown at the end.
    for (int r = 0; r < RowCount; ++r) {
        const FrameRowFields opening = OpeningRow(r);
        FrameRowEditors &frame = *m_rows[static_cast<std::size_t>(r)].frame;
        frame.setKind(opening.kind);
        frame.setDlc(opening.dlc);
        frame.setData(DefaultData);
    }
    // 2.
    UpdateRowControls();
    // 3.
    for (int r = 0; r < RowCount; ++r)
        m_rows[static_cast<std::size_t>(r)].frame->setIdentifier(OpeningRow(r).identifier);
    // 4. Rows still running from an earlier Exerciser take the new period too.
    for (int r = 0; r < RowCount; ++r)
        m_library.DevSetPeriod(r, static_cast<std::uint16_t>(DefaultIntervalMs));
    // 5.
    setAdvancedMode(false);
    m_set->setEnabled(false);
    // 6.
    m_pane = new CExerciserChildDlg(m_library, this);
    m_pane->setGeometry(0, PaneTop, PaneWidth, PaneHeight);
    m_pane->show();
    // 7.
    for (Row &row : m_rows)
        row.interval->setText(QString::number(DefaultIntervalMs));
}

CExerciserDlg::~CExerciserDlg() = default;

void CExerciserDlg::buildRows()
{
    auto *top = new QWidget(this);
    top->setGeometry(0, 0, Width, PaneTop);
    auto *grid = new QGridLayout(top);
    grid->setContentsMargins(10, 10, 10, 8);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(9);

    grid->addWidget(caption("TYPE", top), 0, KindColumn);
    grid->addWidget(caption("ID(Hex)", top), 0, KindColumn + 1);
    grid->addWidget(caption("DLC", top), 0, KindColumn + 2);
    grid->addWidget(caption("DATA(Hex)", top), 0, DataColumn, 1, DataFieldCount);
    grid->addWidget(caption("Interval(ms)", top), 0, IntervalColumn, 1, 2);

    for (int r = 0; r < RowCount; ++r) {
        Row &row = m_rows[static_cast<std::size_t>(r)];
        row.frame = std::make_unique<FrameRowEditors>(top, false);
        row.frame->addToGrid(grid, r + 1, KindColumn);
        row.reset = rowButton(QStringLiteral("Reset"), top);
        row.send = rowButton(QStringLiteral("Send"), top);
        row.interval = new QLineEdit(top);
        row.interval->setMaxLength(IntervalFieldLength);
        row.interval->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*")), row.interval));
        row.interval->setFixedWidth(50);
        row.toggle = rowButton(qtText(AutoCaption), top);
        grid->addWidget(row.reset, r + 1, ResetColumn);
        grid->addWidget(row.send, r + 1, SendColumn);
        grid->addWidget(row.interval, r + 1, IntervalColumn);
        grid->addWidget(row.toggle, r + 1, ToggleColumn);

        const FrameRowEditors &frame = *row.frame;
        connect(frame.kind(), &QComboBox::activated, this, [this] { UpdateRowControls(); });
        connect(frame.dlc(), &QComboBox::activated, this, [this] { UpdateRowControls(); });
        connect(frame.identifier(), &QLineEdit::textChanged, this, [this] { CheckHexFields(); });
        for (int i = 0; i < DataFieldCount; ++i)
            connect(frame.data(i), &QLineEdit::textChanged, this, [this] { CheckHexFields(); });
        connect(row.reset, &QPushButton::clicked, this, [this, r] { OnReset(r); });
        connect(row.send, &QPushButton::clicked, this, [this, r] { OnSend(r); });
        connect(row.toggle, &QPushButton::clicked, this, [this, r] { OnToggle(r); });
        connect(row.interval, &QLineEdit::textEdited, this, [this] { m_set->setEnabled(true); });
    }

    m_advancedModeBox = new QCheckBox(QStringLiteral("Advanced  Mode"), top);
    m_set = rowButton(QStringLiteral("Set"), top);
    m_close = rowButton(QStringLiteral("Close"), top);
    m_close->setDefault(true);
    grid->addWidget(m_advancedModeBox, RowCount + 1, KindColumn, 1, 3);
    grid->addWidget(m_set, RowCount + 1, IntervalColumn);
    grid->addWidget(m_close, RowCount + 1, ToggleColumn);
    grid->setColumnStretch(ResetColumn - 1, 1);
    grid->setRowStretch(RowCount + 2, 1);

    connect(m_advancedModeBox, &QCheckBox::clicked, this, &CExerciserDlg::OnAdvancedMode);
    connect(m_set, &QPushButton::clicked, this, &CExerciserDlg::OnSet);
    connect(m_close, &QPushButton::clicked, this, &CExerciserDlg::accept);
}

void CExerciserDlg::UpdateRowControls()
{
    for (Row &row : m_rows) {
        FrameRowEditors &frame = *row.frame;
        const RowControlState state =
            RowControlsFor(row.toggle->text().toStdString(), frame.fields());
        frame.kind()->setEnabled(state.fieldsEnabled);
        frame.identifier()->setEnabled(state.fieldsEnabled);
        frame.dlc()->setEnabled(state.fieldsEnabled);
        row.reset->setEnabled(state.fieldsEnabled);
        row.send->setEnabled(state.fieldsEnabled);
        for (int i = 0; i < DataFieldCount; ++i)
            frame.data(i)->setEnabled(state.dataEnabled[static_cast<std::size_t>(i)]);
        if (state.identifierLength)
            frame.setIdentifierLength(*state.identifierLength);
        if (state.identifierReplacement)
            frame.setIdentifier(*state.identifierReplacement);
    }
}

void CExerciserDlg::CheckHexFields()
{
    // Putting a cut text back changes a field again; this pass covers it.
    if (m_checkingFields)
        return;
    m_checkingFields = true;
    auto cut = [this](QLineEdit *field) {
        const QString text = field->text();
        const auto position = HexFieldCutPosition(text.toStdString());
        if (!position)
            return;
        m_messages->showMessage(MessageIcon::Warning, "Input Hex values only!");
        field->setText(text.left(qsizetype(*position)));
    };
    for (Row &row : m_rows) {
        for (int i = 0; i < DataFieldCount; ++i)
            cut(row.frame->data(i));
    }
    for (Row &row : m_rows) {
        FrameRowEditors &frame = *row.frame;
        const int kind = frame.kind()->currentIndex();
        frame.setIdentifierLength(frameKindAt(kind).identifierLength);
        if (const auto replacement =
                ClampedIdentifierText(kind, frame.identifier()->text().toStdString()))
            frame.setIdentifier(*replacement);
        cut(frame.identifier());
    }
    m_checkingFields = false;
}

void CExerciserDlg::StopPeriodicRows()
{
    for (int r = 0; r < RowCount; ++r)
        m_library.DevEnablePeriodic(r, 0);
}

void CExerciserDlg::OnSend(int r)
{
    m_library.DevSendFrame(FillRowRecord(m_rows[static_cast<std::size_t>(r)].frame->fields()));
}

void CExerciserDlg::OnToggle(int r)
{
    Row &row = m_rows[static_cast<std::size_t>(r)];
    const QString caption = row.toggle->text();
    if (caption == qtText(AutoCaption)) {
        // The row runs at the interval it shows, checked as Set checks it.
        const IntervalCheck check = CheckInterval(row.interval->text().toStdString());
        if (check.problem != IntervalProblem::None) {
            row.interval->setFocus();
            row.interval->selectAll();
            m_messages->showMessage(MessageIcon::Warning, IntervalMessage(check.problem));
            return;
        }
        row.toggle->setText(qtText(StopCaption));
        m_library.DevSetPeriod(r, static_cast<std::uint16_t>(check.values[0]));
        m_library.DevSetPeriodicFrame(r, FillRowRecord(row.frame->fields()));
        m_library.DevEnablePeriodic(r, 1);
        UpdateRowControls();
    } else if (caption == qtText(StopCaption)) {
        row.toggle->setText(qtText(AutoCaption));
        m_library.DevEnablePeriodic(r, 0);
        UpdateRowControls();
    }
}

void CExerciserDlg::OnReset(int r)
{
    const FrameRowFields reset = ResetRow(r);
    FrameRowEditors &frame = *m_rows[static_cast<std::size_t>(r)].frame;
    frame.setKind(reset.kind);
    frame.setIdentifier(reset.identifier);
    frame.setDlc(reset.dlc);
    frame.setData(DefaultData);
    UpdateRowControls();
}

bool CExerciserDlg::readIntervals(std::array<std::int32_t, RowCount> &values)
{
    std::array<std::string, RowCount> texts;
    for (int r = 0; r < RowCount; ++r)
        texts[static_cast<std::size_t>(r)] =
            m_rows[static_cast<std::size_t>(r)].interval->text().toStdString();
    const IntervalCheck check = CheckIntervals(texts);
    if (check.problem != IntervalProblem::None) {
        QLineEdit *field = m_rows[static_cast<std::size_t>(check.field)].interval;
        field->setFocus();
        field->selectAll();
        m_messages->showMessage(MessageIcon::Warning, IntervalMessage(check.problem));
        return false;
    }
    values = check.values;
    return true;
}

void CExerciserDlg::OnSet()
{
    std::array<std::int32_t, RowCount> intervals{};
    if (!readIntervals(intervals))
        return;
    for (int r = 0; r < RowCount; ++r)
        m_library.DevSetPeriod(r,
                               static_cast<std::uint16_t>(intervals[static_cast<std::size_t>(r)]));
    m_set->setEnabled(false);
}

void CExerciserDlg::accept()
{
    std::array<std::int32_t, RowCount> intervals{};
    if (readIntervals(intervals))
        QDialog::accept();
}

void CExerciserDlg::closeEvent(QCloseEvent *event)
{
    StopPeriodicRows();
    // Shown again later, the rows tell that they no longer run.
    for (Row &row : m_rows)
        row.toggle->setText(qtText(AutoCaption));
    UpdateRowControls();
    QDialog::closeEvent(event);
}

void CExerciserDlg::OnAdvancedMode()
{
    setAdvancedMode(!m_advancedMode);
}

void CExerciserDlg::setAdvancedMode(bool expanded)
{
    m_advancedMode = expanded;
    m_advancedModeBox->setChecked(expanded);
    // A fixed size keeps the window where it is and the user from resizing it.
    setFixedSize(Width, expanded ? ExpandedHeight : CollapsedHeight);
}
