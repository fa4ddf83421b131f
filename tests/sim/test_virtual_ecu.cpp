#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/reply_dispatcher.h"
#include "sim/virtual_ecu.h"

#include <QTest>

namespace {

QByteArray joined(const std::vector<VirtualEcu::Chunk>& chunks)
{
    QByteArray out;
    for (const auto& c : chunks)
        out += c.bytes;
    return out;
}

} // namespace

// The virtual ECU is only worth having if the program's own dispatcher accepts what it says.
class TestVirtualEcu : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ecu = std::make_unique<VirtualEcu>();
        state = SharedState{};
        dispatcher = std::make_unique<ReplyDispatcher>(state);
        now = 0;
    }

    void handshakeRepliesLandInSharedState();
    void writesAreStoredAndEchoed();
    void statusLooksLikeARunningFourCylinderCar();
    void changeoverGoesThroughItsStates();
    void calibrationTimeDependsOnTheCoefficient();
    void operatingPointMovesOverTheTable();
    void endOfLineRunsItsPhases();
    void requestsAreFoundInNoisyInput();
    void faultSwitches();
    void neverConfirmedWritesAreNotTaken();
    void firstWriteOfEachValueIsLost();
    void echoDelayHoldsBackOnlyEchoes();
    void refusedChangeoverStaysOnPetrol();

private:
    // Sends one request and hands the whole reply to the dispatcher, as the serial link would.
    QByteArray ask(const QByteArray& request)
    {
        const QByteArray reply = joined(ecu->receive(request, now));
        dispatcher->onSerialEvent(reply);
        return reply;
    }

    std::unique_ptr<VirtualEcu> ecu;
    SharedState state;
    std::unique_ptr<ReplyDispatcher> dispatcher;
    qint64 now = 0;
};

void TestVirtualEcu::handshakeRepliesLandInSharedState()
{
    QCOMPARE(ask(frames::readVersion()).size(), 8);
    QCOMPARE(state.versionReceived, 1);
    QCOMPARE(state.ecuVersion, ecu->version);
    QCOMPARE(ask(frames::readAllParameters()).size(), 127);
    QCOMPARE(state.parameterValues, VirtualEcu::defaultParameters());
    QCOMPARE(ask(frames::readTable()).size(), 69);
    QCOMPARE(state.tableCells, VirtualEcu::defaultTable());
    QCOMPARE(ask(frames::readCalibrationExtra()).size(), 13);
    QCOMPARE(state.calibrationExtra[4], 1);
    QCOMPARE(state.calibrationExtra[5], 0);

    // defaults are a sensible car: axes rising, table in 100..130
    const auto p = VirtualEcu::defaultParameters();
    for (int i = 0; i < 7; ++i) {
        QVERIFY(p[param::mapRpmAxis + i] < p[param::mapRpmAxis + i + 1]);
        QVERIFY(p[param::mapTinjAxis + i] < p[param::mapTinjAxis + i + 1]);
    }
    for (const int cell : VirtualEcu::defaultTable())
        QVERIFY(cell >= 100 && cell <= 130);
}

void TestVirtualEcu::writesAreStoredAndEchoed()
{
    state.pendingParameterValues[param::changeoverRpm] = 2100;
    ask(*frames::writeParameter(param::changeoverRpm, 2100));
    QCOMPARE(state.parameterValues[param::changeoverRpm], 2100);
    QCOMPARE(ecu->parameters[param::changeoverRpm], 2100);

    state.pendingTableCells[64] = 77;
    ask(*frames::writeTableCell(64, 77));
    QCOMPARE(state.tableCells[64], 77);
    QCOMPARE(ecu->table[64], 77);

    QCOMPARE(ask(frames::restoreDefaults()).size(), 5);
    QCOMPARE(state.defaultsAcknowledged, 1);
    QCOMPARE(ecu->parameters[param::changeoverRpm], 1800);
    QCOMPARE(ecu->table[64], VirtualEcu::defaultTable()[64]);
}

void TestVirtualEcu::statusLooksLikeARunningFourCylinderCar()
{
    int previousRpm = -1;
    int changes = 0;
    for (now = 1000; now < 31000; now += 300) {
        QCOMPARE(ask(frames::readStatus()).size(), 43);
        const LiveStatus& live = state.liveStatus;
        QVERIFY(live.rpm > 700 && live.rpm < 4000);
        for (int c = 1; c <= 4; ++c)
            QVERIFY(live.petrolTinj[c] > 100);
        for (int c = 5; c <= 8; ++c)
            QCOMPARE(live.petrolTinj[c], 0);
        QVERIFY(live.lambda1Mv > 5 && live.lambda1Mv < 1000);
        QVERIFY(live.pressureMbar > 10);
        QVERIFY(live.temperature1 > 0 && live.temperature2Raw > 40);
        QVERIFY(live.kgbTab >= 100 && live.kgbTab <= 130);
        QCOMPARE(live.onPetrol, 1);
        changes += live.rpm != previousRpm;
        previousRpm = live.rpm;
    }
    QVERIFY(changes > 90); // values move, so no box is greyed as stale

    ecu->engine.lambda1Unplugged = true;
    ecu->engine.pressureUnplugged = true;
    ecu->engine.temperature1Unplugged = true;
    ask(frames::readStatus());
    QVERIFY(state.liveStatus.lambda1Mv <= 5);
    QCOMPARE(state.liveStatus.pressureMbar, 10);
    QCOMPARE(state.liveStatus.temperature1, 0);
}

void TestVirtualEcu::changeoverGoesThroughItsStates()
{
    QCOMPARE(ask(frames::fuelChangeover()).size(), 5);
    QCOMPARE(state.changeoverAcknowledged, 1);
    QList<int> seen;
    for (int i = 0; i < 40; ++i, now += 100) {
        ask(frames::readStatus());
        if (seen.isEmpty() || seen.last() != state.liveStatus.ecuState) seen << state.liveStatus.ecuState;
    }
    QCOMPARE(seen, (QList<int>{2, 3, 4, 5, 0}));
    QCOMPARE(state.liveStatus.onPetrol, 0);

    ask(frames::fuelChangeover());
    seen.clear();
    for (int i = 0; i < 20; ++i, now += 100) {
        ask(frames::readStatus());
        if (seen.isEmpty() || seen.last() != state.liveStatus.ecuState) seen << state.liveStatus.ecuState;
    }
    QCOMPARE(seen, (QList<int>{1, 0}));
    QCOMPARE(state.liveStatus.onPetrol, 1);
}

void TestVirtualEcu::calibrationTimeDependsOnTheCoefficient()
{
    ask(frames::calibrationOn());
    QCOMPARE(state.calibrationOnAcknowledged, 1);
    ask(*frames::calibrationPoll(0));
    const int petrolTinj = state.liveStatus.calibrationTinj;
    QVERIFY(petrolTinj > 0);
    QCOMPARE(state.liveStatus.onPetrol, 1);

    ask(frames::fuelChangeover());
    now += 5000;
    ask(*frames::calibrationPoll(ecu->idealKgb));
    QCOMPARE(state.liveStatus.onPetrol, 0);
    QCOMPARE(state.liveStatus.kgbInUse, ecu->idealKgb);
    QVERIFY(qAbs(state.liveStatus.calibrationTinj - petrolTinj) < 50);
    ask(*frames::calibrationPoll(ecu->idealKgb - 20));
    // lean: the petrol side lengthens it
    QVERIFY(state.liveStatus.calibrationTinj > petrolTinj * 110 / 100);

    // the right coil count gives the right speed
    ask(*frames::calibrationPollCoils(4));
    const int rpm = state.liveStatus.rpm;
    QVERIFY(qAbs(rpm - 2500) < 100);
    ask(*frames::calibrationPollCoils(2));
    QVERIFY(state.liveStatus.rpm > rpm * 3 / 2);

    ask(frames::calibrationOff());
    QCOMPARE(state.calibrationOffAcknowledged, 1);
    QVERIFY(!ecu->calibrationMode());
}

void TestVirtualEcu::operatingPointMovesOverTheTable()
{
    // outside calibration mode the KGB in use is the table's, whatever coefficient the poll carries
    ecu->engine.setHeldSteady(true);
    for (int k = 1; k <= kTableCellCount; ++k)
        ask(*frames::writeTableCell(k, 77));
    ask(*frames::calibrationPoll(150));
    QCOMPARE(state.liveStatus.kgbInUse, 77);
    ask(frames::calibrationOn());
    ask(*frames::calibrationPoll(150));
    QCOMPARE(state.liveStatus.kgbInUse, 150);
    ask(frames::calibrationOff());

    // driving: engine speed and injection time go across the axes, not past their ends
    ecu->engine.setHeldSteady(false);
    int lowestRpm = 1 << 30, highestRpm = 0, lowestTinj = 1 << 30, highestTinj = 0;
    for (int i = 0; i < 400; ++i, now += 300) {
        ask(*frames::calibrationPoll(0));
        lowestRpm = std::min(lowestRpm, state.liveStatus.rpm);
        highestRpm = std::max(highestRpm, state.liveStatus.rpm);
        lowestTinj = std::min(lowestTinj, state.liveStatus.calibrationTinj);
        highestTinj = std::max(highestTinj, state.liveStatus.calibrationTinj);
    }
    const OneBased<int, kParameterCount> p = VirtualEcu::defaultParameters();
    QVERIFY(lowestRpm < p[param::mapRpmAxis + 1] && highestRpm > p[param::mapRpmAxis + 4]);
    QVERIFY(lowestTinj < p[param::mapTinjAxis + 4] && highestTinj > p[param::mapTinjAxis + 5]);
    QVERIFY(highestTinj < p[param::mapTinjAxis + 7]);
}

void TestVirtualEcu::endOfLineRunsItsPhases()
{
    QVERIFY(ecu->failEolCheck("EMUL 3"));
    QVERIFY(ecu->failEolCheck("TPS_ANALOGICO"));
    QVERIFY(!ecu->failEolCheck("WATCH DOG")); // the reset phases, not a result byte
    ask(*frames::eolCommand(6));
    QCOMPARE(state.eolCommandAcknowledged, 1);
    QList<int> phases;
    int unanswered = 0;
    bool sawFailure = false;
    for (now = 0; now < 13000; now += 200) {
        if (ask(frames::readEolResults()).isEmpty()) {
            ++unanswered; // key off
            continue;
        }
        if (phases.isEmpty() || phases.last() != state.eolResults.eolPhase)
            phases << state.eolResults.eolPhase;
        if (state.eolResults.eolPhase == 2)
            sawFailure |= state.eolResults.eolCylinderResults[3] != 0 && state.eolResults.eolChecks[3] != 0;
    }
    QCOMPARE(phases, (QList<int>{1, 2, 3, 4, 0}));
    QVERIFY(unanswered >= 10);
    QVERIFY(sawFailure);
    QCOMPARE(state.eolResults.eolPreviousPhase, 0);
}

void TestVirtualEcu::requestsAreFoundInNoisyInput()
{
    QCOMPARE(joined(ecu->receive(QByteArray("\x00zzP\x01PC", 7), now)).size(), 0);
    const QByteArray reply = joined(ecu->receive(QByteArray("\x00\x05\x07", 3), now));
    QCOMPARE(reply.size(), 8);
    // a known code with the wrong length and an unknown code are skipped, what follows is served
    const QByteArray junk = frames::frame(3, "xx") + frames::frame(40);
    QCOMPARE(joined(ecu->receive(junk + frames::readVersion() + frames::readStatus(), now)).size(), 8 + 43);
    // a request split over two reads waits for its second half
    const QByteArray dump = frames::readAllParameters();
    QVERIFY(ecu->receive(dump.left(3), now).empty());
    QCOMPARE(joined(ecu->receive(dump.mid(3), now)).size(), 127);
}

void TestVirtualEcu::faultSwitches()
{
    ecu->faults.silent = true;
    QVERIFY(ecu->receive(frames::readVersion(), now).empty());
    ecu->faults.silent = false;

    ecu->faults.splitFrames = true;
    auto chunks = ecu->receive(frames::readTable(), now);
    QCOMPARE(chunks.size(), size_t(2));
    QCOMPARE(chunks[1].delayMs, 40);
    QCOMPARE(joined(chunks).size(), 69);
    ecu->faults.splitFrames = false;

    ecu->faults.garbageBetweenFrames = true;
    ecu->faults.slowReplies = true;
    chunks = ecu->receive(frames::readVersion(), now);
    QCOMPARE(chunks.size(), size_t(2));
    QCOMPARE(chunks[0].delayMs, 400);
    QCOMPARE(chunks[1].bytes.size(), 8);
    ecu->faults.garbageBetweenFrames = false;
    ecu->faults.slowReplies = false;

    ecu->faults.wrongEcho = true;
    state.pendingParameterValues[5] = 600;
    ask(*frames::writeParameter(5, 600));
    QCOMPARE(state.parameterValues[5], 0);
    QCOMPARE(ecu->parameters[5], 600);
}

void TestVirtualEcu::neverConfirmedWritesAreNotTaken()
{
    ecu->faults.neverConfirmParameter = param::changeoverRpm;
    ecu->faults.neverConfirmCell = 64;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QVERIFY(ask(*frames::writeParameter(param::changeoverRpm, 2100)).isEmpty());
        QVERIFY(ask(*frames::writeTableCell(64, 77)).isEmpty());
    }
    QCOMPARE(ecu->parameters[param::changeoverRpm], 1800);
    QCOMPARE(ecu->table[64], VirtualEcu::defaultTable()[64]);
    // only that id and that cell
    QCOMPARE(ask(*frames::writeParameter(param::changeoverRpm + 1, 40)).size(), 9);
    QCOMPARE(ask(*frames::writeTableCell(63, 77)).size(), 7);
    ecu->faults.neverConfirmParameter = 0;
    ecu->faults.neverConfirmCell = 0;
    QCOMPARE(ask(*frames::writeParameter(param::changeoverRpm, 2100)).size(), 9);
    QCOMPARE(ask(*frames::writeTableCell(64, 77)).size(), 7);
    QCOMPARE(ecu->table[64], 77);
}

void TestVirtualEcu::firstWriteOfEachValueIsLost()
{
    ecu->faults.dropFirstWrite = true;
    // each id and each cell loses its own first write, not just the first write of all
    for (const int id : {param::changeoverRpm, param::cutoffKgb}) {
        QVERIFY(ask(*frames::writeParameter(id, 99)).isEmpty());
        QCOMPARE(ecu->parameters[id], VirtualEcu::defaultParameters()[id]);
        QCOMPARE(ask(*frames::writeParameter(id, 99)).size(), 9);
        QCOMPARE(ecu->parameters[id], 99);
        QCOMPARE(ask(*frames::writeParameter(id, 98)).size(), 9);
    }
    // a cell of the same number as a parameter already written still loses its first
    const int cell = param::changeoverRpm;
    QVERIFY(ask(*frames::writeTableCell(cell, 1)).isEmpty());
    QCOMPARE(ecu->table[cell], VirtualEcu::defaultTable()[cell]);
    QCOMPARE(ask(*frames::writeTableCell(cell, 1)).size(), 7);
    QCOMPARE(ecu->table[cell], 1);
}

void TestVirtualEcu::echoDelayHoldsBackOnlyEchoes()
{
    ecu->faults.echoDelayMs = 250;
    auto chunks = ecu->receive(*frames::writeParameter(param::changeoverRpm, 2100), now);
    // taken at once, answered late
    QCOMPARE(ecu->parameters[param::changeoverRpm], 2100);
    QCOMPARE(chunks.size(), size_t(1));
    QCOMPARE(chunks[0].delayMs, 250);
    chunks = ecu->receive(*frames::writeTableCell(5, 77), now);
    QCOMPARE(ecu->table[5], 77);
    QCOMPARE(chunks[0].delayMs, 250);
    QCOMPARE(ecu->receive(frames::readStatus(), now)[0].delayMs, 0);
    // on top of a slow line, and before a split echo's first half
    ecu->faults.slowReplies = true;
    ecu->faults.splitFrames = true;
    chunks = ecu->receive(*frames::writeTableCell(5, 78), now);
    QCOMPARE(chunks.size(), size_t(2));
    QCOMPARE(chunks[0].delayMs, 650);
    QCOMPARE(chunks[1].delayMs, 40);
}

void TestVirtualEcu::refusedChangeoverStaysOnPetrol()
{
    ecu->faults.refuseChangeover = true;
    for (int i = 0; i < 30; ++i, now += 100) {
        QVERIFY(ask(frames::fuelChangeover()).isEmpty());
        ask(frames::readStatus());
        QCOMPARE(state.liveStatus.ecuState, 0);
        QCOMPARE(state.liveStatus.onPetrol, 1);
    }
    QCOMPARE(state.changeoverAcknowledged, 0);
    ecu->faults.refuseChangeover = false;
    QCOMPARE(ask(frames::fuelChangeover()).size(), 5);
    now += 200;
    ask(frames::readStatus());
    QCOMPARE(state.liveStatus.ecuState, 2);
}

QTEST_GUILESS_MAIN(TestVirtualEcu)
#include "test_virtual_ecu.moc"
