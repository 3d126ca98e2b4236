#include "dbc/SignalsWindow.h"

#include "dbc/SignalMonitor.h"
#include "dbc/SignalPlot.h"
#include "dbc/SignalTableModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int RefreshMs = 250;

} // namespace

SignalsWindow::SignalsWindow(const SignalMonitor &monitor, std::function<std::int64_t()> now,
                             QWidget *parent)
    : QDialog(parent), m_monitor(monitor)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setDatabaseName({});
    resize(860, 520);

    m_model = new SignalTableModel(monitor, std::move(now), this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(Qt::UserRole);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setFilterKeyColumn(-1);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("Message, signal, unit or description"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);

    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(SignalTableModel::MessageColumn, 190);
    m_table->setColumnWidth(SignalTableModel::SignalColumn, 180);
    m_table->setColumnWidth(SignalTableModel::ValueColumn, 100);
    m_table->setColumnWidth(SignalTableModel::UnitColumn, 60);
    m_table->setColumnWidth(SignalTableModel::DescriptionColumn, 110);
    m_table->setColumnWidth(SignalTableModel::UpdatesColumn, 80);

    m_plot = new QPushButton(QStringLiteral("&Plot"), this);
    m_plot->setToolTip(QStringLiteral("Show the selected signals over time"));
    m_plot->setEnabled(false);
    m_plot->setAutoDefault(false);
    connect(m_plot, &QPushButton::clicked, this, &SignalsWindow::plotSelected);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_plot->setEnabled(m_table->selectionModel()->hasSelection()); });

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("&Filter:"), this));
    static_cast<QLabel *>(top->itemAt(0)->widget())->setBuddy(m_filter);
    top->addWidget(m_filter, 1);
    top->addWidget(m_plot);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshMs);
    connect(m_timer, &QTimer::timeout, this, &SignalsWindow::refresh);
}

void SignalsWindow::setDatabaseName(const QString &fileName)
{
    // Plots show the signals of the database they were opened with.
    for (SignalPlot *plot : findChildren<SignalPlot *>())
        plot->close();
    setWindowTitle(fileName.isEmpty()
                       ? QStringLiteral("Signals (no database: File, Open Database...)")
                       : QStringLiteral("Signals - %1").arg(fileName));
}

void SignalsWindow::refresh()
{
    m_model->refresh();
}

bool SignalsWindow::plotSelected()
{
    std::vector<std::size_t> entries;
    for (const QModelIndex &row : m_table->selectionModel()->selectedRows())
        entries.push_back(static_cast<std::size_t>(m_proxy->mapToSource(row).row()));
    if (entries.empty())
        return false;
    std::sort(entries.begin(), entries.end());
    auto *plot = new SignalPlot(m_monitor, std::move(entries), this);
    plot->show();
    return true;
}

void SignalsWindow::showEvent(QShowEvent *event)
{
    refresh();
    m_timer->start();
    QDialog::showEvent(event);
}

void SignalsWindow::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    QDialog::hideEvent(event);
}
