#include "statistics/StatisticsTableModel.h"

#include "capture/CanPacket.h"
#include "dbc/ExpectedCycle.h"
#include "display/RowLayout.h"

#include <QBrush>

namespace {

const char *const Headers[StatisticsTableModel::ColumnCount] = {
    "Kind",     "ID",          "Count",         "Rx",           "Tx",
    "DLC",      "Data",        "Cycle (ms)",    "Mean (ms)",    "Min (ms)",
    "Max (ms)", "Jitter (ms)", "Bus share (%)", "DB cycle (ms)"};

QString milliseconds(double us)
{
    return QString::number(us / 1000.0, 'f', 3);
}

} // namespace

StatisticsTableModel::StatisticsTableModel(QObject *parent) : QAbstractTableModel(parent) { }

void StatisticsTableModel::refresh(const BusStatistics &statistics)
{
    const std::vector<BusStatistics::Row> &rows = statistics.rows();
    m_nowUs = statistics.now();
    std::vector<double> shares(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        shares[i] = statistics.sharePercent(rows[i]).value_or(-1.0);
    if (statistics.generation() != m_generation || rows.size() < m_rows.size()) {
        beginResetModel();
        m_generation = statistics.generation();
        m_rows = rows;
        m_shares = std::move(shares);
        endResetModel();
        return;
    }
    const std::size_t known = m_rows.size();
    std::copy(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(known), m_rows.begin());
    m_shares.swap(shares);
    if (known > 0)
        emit dataChanged(index(0, 0), index(static_cast<int>(known) - 1, ColumnCount - 1),
                         {Qt::DisplayRole, Qt::UserRole});
    if (rows.size() > known) {
        beginInsertRows({}, static_cast<int>(known), static_cast<int>(rows.size()) - 1);
        m_rows.insert(m_rows.end(), rows.begin() + static_cast<std::ptrdiff_t>(known), rows.end());
        endInsertRows();
    }
}

int StatisticsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int StatisticsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString StatisticsTableModel::text(std::size_t i, int column) const
{
    const BusStatistics::Row &row = m_rows[i];
    const BusStatistics::CycleTime &cycle = row.cycle;
    const bool cycles = cycle.intervals > 0;
    switch (column) {
    case KindColumn:
        return QString::fromLatin1(frameKindLabel(row.kind));
    case IdColumn:
        return QString::fromStdString(RowLayout::identifierText(row.kind, row.id));
    case CountColumn:
        return QString::number(row.count);
    case RxColumn:
        return QString::number(row.rxCount());
    case TxColumn:
        return QString::number(row.txCount);
    case DlcColumn:
        return QString::number(row.dlc);
    case DataColumn:
        return QString::fromStdString(formatDataText(row.data, storedByteCount(row.type, row.dlc)));
    case CycleColumn:
        return cycles ? milliseconds(static_cast<double>(cycle.last)) : QString();
    case MeanColumn:
        return cycles ? milliseconds(cycle.mean()) : QString();
    case MinColumn:
        return cycles ? milliseconds(static_cast<double>(cycle.min)) : QString();
    case MaxColumn:
        return cycles ? milliseconds(static_cast<double>(cycle.max)) : QString();
    case JitterColumn:
        return cycles ? milliseconds(cycle.jitter()) : QString();
    case ShareColumn:
        return m_shares[i] >= 0 ? QString::number(m_shares[i], 'f', 2) : QString();
    case ExpectedCycleColumn: {
        const auto expected = expectedCycle(row);
        return QString::fromStdString(
            cycleStateText(expected, static_cast<CycleState>(cycleStateOf(row, expected))));
    }
    default:
        return {};
    }
}

std::optional<std::uint32_t>
StatisticsTableModel::expectedCycle(const BusStatistics::Row &row) const
{
    return m_expected ? m_expected(row.kind, row.id) : std::nullopt;
}

int StatisticsTableModel::cycleStateOf(const BusStatistics::Row &row,
                                       std::optional<std::uint32_t> expected) const
{
    return static_cast<int>(
        cycleState(expected, row.cycle.intervals > 0 ? row.cycle.last : 0, m_nowUs - row.lastTime));
}

QVariant StatisticsTableModel::sortValue(std::size_t i, int column) const
{
    const BusStatistics::Row &row = m_rows[i];
    const BusStatistics::CycleTime &cycle = row.cycle;
    // Rows without intervals sort before every measured one.
    const auto cycleValue = [&](double us) { return cycle.intervals > 0 ? us : -1.0; };
    switch (column) {
    case KindColumn:
        return (qulonglong{row.kind} << 32) | row.id;
    case IdColumn:
        return (qulonglong{row.id} << 2) | row.kind;
    case CountColumn:
        return qulonglong{row.count};
    case RxColumn:
        return qulonglong{row.rxCount()};
    case TxColumn:
        return qulonglong{row.txCount};
    case DlcColumn:
        return uint{row.dlc};
    case DataColumn:
        return text(i, column);
    case CycleColumn:
        return cycleValue(static_cast<double>(cycle.last));
    case MeanColumn:
        return cycleValue(cycle.mean());
    case MinColumn:
        return cycleValue(static_cast<double>(cycle.min));
    case MaxColumn:
        return cycleValue(static_cast<double>(cycle.max));
    case JitterColumn:
        return cycleValue(cycle.jitter());
    case ShareColumn:
        return m_shares[i];
    case ExpectedCycleColumn:
        return cycleStateOf(row, expectedCycle(row)) * 1e10 + expectedCycle(row).value_or(0);
    default:
        return {};
    }
}

QVariant StatisticsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::UserRole:
        return sortValue(row, index.column());
    case Qt::ForegroundRole:
        if (index.column() == ExpectedCycleColumn) {
            const BusStatistics::Row &r = m_rows[row];
            const int state = cycleStateOf(r, expectedCycle(r));
            if (state == int(CycleState::Late) || state == int(CycleState::Missing))
                return QBrush(Qt::red);
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == KindColumn || index.column() == IdColumn
            || index.column() == DataColumn)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(Headers[section]);
}
