#include "app/ControlBar.h"

#include "app/MainFrame.h"
#include "app/ProgramIcons.h"
#include "capture/FrameStore.h"
#include "controls/IconButton.h"
#include "device/ConnectDialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int HandOverDelayMs = 100;
constexpr int CounterWidth = 50;
constexpr int PageFieldWidth = 40;
constexpr int PageFieldDigits = 4;
// Frame and margins around a field's text.
constexpr int FieldPadding = 12;

// Fields sized for a live capture (50,000 frames on 2,000 pages) grow to show
// the larger numbers of an opened log in full, and shrink back with them.
void fitToText(QWidget *field, const QString &text, int minimumWidth)
{
    const int width =
        std::max(minimumWidth, field->fontMetrics().horizontalAdvance(text) + FieldPadding);
    if (field->minimumWidth() != width || field->maximumWidth() != width)
        field->setFixedWidth(width);
}

QLabel *makeCounter(QWidget *parent)
{
    auto *counter = new QLabel(QStringLiteral("0"), parent);
    counter->setFrameShape(QFrame::StyledPanel);
    counter->setFrameShadow(QFrame::Sunken);
    counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A fixed size, in both directions, keeps a changing count from
    // re-laying out the bar: a new text then costs a repaint of the counter
    // alone.
    counter->setFixedSize(CounterWidth, counter->sizeHint().height());
    return counter;
}

QHBoxLayout *groupLayout(QGroupBox *group)
{
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(8, 2, 8, 4);
    layout->setSpacing(6);
    return layout;
}

} // namespace

CBarDlg::CBarDlg(CMainFrame *frame, CVEXODoc *document, CVEXOView *view, QWidget *parent)
    : QWidget(parent), m_frame(frame), m_document(document), m_view(view)
{
    m_connect = new CIconButton(QStringLiteral("Connect"), this);
    m_connect->SetIconId(IconId::Connect);
    m_connect->SetIconSize(32, 32);
    m_connect->setFixedSize(100, 44);
    m_disconnect = new CIconButton(QStringLiteral("Disconnect"), this);
    m_disconnect->SetIconId(IconId::Disconnect);
    m_disconnect->SetIconSize(32, 32);
    m_disconnect->setFixedSize(112, 44);

    auto *count = new QGroupBox(QStringLiteral("Count"), this);
    m_txCounter = makeCounter(count);
    m_rxCounter = makeCounter(count);
    QHBoxLayout *countLayout = groupLayout(count);
    countLayout->addWidget(new QLabel(QStringLiteral("Tx:"), count));
    countLayout->addWidget(m_txCounter);
    countLayout->addWidget(new QLabel(QStringLiteral("Rx :"), count));
    countLayout->addWidget(m_rxCounter);

    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_clear->setFixedSize(52, 44);

    auto *page = new QGroupBox(QStringLiteral("Page"), this);
    m_pageBox = new QLineEdit(QStringLiteral("1"), page);
    m_pageBox->setMaxLength(PageFieldDigits);
    m_pageBox->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pageBox));
    m_pageBox->setFixedWidth(PageFieldWidth);
    m_pageBox->setAlignment(Qt::AlignRight);
    m_pageCount = new QLineEdit(QStringLiteral("/1"), page);
    m_pageCount->setReadOnly(true);
    m_pageCount->setFocusPolicy(Qt::NoFocus);
    m_pageCount->setTextMargins(0, 3, 0, 0);
    m_pageCount->setFixedWidth(PageFieldWidth);
    m_go = new QPushButton(QStringLiteral("Go"), page);
    m_go->setDefault(true);
    m_go->setFixedWidth(32);
    QHBoxLayout *pageLayout = groupLayout(page);
    pageLayout->addWidget(m_pageBox);
    pageLayout->addWidget(m_pageCount);
    pageLayout->addWidget(m_go);

    m_previous = new QPushButton(QStringLiteral("Previous\nPage"), this);
    m_next = new QPushButton(QStringLiteral("Next\nPage"), this);
    for (QPushButton *button : {m_previous, m_next}) {
        button->setFixedSize(64, 44);
        button->setEnabled(false);
    }

    auto *display = new QGroupBox(QStringLiteral("Display"), this);
    m_indexList = new QRadioButton(QStringLiteral("Index List"), display);
    m_idList = new QRadioButton(QStringLiteral("ID List"), display);
    m_indexList->setChecked(true);
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_indexList, 0);
    modes->addButton(m_idList, 1);
    QHBoxLayout *displayLayout = groupLayout(display);
    displayLayout->addWidget(m_indexList);
    displayLayout->addWidget(m_idList);

    m_setup = new QPushButton(QStringLiteral("Setup"), this);
    m_setup->setFixedSize(56, 44);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(4);
    // The bar keeps its natural size: its groups never squeeze their contents.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    for (QGroupBox *group : {count, page, display})
        group->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    for (QWidget *w : std::initializer_list<QWidget *>{m_connect, m_disconnect, count, m_clear,
                                                       page, m_previous, m_next, display, m_setup})
        layout->addWidget(w, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    connect(m_connect, &QPushButton::clicked, this, &CBarDlg::OnConnect);
    connect(m_disconnect, &QPushButton::clicked, this, &CBarDlg::OnDisconnect);
    connect(m_clear, &QPushButton::clicked, this, &CBarDlg::OnClear);
    connect(m_go, &QPushButton::clicked, this, &CBarDlg::OnGo);
    connect(m_pageBox, &QLineEdit::returnPressed, this, &CBarDlg::OnGo);
    connect(m_previous, &QPushButton::clicked, this, &CBarDlg::OnPreviousPage);
    connect(m_next, &QPushButton::clicked, this, &CBarDlg::OnNextPage);
    connect(m_setup, &QPushButton::clicked, this, &CBarDlg::OnSetup);
    connect(modes, &QButtonGroup::idClicked, this, [this](int id) {
        m_displayRadio = id;
        OnDisplayMode();
    });

    m_disconnect->setEnabled(false);
    m_setup->setEnabled(false);

    // The store starts writing into the bar once the window has settled.
    QTimer::singleShot(HandOverDelayMs, this, [this] { m_document->SetControlBar(this); });
}

void CBarDlg::SetCounters(int tx, int rx)
{
    const QString txText = QString::number(tx);
    const QString rxText = QString::number(rx);
    if (m_txCounter->text() != txText) {
        fitToText(m_txCounter, txText, CounterWidth);
        m_txCounter->setText(txText);
    }
    if (m_rxCounter->text() != rxText) {
        fitToText(m_rxCounter, rxText, CounterWidth);
        m_rxCounter->setText(rxText);
    }
}

void CBarDlg::SetPageCountText(const std::string &text)
{
    const QString value = QString::fromStdString(text);
    if (m_pageCount->text() == value)
        return;
    fitToText(m_pageCount, value, PageFieldWidth);
    m_pageCount->setText(value);
    // As many digits as the last page has can be typed.
    const int digits = std::max<int>(PageFieldDigits, static_cast<int>(value.size()) - 1);
    if (m_pageBox->maxLength() != digits) {
        m_pageBox->setMaxLength(digits);
        fitToText(m_pageBox, QString(digits, QLatin1Char('0')), PageFieldWidth);
    }
}

void CBarDlg::SetPageFieldText(const std::string &text)
{
    // A number being typed is left alone until Go.
    if (m_pageBox->hasFocus() && m_pageBox->isModified())
        return;
    const QString value = QString::fromStdString(text);
    if (value.size() > m_pageBox->maxLength())
        m_pageBox->setMaxLength(static_cast<int>(value.size()));
    if (m_pageBox->text() != value)
        m_pageBox->setText(value);
}

void CBarDlg::enablePageButtons(bool previous, bool next)
{
    m_previous->setEnabled(previous);
    m_next->setEnabled(next);
}

void CBarDlg::EnableLinkButtons(bool connected)
{
    m_connect->setEnabled(!connected);
    m_disconnect->setEnabled(connected);
    m_setup->setEnabled(connected);
    // Settings shown for an adapter that is gone must not reach the next one.
    if (!connected && m_setupDialog && m_setupDialog->isVisible())
        m_setupDialog->reject();
}

QString CBarDlg::pageCountText() const
{
    return m_pageCount->text();
}

QString CBarDlg::txText() const
{
    return m_txCounter->text();
}

QString CBarDlg::rxText() const
{
    return m_rxCounter->text();
}

void CBarDlg::placeBesideView(QWidget *dialog) const
{
    const QPoint origin = m_view->viewport()->mapToGlobal(QPoint(0, 0));
    dialog->move(origin + QPoint(200, 100));
}

void CBarDlg::OnConnect()
{
    if (!m_connectDialog || !m_connectDialog->isVisible()) {
        if (m_connectDialog)
            m_connectDialog->dispose();
        m_connectDialog = new CConnectDlg(m_frame, m_frame);
        m_connectDialog->setAttribute(Qt::WA_DeleteOnClose, false);
        placeBesideView(m_connectDialog);
        m_connectDialog->show();
    } else {
        m_connectDialog->raise();
        m_connectDialog->activateWindow();
    }
    m_connectDialog->RefreshDeviceList();
}

void CBarDlg::OnDisconnect()
{
    m_frame->Disconnect();
}

void CBarDlg::OnClear()
{
    m_view->SetScrollMode(1);
    m_document->Clear();
    m_document->ResetCounters();
    m_document->ReportCounters();
    m_document->SetPageCount(1);
    m_document->UpdatePageCount();
    m_view->closeFrameView();
    m_view->EnableNavigation(Navigation::None);
    emit cleared();
}

void CBarDlg::OnDisplayMode()
{
    m_view->SetScrollMode(1);
    m_document->DestroyRows();
    m_document->SetDisplayMode(static_cast<std::uint8_t>(m_displayRadio + 1));
    m_document->RebuildDisplayList();
    m_document->BuildRows(m_view);
    m_view->SetScrollMode(0);
}

void CBarDlg::OnPreviousPage()
{
    m_view->StepPage(1);
}

void CBarDlg::OnNextPage()
{
    m_view->StepPage(2);
}

void CBarDlg::OnGo()
{
    const std::uint32_t page = m_pageBox->text().toUInt();
    // From here on the box shows the page shown.
    m_pageBox->setModified(false);
    m_view->GoToPage(page);
}

void CBarDlg::OnSetup()
{
    if (m_setupDialog && m_setupDialog->isVisible()) {
        m_setupDialog->raise();
        m_setupDialog->activateWindow();
        return;
    }
    if (m_setupDialog)
        m_setupDialog->deleteLater();
    m_setupDialog = new CSetupDlg(m_frame->deviceLibrary(), m_frame->messageReporter(),
                                  m_frame->serialName(), m_frame);
    placeBesideView(m_setupDialog);
    m_setupDialog->show();
}
