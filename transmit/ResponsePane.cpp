#include "transmit/ResponsePane.h"

#include "device/DeviceLibrary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel *caption(const char *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return label;
}

// The pane reaches past the Exerciser's right edge; its frame stays inside.
constexpr QRect GroupRect(10, 2, 735, 150);

} // namespace

CExerciserChildDlg::CExerciserChildDlg(DeviceLibrary &library, QWidget *parent)
    : QWidget(parent), m_library(library)
{
    auto *group = new QGroupBox(QStringLiteral("Response Function"), this);
    group->setGeometry(GroupRect);
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(6);

    constexpr int kindColumn = 1;
    grid->addWidget(caption("TYPE", group), 0, kindColumn);
    grid->addWidget(caption("ID(Hex)", group), 0, kindColumn + 1);
    grid->addWidget(caption("DLC", group), 0, kindColumn + 2);
    grid->addWidget(caption("DATA(Hex)", group), 0, kindColumn + 3, 1, DataFieldCount);

    m_input = std::make_unique<FrameRowEditors>(group, true);
    m_response = std::make_unique<FrameRowEditors>(group, true);
    grid->addWidget(new QLabel(QStringLiteral("Input     Frame"), group), 1, 0);
    m_input->addToGrid(grid, 1, kindColumn);
    grid->addWidget(new QLabel(QStringLiteral("Response Frame"), group), 2, 0);
    m_response->addToGrid(grid, 2, kindColumn);

    m_enable = new QCheckBox(QStringLiteral("Enable"), group);
    m_apply = new QPushButton(QStringLiteral("Apply"), group);
    m_apply->setAutoDefault(false);
    m_apply->setFixedWidth(70);
    grid->addWidget(m_enable, 3, 0);
    grid->addWidget(m_apply, 3, kindColumn + 3 + DataFieldCount - 3, 1, 3, Qt::AlignRight);
    grid->setColumnStretch(kindColumn + 3 + DataFieldCount, 1);
    grid->setRowStretch(4, 1);

    for (FrameRowEditors *row : {m_input.get(), m_response.get()}) {
        connect(row->kind(), &QComboBox::activated, this, [this] { UpdatePaneControls(); });
        connect(row->dlc(), &QComboBox::activated, this, [this] { UpdatePaneControls(); });
    }
    connect(m_enable, &QCheckBox::clicked, this, [this] { UpdatePaneControls(); });
    connect(m_apply, &QPushButton::clicked, this, &CExerciserChildDlg::OnApply);

    // 1. Kinds and DLCs.
    const FrameRowFields input = DefaultInputRow();
    const FrameRowFields response = DefaultResponseRow();
    m_input->setKind(input.kind);
    m_response->setKind(response.kind);
    m_input->setDlc(input.dlc);
    m_response->setDlc(response.dlc);
    // 2. Data fields (two characters each, by their making).
    m_input->setData(DefaultData);
    m_response->setData(DefaultData);
    // 3.
    m_enable->setChecked(false);
    UpdatePaneControls();
    // 4.
    m_input->setIdentifier(input.identifier);
    m_response->setIdentifier(response.identifier);
}

CExerciserChildDlg::~CExerciserChildDlg() = default;

void CExerciserChildDlg::applyRowState(FrameRowEditors &row, bool enabled)
{
    const RowControlState state = PaneRowControlsFor(enabled, row.fields());
    row.kind()->setEnabled(state.fieldsEnabled);
    row.identifier()->setEnabled(state.fieldsEnabled);
    row.dlc()->setEnabled(state.fieldsEnabled);
    for (int i = 0; i < DataFieldCount; ++i)
        row.data(i)->setEnabled(state.dataEnabled[static_cast<std::size_t>(i)]);
    if (state.identifierLength)
        row.setIdentifierLength(*state.identifierLength);
    if (state.identifierReplacement)
        row.setIdentifier(*state.identifierReplacement);
}

void CExerciserChildDlg::UpdatePaneControls()
{
    const bool enabled = m_enable->isChecked();
    applyRowState(*m_input, enabled);
    applyRowState(*m_response, enabled);
}

void CExerciserChildDlg::OnApply()
{
    const std::uint8_t enable = m_enable->isChecked() ? 1 : 0;
    // What is armed is what the fields show: an identifier above its kind's
    // limit is brought down to it first, as in the transmit rows.
    for (FrameRowEditors *row : {m_input.get(), m_response.get()}) {
        const FrameRowFields fields = row->fields();
        if (const auto replacement = ClampedIdentifierText(fields.kind, fields.identifier))
            row->setIdentifier(*replacement);
    }
    m_library.DevSetResponse(enable, FillInputRecord(m_input->fields()),
                             FillResponseRecord(m_response->fields()));
}
