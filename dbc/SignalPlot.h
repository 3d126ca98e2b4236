#pragma once

#include <QChartView>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <vector>

class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;
class SignalMonitor;

// A chart that zooms with the wheel or a dragged rectangle and pans with the
// right mouse button or the arrow keys.
class SignalChartView : public QChartView {
    Q_OBJECT

public:
    explicit SignalChartView(QChart *chart, QWidget *parent = nullptr);

Q_SIGNALS:
    // The user moved or zoomed the view: it no longer follows the data.
    void userMoved();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointF m_panFrom;
    bool m_panning = false;
};

// Chosen signals over time, from the time stamps of the frames that carried
// them. It follows new values until the user zooms or pans; "Fit" shows all
// again and follows once more.
class SignalPlot : public QWidget {
    Q_OBJECT

public:
    // entries: indices into the monitor's entries.
    SignalPlot(const SignalMonitor &monitor, std::vector<std::size_t> entries,
               QWidget *parent = nullptr);

    // Takes the monitor's current values into the chart.
    void refresh();
    bool following() const { return m_following; }
    QChart *chart() const { return m_chart; }
    const std::vector<QLineSeries *> &series() const { return m_series; }

private:
    void fit();

    const SignalMonitor &m_monitor;
    std::vector<std::size_t> m_entries;
    std::uint64_t m_generation = 0;
    std::int64_t m_originUs = 0;
    bool m_hasOrigin = false;
    bool m_following = true;
    QChart *m_chart = nullptr;
    SignalChartView *m_view = nullptr;
    QValueAxis *m_time = nullptr;
    QValueAxis *m_values = nullptr;
    std::vector<QLineSeries *> m_series;
    QTimer *m_timer = nullptr;
};
