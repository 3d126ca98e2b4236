#include "device/SetupDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QComboBox *makeList(const QStringList &items, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->addItems(items);
    return list;
}

QStringList numbers(int from, int to)
{
    QStringList items;
    for (int n = from; n <= to; ++n)
        items << QString::number(n);
    return items;
}

QLineEdit *digitsOnly(QLineEdit *edit, const QString &pattern)
{
    // A validator, not a length limit: text the dialog puts in is never cut.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    return edit;
}

QString fromNarrow(const std::string &text)
{
    return QString::fromLocal8Bit(text.c_str());
}

std::string toNarrow(const QString &text)
{
    return text.toLocal8Bit().toStdString();
}

void setComboIndex(QComboBox *box, int index)
{
    if (box->currentIndex() != index)
        box->setCurrentIndex(index);
}

void setLineText(QLineEdit *edit, const std::string &text)
{
    const QString value = fromNarrow(text);
    // Setting an unchanged text would move the cursor while the user types.
    if (edit->text() != value)
        edit->setText(value);
}

} // namespace

CSetupDlg::CSetupDlg(DeviceLibrary &library, MessageReporter &messages,
                     const std::string &frameSerial, QWidget *parent)
    : QDialog(parent), m_controller(library, messages, frameSerial)
{
    setWindowTitle(QStringLiteral("Vexo Setup"));
    setModal(false);

    m_serial = digitsOnly(new QLineEdit(this), QStringLiteral("[0-9]{0,10}"));
    m_preset = new QComboBox(this);
    m_preset->setEditable(true);
    m_preset->setInsertPolicy(QComboBox::NoInsert);
    // No completion: what the user types is the rate, not the first item
    // that starts with it.
    m_preset->setCompleter(nullptr);
    m_samplePoint = new QLineEdit(this);
    m_samplePoint->setReadOnly(true);
    m_samplePoint->setFocusPolicy(Qt::NoFocus);
    m_samplePoint->setFixedWidth(80);
    m_advanced = new QCheckBox(QStringLiteral("Advanced"), this);
    m_rateLabel = new QLabel(this);
    QPalette red = m_rateLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_rateLabel->setPalette(red);
    m_btr = digitsOnly(new QLineEdit(this), QStringLiteral("[0-9]*"));
    m_btr->setFixedWidth(60);
    m_clkDiv = makeList({"1", "2", "3", "5", "9", "17", "33", "65"}, this);
    m_sjw = makeList(numbers(0, 3), this);
    m_tseg1 = makeList(numbers(1, 15), this);
    m_tseg2 = makeList(numbers(0, 7), this);
    m_abor = new QCheckBox(QStringLiteral("ABOR (Automatic Bus-Off Recovery)"), this);
    m_art = new QCheckBox(QStringLiteral("ART (Automatic retransmission)"), this);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Vexo Serial"), this), 0, 0);
    grid->addWidget(m_serial, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Preset"), this), 1, 0);
    grid->addWidget(m_preset, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Kbps"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Sample Point :"), this), 1, 3);
    grid->addWidget(m_samplePoint, 1, 4, 1, 2);
    grid->addWidget(m_advanced, 2, 0, 1, 2);
    grid->addWidget(m_rateLabel, 2, 2, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("BTR"), this), 3, 0);
    grid->addWidget(m_btr, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("ClkDiv"), this), 3, 2);
    grid->addWidget(m_clkDiv, 3, 3);
    grid->addWidget(new QLabel(QStringLiteral("SJW"), this), 3, 4);
    grid->addWidget(m_sjw, 3, 5);
    grid->addWidget(new QLabel(QStringLiteral("TSEG1"), this), 4, 0);
    grid->addWidget(m_tseg1, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("TSEG2"), this), 4, 2);
    grid->addWidget(m_tseg2, 4, 3);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_abor);
    layout->addWidget(m_art);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Only what the user does triggers a handler: the signals below are not
    // sent for values the dialog writes itself.
    connect(m_preset->lineEdit(), &QLineEdit::textEdited, this,
            [this] { handle([this] { m_controller.presetTextEdited(); }); });
    connect(m_preset, &QComboBox::activated, this,
            [this](int index) { handle([this, index] { m_controller.presetChosen(index); }); });
    connect(m_btr, &QLineEdit::textEdited, this,
            [this] { handle([this] { m_controller.timingFieldChanged(); }); });
    for (QComboBox *list : {m_clkDiv, m_sjw, m_tseg1, m_tseg2}) {
        connect(list, &QComboBox::activated, this,
                [this] { handle([this] { m_controller.timingFieldChanged(); }); });
    }
    connect(m_advanced, &QCheckBox::clicked, this,
            [this] { handle([this] { m_controller.advancedToggled(); }); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    handle([this] { m_controller.initialise(); });
}

template <typename Handler> void CSetupDlg::handle(Handler handler)
{
    takeUserValues();
    handler();
    showControls();
}

void CSetupDlg::takeUserValues()
{
    SetupControls &c = m_controller.controls();
    c.serial = toNarrow(m_serial->text());
    c.presetText = toNarrow(m_preset->currentText());
    c.presetSelection = m_preset->currentIndex();
    c.samplePoint = toNarrow(m_samplePoint->text());
    c.advanced = m_advanced->isChecked();
    c.btr = toNarrow(m_btr->text());
    c.clkDiv = m_clkDiv->currentIndex();
    c.sjw = m_sjw->currentIndex();
    c.tseg1 = m_tseg1->currentIndex();
    c.tseg2 = m_tseg2->currentIndex();
    c.abor = m_abor->isChecked();
    c.art = m_art->isChecked();
}

void CSetupDlg::showControls()
{
    const SetupControls &c = m_controller.controls();
    setLineText(m_serial, c.serial);

    QStringList items;
    for (const std::string &item : c.presetItems)
        items << fromNarrow(item);
    QStringList shown;
    for (int i = 0; i < m_preset->count(); ++i)
        shown << m_preset->itemText(i);
    if (shown != items) {
        m_preset->clear();
        m_preset->addItems(items);
    }
    setComboIndex(m_preset, c.presetSelection);
    if (m_preset->currentText() != fromNarrow(c.presetText))
        m_preset->setEditText(fromNarrow(c.presetText));
    m_preset->setEnabled(c.presetEnabled);

    setLineText(m_samplePoint, c.samplePoint);
    m_advanced->setChecked(c.advanced);
    m_rateLabel->setEnabled(c.rateLabelEnabled);
    m_rateLabel->setText(fromNarrow(c.rateLabel));
    setLineText(m_btr, c.btr);
    setComboIndex(m_clkDiv, c.clkDiv);
    setComboIndex(m_sjw, c.sjw);
    setComboIndex(m_tseg1, c.tseg1);
    setComboIndex(m_tseg2, c.tseg2);
    for (QWidget *w : std::initializer_list<QWidget *>{m_btr, m_clkDiv, m_sjw, m_tseg1, m_tseg2})
        w->setEnabled(c.timingEnabled);
    m_abor->setChecked(c.abor);
    m_art->setChecked(c.art);

    QWidget *focus = nullptr;
    switch (m_controller.focusField()) {
    case SetupController::Field::Btr:
        focus = m_btr;
        break;
    case SetupController::Field::Serial:
        focus = m_serial;
        break;
    case SetupController::Field::SamplePoint:
        focus = m_samplePoint;
        break;
    case SetupController::Field::None:
        break;
    }
    if (focus)
        focus->setFocus();
}

void CSetupDlg::OnOK()
{
    takeUserValues();
    const bool written = m_controller.ok();
    showControls();
    if (written)
        accept();
}
