#include "capture/CanPacket.h"
#include "dbc/DbcDatabase.h"
#include "dbc/SignalCommands.h"
#include "dbc/SignalMonitor.h"
#include "dbc/SignalPlot.h"
#include "dbc/SignalsWindow.h"
#include "inspect/PacketDialog.h"

#include "FrameBuilders.h"
#include "StoreDoubles.h"

#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Example = VEXO_SOURCE_DIR "/examples/vehicle.dbc";

CAN_Packet packetOf(const CAN_Frame &f)
{
    return CAN_Packet(7, f.type, f.id, f.dlc, f.data, 0, 0, {}, {});
}

} // namespace

class TestSignals : public QObject {
    Q_OBJECT

    QTemporaryDir m_settings;

private Q_SLOTS:
    void initTestCase()
    {
        // The remembered database goes to a private settings folder.
        QCoreApplication::setOrganizationName("Vexo View tests");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    // Open the example, take frames, filter, plot two signals; a second
    // database that fails keeps the first.
    void signalsWindow()
    {
        RecordingMessageReporter messages;
        SignalCommands commands(
            messages, [] { return std::int64_t(3'000'000); }, nullptr);
        QVERIFY(commands.openDatabase(Example));
        QVERIFY(messages.messages.empty());
        QCOMPARE(QSettings().value(SignalCommands::SettingsKey).toString(), Example);
        QVERIFY(!commands.openDatabase(VEXO_SOURCE_DIR "/README.md"));
        QCOMPARE(messages.messages.back().text,
                 std::string("\"README.md\" is not a DBC database."));
        QCOMPARE(commands.databasePath(), Example);

        for (int i = 0; i < 3; ++i) {
            commands.monitor().addFrame(stampedAt(
                frameOf(0x04, 0x0C4, 8, {0x1C, 0xE9, std::uint8_t(40 + i)}), 1, i * 10'000));
        }
        commands.OnSignals();
        SignalsWindow *window = commands.signalsWindow();
        QVERIFY(window->windowTitle().endsWith("vehicle.dbc"));
        const int all = window->shownRows()->rowCount();
        QCOMPARE(std::size_t(all), commands.database()->signalCount());
        const QModelIndex value = window->shownRows()->index(1, 2);
        QCOMPARE(value.data().toString(), QString("42"));
        QCOMPARE(window->shownRows()->index(0, 5).data().toString(), QString("3"));
        QCOMPARE(window->shownRows()->index(0, 6).data().toString(), QString("2.0"));

        window->filterField()->setText("wheelspeed");
        QCOMPARE(window->shownRows()->rowCount(), 4);
        window->filterField()->clear();

        QVERIFY(!window->plotSelected());
        window->table()->selectRow(0);
        window->table()->selectionModel()->select(window->shownRows()->index(1, 0),
                                                  QItemSelectionModel::Select
                                                      | QItemSelectionModel::Rows);
        QVERIFY(window->plotSelected());
        const auto plots = window->findChildren<SignalPlot *>();
        QCOMPARE(plots.size(), 1);
        QCOMPARE(plots.first()->series().size(), std::size_t(2));
        QCOMPARE(plots.first()->series()[1]->count(), 3);
        QCOMPARE(plots.first()->series()[1]->at(2), QPointF(0.02, 42.0));
    }

    // The Detailed Frame View's signal table: values, raw bits, descriptions,
    // signals the DLC does not reach; nothing without a database.
    void frameViewSignals_data()
    {
        QTest::addColumn<int>("dlc");
        QTest::addColumn<QStringList>("pedal"); // the BrakePedal row
        QTest::newRow("whole frame") << 4 << QStringList{"BrakePedal", "1", "0x1", "Pressed"};
        QTest::newRow("DLC 1") << 1 << QStringList{"BrakePedal", "not in this frame", "", ""};
    }
    void frameViewSignals()
    {
        QFETCH(int, dlc);
        QFETCH(QStringList, pedal);

        auto database = std::make_shared<DbcDatabase>();
        DbcReport report;
        QCOMPARE(loadDbcFile(Example.toStdString(), *database, report), DbcStatus::Ok);
        std::shared_ptr<const DbcDatabase> shown = database;
        CPacketDlg dialog(nullptr);
        dialog.setSignalDatabase([&shown] { return shown; });
        dialog.SetFrame(packetOf(frameOf(0x04, 0x2F0, std::uint8_t(dlc), {41, 1, 0, 17})), 7, 0);
        QCOMPARE(dialog.height(), CPacketDlg::ClientHeight + CPacketDlg::SignalAreaHeight);
        QVERIFY(dialog.messageLabel()->text().startsWith("Message: BrakeStatus"));
        QTableWidget *table = dialog.signalTable();
        QCOMPARE(table->rowCount(), 3);
        QStringList row;
        for (int column = 0; column < 4; ++column)
            row << table->item(1, column)->text();
        QCOMPARE(row, pedal);

        shown = nullptr;
        dialog.SetFrame(packetOf(frameOf(0x04, 0x2F0, 4)), 7, 0);
        QCOMPARE(dialog.height(), CPacketDlg::ClientHeight);
        QVERIFY(table->isHidden());
    }
};

QTEST_MAIN(TestSignals)
#include "tst_signals.moc"
