#include "statistics/StatisticsDialog.h"

#include "capture/CanFrame.h"
#include "capture/FrameStore.h"
#include "dbc/DbcDatabase.h"
#include "display/RowLayout.h"
#include "statistics/BusLoadPlot.h"
#include "statistics/BusStatistics.h"
#include "statistics/StatisticsTableModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr std::int64_t PlotStepUs = 100'000;

// Cells of one line of plain text, drawn directly: the general delegate lays
// every text out for wrapping and eliding, which costs most of a refresh.
class PlainCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString &text = item.text;
        const bool selected = (item.state & QStyle::State_Selected) != 0;
        if (selected)
            painter->fillRect(item.rect, item.palette.brush(QPalette::Highlight));
        else if (item.features & QStyleOptionViewItem::Alternate)
            painter->fillRect(item.rect, item.palette.brush(QPalette::AlternateBase));
        const QRect area = item.rect.adjusted(4, 0, -4, 0);
        painter->save();
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QString shown = item.fontMetrics.horizontalAdvance(text) > area.width()
            ? item.fontMetrics.elidedText(text, Qt::ElideRight, area.width())
            : text;
        painter->drawText(area, static_cast<int>(item.displayAlignment), shown);
        painter->restore();
    }
};

// Counts with thousands separators, as in "50,000".
QString count(std::uint64_t n)
{
    return QLocale(QLocale::English).toString(qulonglong{n});
}

QString percentText(std::optional<double> percent)
{
    return percent ? QStringLiteral("%1%").arg(*percent, 0, 'f', 1) : QStringLiteral("?");
}

} // namespace

StatisticsDialog::StatisticsDialog(const BusStatistics &statistics, QWidget *parent)
    : QDialog(parent), m_statistics(statistics)
{
    setWindowTitle(QStringLiteral("Statistics"));
    setSizeGripEnabled(true);

    m_summary = new QLabel(this);
    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->setVisible(false);

    // A log does not tell the rate of the bus it was recorded on.
    m_logBitrate = new QComboBox(this);
    for (const std::uint32_t rate : logBitrates())
        m_logBitrate->addItem(QStringLiteral("%1 kbit/s").arg(rate / 1000.0), rate);
    const int chosen = m_logBitrate->findData(statistics.logBitrate());
    if (chosen >= 0) {
        m_logBitrate->setCurrentIndex(chosen);
    } else if (statistics.logBitrate() != 0) {
        m_logBitrate->addItem(QStringLiteral("%1 kbit/s").arg(statistics.logBitrate() / 1000.0),
                              statistics.logBitrate());
        m_logBitrate->setCurrentIndex(m_logBitrate->count() - 1);
    }
    connect(m_logBitrate, &QComboBox::currentIndexChanged, this,
            [this] { emit logBitrateChosen(m_logBitrate->currentData().toUInt()); });
    auto *logLine = new QHBoxLayout;
    auto *logLabel = new QLabel(QStringLiteral("Bit rate of opened &logs:"), this);
    logLabel->setBuddy(m_logBitrate);
    logLine->addWidget(logLabel);
    logLine->addWidget(m_logBitrate);
    logLine->addStretch(1);

    m_model = new StatisticsTableModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(Qt::UserRole);
    m_table = new QTableView(this);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(StatisticsTableModel::IdColumn, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setItemDelegate(new PlainCellDelegate(m_table));
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int digit = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    static const int widths[StatisticsTableModel::ColumnCount] = {11, 10, 9,  9,  9,  5,  24,
                                                                  10, 10, 10, 10, 10, 11, 13};
    int tableWidth = 0;
    for (int column = 0; column < StatisticsTableModel::ColumnCount; ++column) {
        m_table->setColumnWidth(column, widths[column] * digit + 12);
        tableWidth += m_table->columnWidth(column);
    }

    m_plot = new BusLoadPlot(this);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    split->addWidget(m_plot);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addLayout(logLine);
    layout->addWidget(m_note);
    layout->addWidget(split, 1);
    // Wide enough for every column.
    resize(tableWidth + 2 * m_table->frameWidth() + m_table->verticalScrollBar()->sizeHint().width()
               + layout->contentsMargins().left() + layout->contentsMargins().right(),
           640);
    refresh();
}

void StatisticsDialog::setDatabase(std::function<std::shared_ptr<const DbcDatabase>()> database)
{
    m_database = std::move(database);
    m_model->setExpectedCycles([this](std::uint8_t kind, std::uint32_t id) {
        const auto database = m_database ? m_database() : nullptr;
        // Only data frames keep a message's cycle.
        const DbcMessage *message = database && (kind & FrameType::Remote) == 0
            ? database->find(id, (kind & FrameType::Extended) != 0)
            : nullptr;
        return message ? message->cycleTimeMs : std::nullopt;
    });
    refresh();
}

void StatisticsDialog::refresh()
{
    m_model->refresh(m_statistics);
    m_plot->setSamples(m_statistics.loadHistory(BusLoadPlot::SpanUs, PlotStepUs));
    m_summary->setText(summaryText());
    const QString note = noteText();
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
}

QString StatisticsDialog::summaryText() const
{
    QString text = QStringLiteral("Frames: %1    Identifiers: %2    ")
                       .arg(count(m_statistics.frameCount()))
                       .arg(count(m_statistics.rows().size()));
    if (m_lostCount)
        text += QStringLiteral("Lost: %1    ").arg(count(m_lostCount()));
    if (m_statistics.bitrate() == 0)
        return text + QStringLiteral("Bus load: ? (bit rate unknown)");
    text += QStringLiteral("Bus load at %1 kbit/s%2: %3 in the last second")
                .arg(m_statistics.bitrate() / 1000.0)
                .arg(m_statistics.ofLog() ? QStringLiteral(" (chosen for logs)") : QString())
                .arg(percentText(m_statistics.loadPercent()));
    if (const auto mean = m_statistics.meanLoadPercent())
        text += QStringLiteral(", %1 on average over %2 s")
                    .arg(percentText(mean))
                    .arg(static_cast<double>(m_statistics.measuredTime()) / 1e6, 0, 'f', 1);
    return text;
}

const std::vector<std::uint32_t> &StatisticsDialog::logBitrates()
{
    static const std::vector<std::uint32_t> rates = {10'000,  20'000,  50'000,  100'000,  125'000,
                                                     250'000, 500'000, 800'000, 1'000'000};
    return rates;
}

QString StatisticsDialog::noteText() const
{
    QStringList notes;
    if (m_captureFull && m_captureFull())
        notes << QStringLiteral("The capture is full at %1 frames; the statistics go on counting.")
                     .arg(count(CVEXODoc::CaptureLimit));
    if (m_statistics.unlistedFrameCount() > 0)
        notes << QStringLiteral("%1 frames of identifiers beyond the first %2 are counted in the "
                                "totals and the bus load only.")
                     .arg(count(m_statistics.unlistedFrameCount()))
                     .arg(count(BusStatistics::MaxRows));
    if (const auto database = m_database ? m_database() : nullptr) {
        QStringList unseen;
        for (const DbcMessage &message : database->messages) {
            if (!message.cycleTimeMs)
                continue;
            const std::uint8_t kind = message.extended ? FrameType::Extended : 0;
            const bool seen = std::any_of(m_statistics.rows().begin(), m_statistics.rows().end(),
                                          [&](const BusStatistics::Row &row) {
                                              return row.kind == kind && row.id == message.id;
                                          });
            if (!seen)
                unseen << QStringLiteral("%1 (%2)").arg(
                    QString::fromStdString(message.name),
                    QString::fromStdString(RowLayout::identifierText(kind, message.id)));
        }
        if (!unseen.isEmpty() && m_statistics.frameCount() > 0)
            notes << QStringLiteral("Missing: %1 %2 a cycle in the database but no frame yet.")
                         .arg(unseen.join(QStringLiteral(", ")),
                              unseen.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"));
    }
    return notes.join(QLatin1Char('\n'));
}
