#include "statistics/BusLoadPlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int LeftMargin = 44;
constexpr int RightMargin = 12;
constexpr int TopMargin = 10;
constexpr int BottomMargin = 22;
constexpr int SecondsPerTick = 10;

} // namespace

BusLoadPlot::BusLoadPlot(QWidget *parent) : QWidget(parent)
{
    setMinimumHeight(160);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void BusLoadPlot::setSamples(std::vector<BusStatistics::LoadSample> samples)
{
    m_samples = std::move(samples);
    update();
}

QRect BusLoadPlot::plotArea() const
{
    return rect().adjusted(LeftMargin, TopMargin, -RightMargin, -BottomMargin);
}

QPointF BusLoadPlot::pointFor(const BusStatistics::LoadSample &sample, const QRect &area) const
{
    const double age = std::clamp(static_cast<double>(sample.ageUs) / SpanUs, 0.0, 1.0);
    // Loads above 100 % (time stamps that do not fit the bit rate) stay in view.
    const double load = std::clamp(sample.percent / 100.0, 0.0, 1.0);
    return {area.right() - age * area.width(), area.bottom() - load * area.height()};
}

void BusLoadPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = plotArea();
    if (area.width() <= 0 || area.height() <= 0)
        return;

    painter.save();
    const QColor grid = palette().color(QPalette::Mid);
    painter.setPen(palette().color(QPalette::Text));
    const int textHeight = painter.fontMetrics().height();
    for (int percent = 0; percent <= 100; percent += 25) {
        const int y = area.bottom() - percent * area.height() / 100;
        painter.setPen(QPen(grid, 1, percent == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(0, y - textHeight / 2, LeftMargin - 6, textHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1%").arg(percent));
    }
    const int ticks = static_cast<int>(SpanUs / 1'000'000) / SecondsPerTick;
    for (int tick = 0; tick <= ticks; ++tick) {
        const int x = area.right() - tick * area.width() / ticks;
        painter.setPen(QPen(grid, 1, tick == ticks ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(palette().color(QPalette::Text));
        const QString label =
            tick == 0 ? QStringLiteral("now") : QStringLiteral("-%1 s").arg(tick * SecondsPerTick);
        painter.drawText(QRect(x - 30, area.bottom() + 4, 60, textHeight), Qt::AlignCenter, label);
    }
    painter.restore();

    if (m_samples.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area.adjusted(0, -1, 1, 1));
    QPainterPath line;
    line.moveTo(pointFor(m_samples.front(), area));
    for (const BusStatistics::LoadSample &sample : m_samples)
        line.lineTo(pointFor(sample, area));
    QPainterPath fill = line;
    fill.lineTo(pointFor(m_samples.back(), area).x(), area.bottom());
    fill.lineTo(pointFor(m_samples.front(), area).x(), area.bottom());
    fill.closeSubpath();
    painter.fillPath(fill, QColor(0, 90, 200, 40));
    painter.setPen(QPen(QColor(0, 90, 200), 2));
    painter.drawPath(line);
    painter.restore();
}
