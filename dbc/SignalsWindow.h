#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class SignalMonitor;
class SignalTableModel;

// The Function menu's "Signals" window: every signal of the database with
// its latest value, filterable by text; "Plot" shows the selected ones over
// time. It refreshes itself while it is shown.
class SignalsWindow : public QDialog {
    Q_OBJECT

public:
    // now: the bus time in microseconds, for the time since each update.
    SignalsWindow(const SignalMonitor &monitor, std::function<std::int64_t()> now,
                  QWidget *parent = nullptr);

    // The database's file name in the title; empty when none is loaded.
    void setDatabaseName(const QString &fileName);
    void refresh();
    // Opens a plot of the selected signals; false when none is selected.
    bool plotSelected();

    QLineEdit *filterField() const { return m_filter; }
    QTableView *table() const { return m_table; }
    QPushButton *plotButton() const { return m_plot; }
    SignalTableModel *model() const { return m_model; }
    QSortFilterProxyModel *shownRows() const { return m_proxy; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    const SignalMonitor &m_monitor;
    SignalTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_plot = nullptr;
    QTimer *m_timer = nullptr;
};
