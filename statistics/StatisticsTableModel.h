#pragma once

#include "statistics/BusStatistics.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The rows of the bus statistics as a table, one row per identifier and kind,
// in order of first appearance. It shows the figures of its latest refresh;
// Qt::UserRole gives each cell's value for sorting.
class StatisticsTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        KindColumn,
        IdColumn,
        CountColumn,
        RxColumn,
        TxColumn,
        DlcColumn,
        DataColumn,
        CycleColumn,
        MeanColumn,
        MinColumn,
        MaxColumn,
        JitterColumn,
        ShareColumn,
        ExpectedCycleColumn, // the database's cycle, marked when late or missing
        ColumnCount
    };

    // The cycle in milliseconds a database gives a frame kind and identifier.
    using ExpectedCycles =
        std::function<std::optional<std::uint32_t>(std::uint8_t kind, std::uint32_t id)>;

    explicit StatisticsTableModel(QObject *parent = nullptr);

    void setExpectedCycles(ExpectedCycles cycles) { m_expected = std::move(cycles); }

    // Takes the current figures: known rows change in place, new ones are
    // appended, and rows that started afresh replace the old ones.
    void refresh(const BusStatistics &statistics);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString text(std::size_t row, int column) const;
    QVariant sortValue(std::size_t row, int column) const;
    std::optional<std::uint32_t> expectedCycle(const BusStatistics::Row &row) const;
    int cycleStateOf(const BusStatistics::Row &row, std::optional<std::uint32_t> expected) const;

    std::vector<BusStatistics::Row> m_rows;
    std::vector<double> m_shares; // percent; negative when unknown
    std::uint64_t m_generation = 0;
    ExpectedCycles m_expected;
    std::int64_t m_nowUs = 0;
};
