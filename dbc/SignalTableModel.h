#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>

class SignalMonitor;

// Every signal of the database with its latest value, as a table; Qt::UserRole
// gives each cell's value for sorting.
class SignalTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        MessageColumn,
        SignalColumn,
        ValueColumn,
        UnitColumn,
        DescriptionColumn,
        UpdatesColumn,
        AgeColumn,
        ColumnCount
    };

    // now gives the bus time in microseconds against which the time since the
    // last update is measured.
    SignalTableModel(const SignalMonitor &monitor, std::function<std::int64_t()> now,
                     QObject *parent = nullptr);

    // Takes the monitor's current values.
    void refresh();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const SignalMonitor &m_monitor;
    std::function<std::int64_t()> m_now;
    std::int64_t m_nowUs = 0;
    std::uint64_t m_generation = 0;
    int m_rows = 0;
};
