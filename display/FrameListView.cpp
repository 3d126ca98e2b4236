#include "display/FrameListView.h"

#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameRequestEvent.h"
#include "select/FilterDialog.h"
#include "select/SortDialog.h"

#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <optional>

namespace {

// The vertical scroll bar of the view. A growing ID list widens its range
// with every batch of frames, long after the handle has become as short as
// it gets and stays at the top: it repaints for a new range only when it
// would look different.
class SteadyScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderRangeChange && m_painted && *m_painted == look())
            return;
        QScrollBar::sliderChange(change);
    }

    void paintEvent(QPaintEvent *event) override
    {
        m_painted = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect handle;
        bool atStart = false;
        bool atEnd = false;

        friend bool operator==(const Look &, const Look &) = default;
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }

    std::optional<Look> m_painted;
};

// Narrower than this, the paging buttons keep a width of 900.
constexpr int NarrowClientWidth = 890;
constexpr int NarrowButtonWidth = 900;
constexpr int InitialPreviousWidth = 100;

} // namespace

CVEXOView::CVEXOView(QWidget *parent) : QScrollArea(parent)
{
    m_canvas = new QWidget;
    QPalette palette = m_canvas->palette();
    palette.setColor(QPalette::Window, Qt::white);
    m_canvas->setPalette(palette);
    m_canvas->setAutoFillBackground(true);
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setWidget(m_canvas);

    m_previousButton = new QPushButton(QStringLiteral("Previous Frames"), m_canvas);
    m_previousButton->setGeometry(0, 0, InitialPreviousWidth, ButtonHeight);
    m_nextButton = new QPushButton(QStringLiteral("Next Frames"), m_canvas);
    m_nextButton->setGeometry(0, NextFramesTop, viewport()->width(), ButtonHeight);
    m_previousButton->setEnabled(false);
    m_nextButton->setEnabled(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { followVisiblePart(); });
    connect(m_previousButton, &QPushButton::clicked, this,
            [this] { StepPage(FrameListController::StepPrevious); });
    connect(m_nextButton, &QPushButton::clicked, this,
            [this] { StepPage(FrameListController::StepNext); });
    fitCanvas();
    followVisiblePart();
}

CVEXOView::~CVEXOView()
{
    // The Detailed Frame View asks this view for frames: it closes first.
    m_controller.closeFrameView();
    // The store owns the rows, which live on this view's canvas: release them
    // while the canvas still exists.
    setDocument(nullptr);
}

void CVEXOView::setDocument(CVEXODoc *document)
{
    if (m_doc) {
        m_doc->DestroyRows();
        m_doc->setView(nullptr);
    }
    m_doc = document;
    m_controller.setDocument(document);
    if (m_doc)
        m_doc->setView(this);
}

std::uint8_t CVEXOView::OnNewFrame(CAN_Frame frame, int hint)
{
    return m_controller.OnNewFrame(frame, hint);
}

void CVEXOView::endBatch()
{
    if (m_batchDepth > 0)
        --m_batchDepth;
    reportBatch();
}

void CVEXOView::reportBatch()
{
    if (!m_fitDue)
        return;
    m_fitDue = false;
    fitCanvas();
}

int CVEXOView::horizontalScrollPosition() const
{
    return horizontalScrollBar()->value();
}

void CVEXOView::EnableNavigation(int state)
{
    m_controller.EnableNavigation(state);
}

void CVEXOView::StepPage(int direction)
{
    m_controller.StepPage(direction);
}

void CVEXOView::GoToPage(std::uint32_t page)
{
    m_controller.GoToPage(page);
}

void CVEXOView::SetScrollMode(int mode)
{
    m_controller.SetScrollMode(mode);
}

void CVEXOView::OnFilter()
{
    if (!m_doc)
        return;
    CFilterDlg dialog(*m_doc, *this, m_messages, window());
    dialog.exec();
}

void CVEXOView::OnSort()
{
    if (!m_doc)
        return;
    CSortDlg dialog(*m_doc, *this, window());
    dialog.exec();
}

QPoint CVEXOView::canvasPoint(int x, int y) const
{
    return {x + horizontalScrollBar()->value(), y + verticalScrollBar()->value()};
}

bool CVEXOView::event(QEvent *event)
{
    switch (static_cast<int>(event->type())) {
    case WM_OPEN_FRAME_VIEW:
        m_controller.OnOpenFrameView(static_cast<FrameRequestEvent *>(event)->number);
        return true;
    case WM_SHOW_NEXT_FRAME:
        m_controller.OnShowNextFrame(static_cast<FrameRequestEvent *>(event)->number);
        return true;
    case WM_SHOW_PREV_FRAME:
        m_controller.OnShowPrevFrame(static_cast<FrameRequestEvent *>(event)->number);
        return true;
    default:
        return QScrollArea::event(event);
    }
}

void CVEXOView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    fitCanvas();
    fitButtons();
    followVisiblePart();
}

void CVEXOView::followVisiblePart()
{
    const int top = verticalScrollBar()->value();
    m_visibleRows.setVisibleRange(top, top + viewport()->height());
}

ScrollPoint CVEXOView::scrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CVEXOView::setScrollExtent(int width, int height)
{
    const QSize extent(width, height);
    if (extent == m_extent)
        return;
    m_extent = extent;
    if (m_batchDepth > 0) {
        m_fitDue = true;
        return;
    }
    fitCanvas();
}

void CVEXOView::setScrollPosition(int x, int y)
{
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
}

void CVEXOView::enablePagingButtons(bool previous, bool next)
{
    m_previousButton->setEnabled(previous);
    m_nextButton->setEnabled(next);
}

// The scroll range is the extent; a client larger than the extent still shows
// whatever lies on the canvas beyond it.
void CVEXOView::fitCanvas()
{
    const QSize client = viewport()->size();
    m_canvas->resize(std::max(m_extent.width(), client.width()),
                     std::max(m_extent.height(), client.height()));
}

void CVEXOView::fitButtons()
{
    const int client = viewport()->width();
    const int width = client < NarrowClientWidth ? NarrowButtonWidth : client;
    m_previousButton->resize(width, ButtonHeight);
    m_nextButton->resize(width, ButtonHeight);
}
