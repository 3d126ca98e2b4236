#pragma once

#include "statistics/BusStatistics.h"

#include <QWidget>

#include <vector>

// The bus load of the last minute as a line: 0 to 100 % upwards, a minute ago
// at the left and now at the right edge.
class BusLoadPlot : public QWidget {
    Q_OBJECT

public:
    static constexpr std::int64_t SpanUs = 60'000'000;

    explicit BusLoadPlot(QWidget *parent = nullptr);

    void setSamples(std::vector<BusStatistics::LoadSample> samples);
    const std::vector<BusStatistics::LoadSample> &samples() const { return m_samples; }
    // Where the figures are drawn inside the widget.
    QRect plotArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointF pointFor(const BusStatistics::LoadSample &sample, const QRect &area) const;

    std::vector<BusStatistics::LoadSample> m_samples;
};
