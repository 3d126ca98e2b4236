#include "dbc/SignalPlot.h"

#include "dbc/SignalMonitor.h"

#include <QChart>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace {

constexpr int RefreshMs = 500;
// Points drawn per signal: a long capture is thinned to about this many.
constexpr std::size_t DrawnPoints = 20'000;

} // namespace

SignalChartView::SignalChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
}

void SignalChartView::wheelEvent(QWheelEvent *event)
{
    chart()->zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
    emit userMoved();
    event->accept();
}

void SignalChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        m_panning = true;
        m_panFrom = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void SignalChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panning) {
        const QPointF delta = event->position() - m_panFrom;
        m_panFrom = event->position();
        chart()->scroll(-delta.x(), delta.y());
        emit userMoved();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void SignalChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && m_panning) {
        m_panning = false;
        event->accept();
        return;
    }
    // The rubber band zooms in on release; a right click there would zoom out.
    if (event->button() == Qt::LeftButton)
        emit userMoved();
    QChartView::mouseReleaseEvent(event);
}

void SignalChartView::keyPressEvent(QKeyEvent *event)
{
    const qreal step = 20;
    switch (event->key()) {
    case Qt::Key_Left:
        chart()->scroll(-step, 0);
        break;
    case Qt::Key_Right:
        chart()->scroll(step, 0);
        break;
    case Qt::Key_Up:
        chart()->scroll(0, step);
        break;
    case Qt::Key_Down:
        chart()->scroll(0, -step);
        break;
    case Qt::Key_Plus:
        chart()->zoomIn();
        break;
    case Qt::Key_Minus:
        chart()->zoomOut();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    emit userMoved();
}

SignalPlot::SignalPlot(const SignalMonitor &monitor, std::vector<std::size_t> entries,
                       QWidget *parent)
    : QWidget(parent), m_monitor(monitor), m_entries(std::move(entries))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    QStringList names;
    for (std::size_t index : m_entries)
        names << QString::fromStdString(m_monitor.entries()[index].signal->name);
    setWindowTitle(QStringLiteral("Plot: %1").arg(names.join(QStringLiteral(", "))));
    resize(900, 520);

    m_chart = new QChart;
    m_time = new QValueAxis;
    m_time->setTitleText(QStringLiteral("Time (s)"));
    m_values = new QValueAxis;
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_values, Qt::AlignLeft);
    for (std::size_t index : m_entries) {
        const SignalMonitor::Entry &entry = m_monitor.entries()[index];
        auto *series = new QLineSeries;
        QString name = QString::fromStdString(entry.signal->name);
        if (!entry.signal->unit.empty())
            name += QStringLiteral(" (%1)").arg(QString::fromStdString(entry.signal->unit));
        series->setName(name);
        m_chart->addSeries(series);
        series->attachAxis(m_time);
        series->attachAxis(m_values);
        m_series.push_back(series);
    }
    m_view = new SignalChartView(m_chart, this);
    connect(m_view, &SignalChartView::userMoved, this, [this] { m_following = false; });

    auto *fitButton = new QPushButton(QStringLiteral("&Fit"), this);
    fitButton->setToolTip(QStringLiteral("Show every value and follow new ones"));
    connect(fitButton, &QPushButton::clicked, this, [this] {
        m_following = true;
        m_chart->zoomReset();
        fit();
    });
    auto *help = new QLabel(QStringLiteral("Drag a rectangle or turn the wheel to zoom, drag with "
                                           "the right button or use the arrow keys to pan."),
                            this);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(help, 1);
    bottom->addWidget(fitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshMs);
    connect(m_timer, &QTimer::timeout, this, &SignalPlot::refresh);
    m_timer->start();
    refresh();
}

void SignalPlot::refresh()
{
    const auto &entries = m_monitor.entries();
    if (m_monitor.generation() != m_generation) {
        // Cleared or a log opened: time starts again.
        m_generation = m_monitor.generation();
        m_hasOrigin = false;
    }
    if (!m_hasOrigin) {
        std::int64_t first = std::numeric_limits<std::int64_t>::max();
        for (std::size_t index : m_entries) {
            if (index < entries.size() && !entries[index].history.empty())
                first = std::min(first, entries[index].history.front().timeUs);
        }
        if (first != std::numeric_limits<std::int64_t>::max()) {
            m_originUs = first;
            m_hasOrigin = true;
        }
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        QList<QPointF> points;
        if (m_entries[i] < entries.size()) {
            const auto &history = entries[m_entries[i]].history;
            const std::size_t step = std::max<std::size_t>(1, history.size() / DrawnPoints);
            points.reserve(static_cast<qsizetype>(history.size() / step + 1));
            for (std::size_t k = 0; k < history.size(); k += step)
                points.append(QPointF(static_cast<double>(history[k].timeUs - m_originUs) / 1e6,
                                      history[k].value));
            // The latest value is always drawn, whatever the thinning skipped.
            if (!history.empty() && (history.size() - 1) % step != 0)
                points.append(QPointF(static_cast<double>(history.back().timeUs - m_originUs) / 1e6,
                                      history.back().value));
        }
        m_series[i]->replace(points);
    }
    if (m_following)
        fit();
}

void SignalPlot::fit()
{
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
    bool any = false;
    for (QLineSeries *series : m_series) {
        const QList<QPointF> points = series->points();
        for (const QPointF &p : points) {
            if (!any) {
                minX = maxX = p.x();
                minY = maxY = p.y();
                any = true;
            }
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
    }
    if (maxX <= minX)
        maxX = minX + 1;
    if (maxY <= minY) {
        minY -= 1;
        maxY += 1;
    }
    const double margin = (maxY - minY) * 0.05;
    m_time->setRange(minX, maxX);
    m_values->setRange(minY - margin, maxY + margin);
}
