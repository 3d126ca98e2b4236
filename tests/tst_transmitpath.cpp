// The Exerciser on the real device library, the way a user works with it: the
// main window connected to an adapter, rows sent once and periodically, and
// the response function armed, with what reaches the bus checked by peers
// nobody here wrote (Qt's canbusutil) and by a second library on the same
// bus, and what comes back checked in the capture.
//
// Qt's virtual CAN bus runs on a private port chosen once for this executable.

#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "controls/IconButton.h"
#include "device/DeviceLibraryFactory.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"
#include "display/LabelledSquare.h"
#include "transmit/ExerciserDialog.h"
#include "transmit/ResponsePane.h"

#include "AdapterIndex.h"
#include "FrameBuilders.h"
#include "MainWindowHarness.h"
#include "UserInput.h"
#include "VirtualCanServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

constexpr int Patience = 15000;

// Qt's virtual CAN bus on the private server.
DeviceLibrarySetup virtualCanBus()
{
    DeviceLibrarySetup setup;
    setup.plugins = {QStringLiteral("virtualcan")};
    setup.virtualCanServer = virtualCanServer();
    return setup;
}

std::unique_ptr<DeviceLibrary> libraryOn(const QString &dataDirectory)
{
    DeviceLibrarySetup setup = virtualCanBus();
    setup.dataDirectory = dataDirectory;
    return createDeviceLibrary(setup);
}

// The main window on the real library, connected to one adapter, with the
// Exerciser opened from the Function menu.
struct Program : RealLibraryWindow {
    explicit Program(const std::string &adapterId) : RealLibraryWindow(virtualCanBus())
    {
        // The control bar hands itself to the store from a start-up timer;
        // counters reach it only from then on.
        QTRY_VERIFY(doc.controlBar() != nullptr);
        const int index = indexOf(*library, adapterId);
        QVERIFY(index >= 0);
        connectTo(*frame, index);
        QVERIFY(frame->IsConnected());

        QMenu *function = frame->menuBar()->actions().at(1)->menu();
        emit function->aboutToShow();
        function->actions().at(0)->trigger();
        exerciser = frame->exerciser();
        QVERIFY(exerciser != nullptr);
    }

    ~Program()
    {
        frame->close();
        frame.reset();
    }

    std::vector<CAN_Packet> stored(const std::function<bool(const CAN_Packet &)> &match) const
    {
        std::vector<CAN_Packet> found;
        for (std::size_t i = 0; i < doc.displaySize(); ++i) {
            const CAN_Packet packet = doc.displayEntry(i);
            if (match(packet))
                found.push_back(packet);
        }
        return found;
    }

    std::vector<CAN_Packet> sent(std::uint32_t id) const
    {
        return stored([id](const CAN_Packet &p) { return p.id == id && (p.type & 0x10) != 0; });
    }

    std::vector<CAN_Packet> received(std::uint32_t id) const
    {
        return stored([id](const CAN_Packet &p) { return p.id == id && (p.type & 0x10) == 0; });
    }

    FrameRowEditors &row(int r) const { return *exerciser->row(r).frame; }

    CExerciserDlg *exerciser = nullptr;
};

} // namespace

class TransmitPathTest : public QObject {
    Q_OBJECT

private slots:
    void rowFrameReachesThePeerAndTheCapture()
    {
        const QString canbusutil = canbusutilPath();
        if (canbusutil.isEmpty())
            QSKIP("canbusutil is not installed");
        Program program("VCCAN0___");
        CanbusutilListener listener(canbusutil);
        QVERIFY(listener.started());

        // Until the listener is connected our frames go past it: row 1 probes.
        int probes = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (program.exerciser->row(1).send->click(), ++probes, listener.read().contains("7AB")),
            Patience);

        retype(program.row(0).identifier(), QStringLiteral("5a5"));
        choose(program.row(0).dlc(), 4);
        program.exerciser->row(0).send->click();
        const QRegularExpression printed(QStringLiteral("\\b5A5\\s+\\[4\\]\\s+12 34 56 78\\b"));
        QTRY_VERIFY2_WITH_TIMEOUT(printed.match(QString::fromLatin1(listener.read())).hasMatch(),
                                  listener.output().constData(), Patience);
        listener.stop();

        // Back in the capture as a transmitted frame, counted as Tx.
        QTRY_COMPARE_WITH_TIMEOUT(program.sent(0x5A5).size(), std::size_t(1), Patience);
        QTRY_COMPARE_WITH_TIMEOUT(int(program.doc.txCount()), probes + 1, Patience);
        QCOMPARE(program.frame->controlBar()->txText(), QString::number(probes + 1));
        QCOMPARE(int(program.doc.rxCount()), 0);
        const CAN_Packet packet = program.sent(0x5A5).front();
        QCOMPARE(int(packet.type), 0x14);
        QCOMPARE(packet.dataText, std::string("12 34 56 78"));
        const CListSquare *shown = nullptr;
        for (const CListSquare *row : program.frame->view()->findChildren<CListSquare *>()) {
            if (row->frameNumber() == packet.number)
                shown = row;
        }
        QVERIFY(shown != nullptr);
        QCOMPARE(shown->square(RowLayout::Direction)->text(), std::string("==>"));
    }

    void periodicRowsRunUntilStopped()
    {
        Program program(VirtualAdapters::QuietId);
        CExerciserDlg &exerciser = *program.exerciser;
        retype(exerciser.row(0).interval, QStringLiteral("20"));
        retype(exerciser.row(2).interval, QStringLiteral("30"));
        exerciser.setButton()->click();
        exerciser.row(0).toggle->click();
        exerciser.row(2).toggle->click();
        QTRY_VERIFY_WITH_TIMEOUT(program.sent(0x123).size() >= 5, Patience);
        QTRY_VERIFY_WITH_TIMEOUT(program.sent(0x12345678).size() >= 5, Patience);
        for (const CAN_Packet &p : program.sent(0x12345678))
            QCOMPARE(int(p.type), 0x16);

        exerciser.row(0).toggle->click();
        exerciser.row(2).toggle->click();
        // A frame sent after the stop is the rows' last word.
        exerciser.row(1).send->click();
        QTRY_COMPARE_WITH_TIMEOUT(program.sent(0x7AB).size(), std::size_t(1), Patience);
        const std::size_t first = program.sent(0x123).size();
        const std::size_t third = program.sent(0x12345678).size();
        exerciser.row(1).send->click();
        QTRY_COMPARE_WITH_TIMEOUT(program.sent(0x7AB).size(), std::size_t(2), Patience);
        QTest::qWait(100);
        QCOMPARE(program.sent(0x123).size(), first);
        QCOMPARE(program.sent(0x12345678).size(), third);
    }

    void armedResponseAnswersAPeer()
    {
        Program program("VCCAN0___");
        CExerciserChildDlg &pane = *program.exerciser->responsePane();
        program.exerciser->advancedModeBox()->click();
        pane.enableBox()->click();
        choose(pane.inputRow().kind(), 0);
        choose(pane.inputRow().dlc(), 2);
        retype(pane.inputRow().identifier(), QStringLiteral("321"));
        retype(pane.inputRow().data(0), QStringLiteral("aa"));
        retype(pane.inputRow().data(1), QStringLiteral("bb"));
        choose(pane.responseRow().dlc(), 3);
        pane.applyButton()->click();

        // Another node on the bus: a second library with an adapter of its own.
        QTemporaryDir peerData;
        auto peer = libraryOn(peerData.path());
        QCOMPARE(int(peer->DevOpen(indexOf(*peer, "VCCAN0___"))), 0);
        QCOMPARE(int(peer->DevStart(1)), 0);
        const CAN_Frame trigger = frameOf(0x14, 0x321, 2, {0xAA, 0xBB});
        CAN_Frame other = trigger;
        other.data[1] = 0xBC;
        // Until our adapter hears the peer, its frames go past it.
        QTRY_VERIFY_WITH_TIMEOUT((peer->DevSendFrame(other), !program.received(0x321).empty()),
                                 Patience);
        QVERIFY(program.sent(0x456).empty());

        peer->DevSendFrame(trigger);
        QTRY_COMPARE_WITH_TIMEOUT(program.sent(0x456).size(), std::size_t(1), Patience);
        const CAN_Packet answer = program.sent(0x456).front();
        QCOMPARE(int(answer.type), 0x14);
        QCOMPARE(answer.dataText, std::string("12 34 56"));

        // Disarmed: the trigger goes unanswered.
        pane.enableBox()->click();
        pane.applyButton()->click();
        const std::size_t triggers = program.received(0x321).size();
        peer->DevSendFrame(trigger);
        QTRY_COMPARE_WITH_TIMEOUT(program.received(0x321).size(), triggers + 1, Patience);
        program.exerciser->row(1).send->click();
        QTRY_COMPARE_WITH_TIMEOUT(program.sent(0x7AB).size(), std::size_t(1), Patience);
        QCOMPARE(program.sent(0x456).size(), std::size_t(1));
        peer->DevRelease();
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The virtual CAN bus reports every connection; keep the output readable.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan=false"));
    TransmitPathTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transmitpath.moc"
