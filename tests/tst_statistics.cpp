// The Statistics window and the bus load beside the bit rate, in the main
// window: on a recording library for what the user sees, and on the real
// library's virtual buses for the load they carry.

#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "controls/IconButton.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "logfile/LogFileCommands.h"
#include "statistics/BusLoadPlot.h"
#include "statistics/BusStatistics.h"
#include "statistics/StatisticsDialog.h"
#include "statistics/StatisticsTableModel.h"

#include "AdapterIndex.h"
#include "FrameBuilders.h"
#include "MainWindowHarness.h"

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

CAN_Frame at(CAN_Frame frame, std::int64_t timeUs)
{
    frame.timestampHigh = static_cast<std::uint32_t>(timeUs / 1'000'000);
    frame.timestampLow = static_cast<std::uint32_t>(timeUs % 1'000'000);
    return frame;
}

QAction *statisticsCommand(CMainFrame &frame)
{
    QMenu *function = frame.menuBar()->actions().at(1)->menu();
    emit function->aboutToShow();
    for (QAction *item : function->actions()) {
        if (item->text() == QStringLiteral("Statistics"))
            return item;
    }
    return nullptr;
}

struct Harness : RecordingLibraryWindow {
    Harness()
    {
        library.adapters.push_back({"Vexo USB-CAN", "123", "VX1000000"});
        openMainWindow();
    }

    void receive(const std::vector<CAN_Frame> &frames)
    {
        for (const CAN_Frame &f : frames)
            library.queueFrame(f);
        deliver();
    }

    StatisticsDialog *open()
    {
        statisticsCommand(*frame)->trigger();
        return frame->statisticsDialog();
    }

    QString cell(int row, int column) const
    {
        const QAbstractItemModel *model = frame->statisticsDialog()->table()->model();
        return model->index(row, column).data().toString();
    }
};

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneWindowFromTheFunctionMenu()
    {
        Harness h;
        QVERIFY(statisticsCommand(*h.frame)->isEnabled());
        StatisticsDialog *window = h.open();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Statistics"));
        window->close();
        QVERIFY(h.open() == window);
        QVERIFY(window->isVisible());

        connectTo(*h.frame, 0);
        QVERIFY(statisticsCommand(*h.frame)->isEnabled());
        h.frame->close();
        QVERIFY(!window->isVisible());
    }

    void tableShowsEachIdentifierAndKind_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("identifier") << int(StatisticsTableModel::IdColumn) << "0123";
        QTest::newRow("received") << int(StatisticsTableModel::RxColumn) << "3";
        QTest::newRow("transmitted") << int(StatisticsTableModel::TxColumn) << "1";
        QTest::newRow("latest data") << int(StatisticsTableModel::DataColumn) << "11 22";
        QTest::newRow("latest cycle") << int(StatisticsTableModel::CycleColumn) << "10.500";
        QTest::newRow("mean cycle") << int(StatisticsTableModel::MeanColumn) << "10.000";
        QTest::newRow("jitter") << int(StatisticsTableModel::JitterColumn) << "0.408";
        // 4 frames of 65 bits (52 up to the end of the CRC, two of them stuff
        // bits, counted by hand) over 30 ms at 500 kbit/s: 260 of 15,000 bits.
        QTest::newRow("bus share") << int(StatisticsTableModel::ShareColumn) << "1.73";
    }
    void tableShowsEachIdentifierAndKind()
    {
        Harness h;
        connectTo(*h.frame, 0);
        const CAN_Frame received = frameOf(0x04, 0x123, 2, {0x11, 0x22});
        CAN_Frame sent = received;
        sent.type = 0x14;
        h.receive({at(received, 0), at(received, 10'000), at(sent, 19'500), at(received, 30'000)});
        h.open();
        QFETCH(int, column);
        QFETCH(QString, text);
        QCOMPARE(h.frame->statisticsDialog()->table()->model()->rowCount(), 1);
        QCOMPARE(h.cell(0, column), text);
    }

    void sortsByAnyColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QStringList>("identifiers");
        QTest::newRow("identifier") << int(StatisticsTableModel::IdColumn) << Qt::AscendingOrder
                                    << QStringList{"0100", "0200", "18FEF100"};
        QTest::newRow("busiest first")
            << int(StatisticsTableModel::CountColumn) << Qt::DescendingOrder
            << QStringList{"0200", "18FEF100", "0100"};
        QTest::newRow("fastest first, unmeasured before")
            << int(StatisticsTableModel::MeanColumn) << Qt::AscendingOrder
            << QStringList{"0100", "0200", "18FEF100"};
    }
    void sortsByAnyColumn()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QStringList, identifiers);
        Harness h;
        // 0x100 once, 0x200 every 10 ms, 0x18FEF100 every 50 ms.
        std::vector<CAN_Frame> frames{at(frameOf(0x04, 0x100, 0), 0)};
        for (int t = 0; t <= 100'000; t += 10'000) {
            frames.push_back(at(frameOf(0x04, 0x200, 8), t));
            if (t % 50'000 == 0)
                frames.push_back(at(frameOf(0x06, 0x18FEF100, 8), t));
        }
        h.receive(frames);
        StatisticsDialog *window = h.open();
        window->table()->sortByColumn(column, order);
        QStringList shown;
        for (int row = 0; row < 3; ++row)
            shown << h.cell(row, StatisticsTableModel::IdColumn);
        QCOMPARE(shown, identifiers);
    }

    void clearStartsAfreshAndCountingOutlastsTheCapture()
    {
        Harness h;
        QTRY_VERIFY(h.doc.controlBar() != nullptr);
        CAN_Frame filler = frameOf(0x04, 0x7FF, 0);
        for (std::uint32_t i = 0; i < CVEXODoc::CaptureLimit; ++i)
            h.doc.AddFrame({}, nullptr, filler, CVEXODoc::StoreOnly);
        h.receive({frameOf(0x04, 0x321, 0), frameOf(0x04, 0x321, 0)});
        QCOMPARE(h.doc.frameCount(), CVEXODoc::CaptureLimit);
        StatisticsDialog *window = h.open();
        QCOMPARE(h.cell(0, StatisticsTableModel::CountColumn), QStringLiteral("2"));
        QVERIFY(window->noteText().contains(QStringLiteral("The capture is full")));

        h.frame->controlBar()->clearButton()->click();
        QCOMPARE(window->table()->model()->rowCount(), 0);
        QCOMPARE(h.frame->statistics().frameCount(), std::uint64_t{0});
        QVERIFY(window->noteText().isEmpty());
    }

    void loadedLogFeedsTheStatistics()
    {
        Harness h;
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bus.dcu"));
        h.receive({at(frameOf(0x04, 0x2F0, 4), 0), at(frameOf(0x04, 0x2F0, 4), 50'000),
                   at(frameOf(0x04, 0x2F0, 4), 100'000)});
        QVERIFY(h.frame->logFiles().SaveLogFile(path));
        h.frame->controlBar()->clearButton()->click();
        QCOMPARE(h.frame->statistics().frameCount(), std::uint64_t{0});

        QVERIFY(h.frame->logFiles().OpenLogFile(path));
        h.open();
        QCOMPARE(h.cell(0, StatisticsTableModel::CountColumn), QStringLiteral("3"));
        QCOMPARE(h.cell(0, StatisticsTableModel::MeanColumn), QStringLiteral("50.000"));
    }

    // A log does not tell its bit rate: the window offers one, used for every
    // log opened, at once for the one shown, and remembered for the next run.
    void bitRateChosenForLogs()
    {
        QSettings().remove(QStringLiteral("Statistics/LogBitRate"));
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bus.dcu"));
        {
            Harness h;
            h.receive({at(frameOf(0x04, 0x000, 0), 0), at(frameOf(0x04, 0x000, 0), 1'000'000)});
            QVERIFY(h.frame->logFiles().SaveLogFile(path));
            QVERIFY(h.frame->logFiles().OpenLogFile(path));
            StatisticsDialog *window = h.open();
            QVERIFY(window->summaryText().contains(
                QStringLiteral("Bus load at 500 kbit/s (chosen for logs): ")));
            window->logBitrateBox()->setCurrentIndex(window->logBitrateBox()->findData(250'000U));
            QCOMPARE(h.frame->statistics().bitrate(), 250'000U);
            QVERIFY(window->summaryText().contains(QStringLiteral("at 250 kbit/s")));
        }
        Harness h;
        QCOMPARE(h.frame->statistics().logBitrate(), 250'000U);
        QCOMPARE(h.open()->logBitrateBox()->currentData().toUInt(), 250'000U);
        QVERIFY(h.frame->logFiles().OpenLogFile(path));
        QCOMPARE(h.frame->statistics().bitrate(), 250'000U);
    }

    void busLoadBesideTheBitRate_data()
    {
        QTest::addColumn<int>("busKbps");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("connected");
        QTest::newRow("no frames yet") << 500 << 0 << "0.0%";
        // Frames of 53 bits, one a millisecond: 5,300 of 500,000 bits.
        QTest::newRow("100 frames on the wire") << 500 << 100 << "1.1%";
        QTest::newRow("rate unknown") << -1 << 100 << "?";
    }
    void busLoadBesideTheBitRate()
    {
        QFETCH(int, busKbps);
        QFETCH(int, frames);
        QFETCH(QString, connected);
        Harness h;
        h.library.busBitrateKbps = busKbps;
        // Left to right: connection, adapter, bit rate, bus load, fill level,
        // link, frames lost and the recording.
        QList<QLabel *> panes =
            h.frame->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        // "Hold" shows only while the display is held.
        panes.removeIf([](QLabel *pane) { return pane->isHidden(); });
        std::sort(panes.begin(), panes.end(), [](QLabel *a, QLabel *b) { return a->x() < b->x(); });
        QCOMPARE(panes.size(), 7);
        QCOMPARE(panes[3]->text(), QStringLiteral("-"));

        connectTo(*h.frame, 0);
        std::vector<CAN_Frame> wire;
        for (int i = 1; i <= frames; ++i)
            wire.push_back(at(frameOf(0x04, 0x000, 0), 4'000'000 + i * 1000));
        h.receive(wire);
        h.frame->refreshStatistics();
        QCOMPARE(panes[2]->text(), busKbps > 0 ? QStringLiteral("500Kbps") : QStringLiteral("?"));
        QCOMPARE(panes[3]->text(), connected);
        h.frame->controlBar()->disconnectButton()->click();
        QCOMPARE(panes[3]->text(), QStringLiteral("-"));
    }

    void plotRisesWithTheLoad()
    {
        BusLoadPlot plot;
        plot.resize(400, 200);
        // From 0 % a minute ago to 100 % now.
        plot.setSamples({{60'000'000, 0.0}, {0, 100.0}});
        const QImage image = plot.grab().toImage();
        const QRect area = plot.plotArea();
        const auto lineNear = [&](QPoint p) {
            for (int dy = -3; dy <= 3; ++dy) {
                const QColor c = image.pixelColor(p + QPoint(0, dy));
                if (c.blue() > 150 && c.red() < 100)
                    return true;
            }
            return false;
        };
        // A quarter of the way along the line is a quarter of the way up.
        const int x = area.left() + area.width() / 4;
        QVERIFY(lineNear({x, area.bottom() - area.height() / 4}));
        QVERIFY(!lineNear({x, area.top() + area.height() / 4}));
    }

    void loadOfTheVirtualBuses_data()
    {
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("saturated") << VirtualAdapters::SaturatedId << 97.0 << 100.5;
        QTest::newRow("quiet") << VirtualAdapters::QuietId << 0.0 << 0.0;
    }
    void loadOfTheVirtualBuses()
    {
        QFETCH(QString, adapter);
        QFETCH(double, low);
        QFETCH(double, high);
        RealLibraryWindow program;
        std::unique_ptr<CMainFrame> &frame = program.frame;
        connectTo(*frame, indexOf(*program.library, adapter.toStdString()));
        QVERIFY(frame->IsConnected());
        BusStatistics &statistics = frame->statistics();
        QCOMPARE(statistics.bitrate(), 500'000U);
        if (adapter == QLatin1String(VirtualAdapters::SaturatedId)) {
            // More than a second of bus time seen.
            QTRY_VERIFY_WITH_TIMEOUT(statistics.measuredTime() > 1'500'000, 20000);
        } else {
            QTest::qWait(500);
            QCOMPARE(statistics.frameCount(), std::uint64_t{0});
        }
        frame->refreshStatistics();
        const double load = statistics.loadPercent().value_or(-1.0);
        QVERIFY2(load >= low && load <= high, qPrintable(QString::number(load)));
        frame->close();
    }
};

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
