// The real serial link against the virtual ECU over a pseudo-terminal, at 9600 baud pace.
#include "link/frames.h"
#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

class TestSerialLinkPty : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        state = SharedState{};
        dispatcher = std::make_unique<ReplyDispatcher>(state);
        sim = std::make_unique<SimulatorThread>();
        QVERIFY2(sim->start(), qPrintable(sim->errorText()));
        link = std::make_unique<SerialLink>();
        connect(link.get(), &Link::received, dispatcher.get(), &ReplyDispatcher::onSerialEvent);
        QVERIFY2(link->open(sim->devicePath(), "9600,n,8,1"), qPrintable(link->errorText()));
    }
    void cleanup()
    {
        link.reset();
        sim.reset();
    }

    void handshakeArrives();
    void splitReplyArrivesWhole();
    void garbageIsDroppedAndTheNextFrameArrives();
    void replyArrivesWhenTheSenderIsSlowToReturn();
    void portVanishingClosesTheLink();
    void openFailuresSayWhy();

private:
    SharedState state;
    std::unique_ptr<ReplyDispatcher> dispatcher;
    std::unique_ptr<SimulatorThread> sim;
    std::unique_ptr<SerialLink> link;
};

void TestSerialLinkPty::handshakeArrives()
{
    QSignalSpy version(dispatcher.get(), &ReplyDispatcher::versionReceived);
    QVERIFY(link->send(frames::readVersion()));
    QTRY_COMPARE_WITH_TIMEOUT(state.versionReceived, 1, 3000);
    QCOMPARE(version.at(0).at(0).toString(), QString("2.1.7"));

    QVERIFY(link->send(frames::readAllParameters()));
    QTRY_COMPARE_WITH_TIMEOUT(state.parametersReceived, 1, 3000);
    QCOMPARE(state.parameterValues, VirtualEcu::defaultParameters());

    QVERIFY(link->send(frames::readTable()));
    QTRY_COMPARE_WITH_TIMEOUT(state.tableReceived, 1, 3000);
    QCOMPARE(state.tableCells, VirtualEcu::defaultTable());

    // a write goes out, is echoed and confirmed
    state.pendingParameterValues[12] = 2222;
    QVERIFY(link->send(*frames::writeParameter(12, 2222)));
    QTRY_COMPARE_WITH_TIMEOUT(state.parameterValues[12], 2222, 3000);
}

void TestSerialLinkPty::splitReplyArrivesWhole()
{
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.splitFrames = true; });
    QSignalSpy handled(dispatcher.get(), &ReplyDispatcher::frameHandled);
    QVERIFY(link->send(frames::readStatus()));
    QTRY_COMPARE_WITH_TIMEOUT(state.statusReceived, 1, 3000);
    QCOMPARE(handled.count(), 1);
    QVERIFY(state.liveStatus.rpm > 0);
}

void TestSerialLinkPty::garbageIsDroppedAndTheNextFrameArrives()
{
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.garbageBetweenFrames = true; });
    QSignalSpy written(&sim->host(), &PtyHost::replyWritten);
    QVERIFY(link->send(frames::readVersion()));
    QTRY_VERIFY_WITH_TIMEOUT(written.count() >= 1, 3000);
    QTest::qWait(100);                  // the rest of the 11 bytes is on the line by now
    QCOMPARE(state.versionReceived, 0); // stray bytes in front: not one frame

    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.garbageBetweenFrames = false; });
    // the next send hands the spoilt buffer over (dropped) and its clean reply arrives
    QVERIFY(link->send(frames::readVersion()));
    QTRY_COMPARE_WITH_TIMEOUT(state.versionReceived, 1, 3000);
}

void TestSerialLinkPty::replyArrivesWhenTheSenderIsSlowToReturn()
{
    // the program is busy (a tick repainting a whole window) while the reply is already coming in
    for (int i = 0; i < 3; ++i) {
        state.statusReceived = 0;
        QVERIFY(link->send(frames::readStatus()));
        QThread::msleep(30);
        QCoreApplication::processEvents();
        QThread::msleep(30);
        QTRY_COMPARE_WITH_TIMEOUT(state.statusReceived, 1, 3000);
    }
}

void TestSerialLinkPty::portVanishingClosesTheLink()
{
    QSignalSpy lost(link.get(), &Link::lost);
    sim.reset(); // the device side goes away, like a pulled adapter
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QVERIFY(!link->isOpen());
    QVERIFY(!link->send(frames::readStatus()));
    QTest::qWait(100);
    QCOMPARE(lost.count(), 1); // reported once, not in a loop
}

void TestSerialLinkPty::openFailuresSayWhy()
{
    link->close();
    QVERIFY(!link->send(frames::readStatus()));

    SerialLink other;
    QVERIFY(!other.open("/dev/orvane-no-such-port", "9600,n,8,1"));
    QCOMPARE(other.problem(), LinkProblem::PortMissing);
    QVERIFY(!other.isOpen());
    // a pseudo-terminal takes only 8 data bits without parity
    QVERIFY(!other.open(sim->devicePath(), "9600,e,7,1"));
    QCOMPARE(other.problem(), LinkProblem::SettingsRefused);
    QVERIFY(!other.isOpen());
    QVERIFY(!other.open(sim->devicePath(), "fast"));
    QCOMPARE(other.problem(), LinkProblem::SettingsRefused);
    QVERIFY(other.errorText().contains("fast"));
    QVERIFY(!other.open(sim->devicePath(), "9600,n,4,1"));
    QCOMPARE(other.problem(), LinkProblem::SettingsRefused);
    QVERIFY(!other.open(QString(100000, QLatin1Char('x')), "9600,n,8,1"));
    QCOMPARE(other.problem(), LinkProblem::NameTooLong);
    QVERIFY(other.open(sim->devicePath(), "19200,n,8,1"));
}

QTEST_GUILESS_MAIN(TestSerialLinkPty)
#include "test_serial_link_pty.moc"
