#include "dbc/SignalTableModel.h"

#include "dbc/SignalMonitor.h"

#include <algorithm>

namespace {

const char *const Headers[SignalTableModel::ColumnCount] = {
    "Message", "Signal", "Value", "Unit", "Description", "Updates", "Since last (s)"};

} // namespace

SignalTableModel::SignalTableModel(const SignalMonitor &monitor, std::function<std::int64_t()> now,
                                   QObject *parent)
    : QAbstractTableModel(parent), m_monitor(monitor), m_now(std::move(now))
{
    refresh();
}

void SignalTableModel::refresh()
{
    m_nowUs = std::max(m_monitor.latestTimeUs(), m_now ? m_now() : 0);
    const int rows = static_cast<int>(m_monitor.entries().size());
    if (m_monitor.generation() != m_generation || rows != m_rows) {
        beginResetModel();
        m_generation = m_monitor.generation();
        m_rows = rows;
        endResetModel();
        return;
    }
    if (rows > 0)
        emit dataChanged(index(0, ValueColumn), index(rows - 1, AgeColumn),
                         {Qt::DisplayRole, Qt::UserRole});
}

int SignalTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int SignalTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SignalTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows
        || static_cast<std::size_t>(index.row()) >= m_monitor.entries().size()
        || (role != Qt::DisplayRole && role != Qt::UserRole && role != Qt::TextAlignmentRole))
        return {};
    const SignalMonitor::Entry &entry = m_monitor.entries()[static_cast<std::size_t>(index.row())];
    const bool seen = entry.count > 0;
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == ValueColumn || column == UpdatesColumn || column == AgeColumn;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    const bool sorting = role == Qt::UserRole;
    switch (column) {
    case MessageColumn:
        return QString::fromStdString(entry.message->name);
    case SignalColumn:
        return QString::fromStdString(entry.signal->name);
    case ValueColumn:
        if (!seen)
            return sorting ? QVariant(-1e300) : QVariant(QString());
        return sorting ? QVariant(entry.latest.value)
                       : QVariant(QString::fromStdString(
                           formatSignalValue(*entry.signal, entry.latest.value)));
    case UnitColumn:
        return QString::fromStdString(entry.signal->unit);
    case DescriptionColumn:
        return seen ? QString::fromStdString(signalDescription(entry.latest)) : QString();
    case UpdatesColumn:
        return sorting ? QVariant(qulonglong(entry.count)) : QVariant(QString::number(entry.count));
    case AgeColumn: {
        if (!seen)
            return sorting ? QVariant(1e300) : QVariant(QString());
        const double seconds =
            static_cast<double>(std::max<std::int64_t>(0, m_nowUs - entry.lastTimeUs)) / 1e6;
        return sorting ? QVariant(seconds) : QVariant(QString::number(seconds, 'f', 1));
    }
    default:
        return {};
    }
}

QVariant SignalTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < ColumnCount)
        return QString::fromLatin1(Headers[section]);
    return {};
}
