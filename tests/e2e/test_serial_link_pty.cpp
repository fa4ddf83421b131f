// The real serial link against the virtual ECU over a pseudo-terminal, at 9600 baud pace.
#include "link/frames.h"
#include "link/reply_dispatcher.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A bare pseudo-terminal: the test writes what no ECU would send.
struct RawLine {
    int master = -1;
    int slave = -1; // held open so the master never reads EIO
    QString path;

    bool open()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
        path = QString::fromLocal8Bit(::ptsname(master));
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        if (slave < 0 || ::tcgetattr(slave, &raw) != 0) return false;
        ::cfmakeraw(&raw);
        return ::tcsetattr(slave, TCSANOW, &raw) == 0;
    }
    bool write(const QByteArray& bytes)
    {
        return ::write(master, bytes.constData(), bytes.size()) == bytes.size();
    }
    ~RawLine()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
};

QByteArray versionReply()
{
    return frames::frame(7, QByteArray("\x02\x01\x07", 3));
}

} // namespace

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
    void strayBytesAreHandedOverWhole();
    void aDamagedReplyCostsOnlyItself();
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
    // stray bytes before every reply: each reply is still taken, the noise handed over on its own
    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.garbageBetweenFrames = true; });
    QSignalSpy received(link.get(), &Link::received);
    QVERIFY(link->send(frames::readVersion()));
    QTRY_COMPARE_WITH_TIMEOUT(state.versionReceived, 1, 3000);
    QCOMPARE(received.count(), 2);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("\x13\xff\x00", 3));
    QCOMPARE(received.at(1).at(0).toByteArray(), versionReply());
    QVERIFY(link->send(frames::readAllParameters()));
    QTRY_COMPARE_WITH_TIMEOUT(state.parametersReceived, 1, 3000);

    sim->withEcu([](VirtualEcu& ecu) { ecu.faults.garbageBetweenFrames = false; });
    state.versionReceived = 0;
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

void TestSerialLinkPty::strayBytesAreHandedOverWhole()
{
    RawLine line;
    QVERIFY(line.open());
    SerialLink raw;
    QVERIFY2(raw.open(line.path, "9600,n,8,1"), qPrintable(raw.errorText()));
    QSignalSpy received(&raw, &Link::received);

    // no frame and no send: held until 150 bytes wait, then all of them at once
    QVERIFY(line.write(QByteArray(149, '\xee')));
    QTest::qWait(100);
    QCOMPARE(received.count(), 0);
    QVERIFY(line.write(QByteArray(1, '\xee')));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 3000);
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray(150, '\xee'));

    // stray bytes before a send, and its reply already in while the sender is busy: in that order
    const QByteArray stray("\x13\xff\x00PC", 5);
    QVERIFY(line.write(stray));
    QTest::qWait(100);
    QVERIFY(raw.send(frames::readVersion()));
    QCOMPARE(received.count(), 1);
    QVERIFY(line.write(versionReply()));
    QThread::msleep(50);
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 3, 3000);
    QCOMPARE(received.at(1).at(0).toByteArray(), stray);
    QCOMPARE(received.at(2).at(0).toByteArray(), versionReply());
}

void TestSerialLinkPty::aDamagedReplyCostsOnlyItself()
{
    RawLine line;
    QVERIFY(line.open());
    SerialLink raw;
    QVERIFY2(raw.open(line.path, "9600,n,8,1"), qPrintable(raw.errorText()));
    connect(&raw, &Link::received, dispatcher.get(), &ReplyDispatcher::onSerialEvent);
    QSignalSpy received(&raw, &Link::received);

    // a status reply that lost its tail never completes; the version reply behind it, inside the
    // length the first one claims, is taken as soon as it is in, with no send needed
    const QByteArray status = frames::frame(3, QByteArray(38, '\x11'));
    QVERIFY(line.write(status.left(20)));
    QTest::qWait(100);
    QCOMPARE(received.count(), 0);
    QVERIFY(line.write(versionReply()));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 2, 3000);
    QCOMPARE(received.at(0).at(0).toByteArray(), status.left(20));
    QCOMPARE(received.at(1).at(0).toByteArray(), versionReply());
    QCOMPARE(state.versionReceived, 1);

    // reply, noise, reply in one read: both replies at once, the noise on its own
    QVERIFY(line.write(status + QByteArray("\x13\xff", 2) + status));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 5, 3000);
    QCOMPARE(received.at(2).at(0).toByteArray(), status);
    QCOMPARE(received.at(3).at(0).toByteArray(), QByteArray("\x13\xff", 2));
    QCOMPARE(received.at(4).at(0).toByteArray(), status);
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
