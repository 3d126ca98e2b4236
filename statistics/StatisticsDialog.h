#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class BusLoadPlot;
class BusStatistics;
class DbcDatabase;
class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QTableView;
class StatisticsTableModel;

// The "Statistics" window: who talks on the bus, how often and how full the
// bus is. It shows the figures of its latest refresh; whoever owns the
// statistics refreshes it a few times a second while it is visible.
class StatisticsDialog : public QDialog {
    Q_OBJECT

public:
    StatisticsDialog(const BusStatistics &statistics, QWidget *parent = nullptr);

    // Tells whether the capture has stopped storing frames at its limit.
    void setCaptureFullCheck(std::function<bool()> captureFull)
    {
        m_captureFull = std::move(captureFull);
    }

    // The database whose message cycles the table shows beside the measured
    // ones; a message it gives a cycle that has not been seen is named below.
    void setDatabase(std::function<std::shared_ptr<const DbcDatabase>()> database);

    // Tells how many frames were lost on the way from the bus.
    void setLostCount(std::function<std::uint64_t()> lostCount)
    {
        m_lostCount = std::move(lostCount);
    }

    void refresh();

    // The bit rate an opened log is measured at; the owner keeps the choice.
    QComboBox *logBitrateBox() const { return m_logBitrate; }

    QTableView *table() const { return m_table; }
    StatisticsTableModel *model() const { return m_model; }
    BusLoadPlot *plot() const { return m_plot; }
    QString summaryText() const;
    QString noteText() const;

    // The bit rates offered for logs, in bit/s.
    static const std::vector<std::uint32_t> &logBitrates();

Q_SIGNALS:
    void logBitrateChosen(std::uint32_t bitsPerSecond);

private:
    const BusStatistics &m_statistics;
    std::function<bool()> m_captureFull;
    std::function<std::shared_ptr<const DbcDatabase>()> m_database;
    std::function<std::uint64_t()> m_lostCount;
    QLabel *m_summary = nullptr;
    QLabel *m_note = nullptr;
    QComboBox *m_logBitrate = nullptr;
    StatisticsTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTableView *m_table = nullptr;
    BusLoadPlot *m_plot = nullptr;
};
