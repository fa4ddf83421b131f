#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/reply_dispatcher.h"
#include "sim/drive_script.h"
#include "sim/virtual_ecu.h"

#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

QByteArray joined(const std::vector<VirtualEcu::Chunk>& chunks)
{
    QByteArray out;
    for (const auto& c : chunks)
        out += c.bytes;
    return out;
}

// The cell whose breakpoints are nearest in each axis.
int nearestCell(const OneBased<int, kParameterCount>& p, int rpm, int tinj)
{
    const auto nearest = [&p](int first, int x) {
        int best = 0;
        for (int i = 1; i < 8; ++i)
            if (std::abs(p[first + i] - x) < std::abs(p[first + best] - x)) best = i;
        return best;
    };
    return 1 + 8 * nearest(param::mapTinjAxis, tinj) + nearest(param::mapRpmAxis, rpm);
}

// Stable samples per cell and fuel: the last four (1.2 s at 300 ms) within 3% in engine speed
// and 6% in injection time, with no change-over under way.
struct CellMeans {
    OneBased<int, kTableCellCount> petrolCount, gasCount;
    QList<DriveScript::Reply> last;

    void add(const OneBased<int, kParameterCount>& p, const DriveScript::Reply& r)
    {
        last << r;
        if (last.size() > 4) last.removeFirst();
        if (last.size() < 4) return;
        const auto [rpmLow, rpmHigh] = std::minmax_element(
            last.begin(), last.end(), [](const auto& a, const auto& b) { return a.rpm < b.rpm; });
        const auto [tinjLow, tinjHigh] = std::minmax_element(
            last.begin(), last.end(), [](const auto& a, const auto& b) { return a.tinj < b.tinj; });
        if (rpmHigh->rpm - rpmLow->rpm > r.rpm * 0.03 || tinjHigh->tinj - tinjLow->tinj > r.tinj * 0.06)
            return;
        if (std::any_of(last.begin(), last.end(),
                        [&r](const auto& a) { return a.ecuState != 0 || a.onPetrol != r.onPetrol; }))
            return;
        const int k = nearestCell(p, r.rpm, r.tinj);
        ++(r.onPetrol ? petrolCount : gasCount)[k];
    }
};

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
    void changeoverWaitsForTemperatureAndSpeed();
    void closedLoopFollowsTheMixtureError();
    void trueSurfaceFollowsShapeAndSeed();
    void operatingPointMovesOverTheTable();
    void sameSeedSameDrive();
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
        QVERIFY(live.rpm > 700 && live.rpm < 5500);
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

void TestVirtualEcu::changeoverWaitsForTemperatureAndSpeed()
{
    QList<int> seen;
    const auto pollFor = [&](int ms) {
        for (const qint64 end = now + ms; now < end; now += 100) {
            ask(frames::readStatus());
            if (seen.isEmpty() || seen.last() != state.liveStatus.ecuState) seen << state.liveStatus.ecuState;
        }
    };
    // a cold reducer and an idling engine: the car stays on petrol, saying why
    ecu->engine.setHeldSteady(true);
    ecu->engine.heldRpm = 1000;
    QCOMPARE(ask(frames::fuelChangeover()).size(), 5);
    QCOMPARE(state.changeoverAcknowledged, 1);
    pollFor(10000);
    QCOMPARE(seen, (QList<int>{2}));
    QVERIFY(state.liveStatus.temperature1 < ecu->parameters[param::changeoverTemperature]);
    QCOMPARE(state.liveStatus.onPetrol, 1);

    // the threshold is the ECU's parameter
    ask(*frames::writeParameter(param::changeoverTemperature, 20));
    pollFor(3000);
    QCOMPARE(seen, (QList<int>{2, 3}));
    ecu->engine.heldRpm = 2500;
    pollFor(4000);
    QCOMPARE(seen, (QList<int>{2, 3, 4, 5, 0}));
    QCOMPARE(state.liveStatus.onPetrol, 0);

    // back to petrol waits for neither
    ecu->engine.heldRpm = 900;
    ask(frames::fuelChangeover());
    seen.clear();
    pollFor(2000);
    QCOMPARE(seen, (QList<int>{1, 0}));
    QCOMPARE(state.liveStatus.onPetrol, 1);

    // on deceleration: above the change-over speed, then back below it less 200
    ecu->parameters[param::changeoverMode] = 1;
    ecu->engine.heldRpm = 2500;
    ask(frames::fuelChangeover());
    seen.clear();
    pollFor(4000);
    QCOMPARE(seen, (QList<int>{2, 3, 4}));
    ecu->engine.heldRpm = 1500;
    pollFor(3000);
    QCOMPARE(seen, (QList<int>{2, 3, 4, 5, 0}));
}

void TestVirtualEcu::closedLoopFollowsTheMixtureError()
{
    EngineModel& engine = ecu->engine;
    engine.startTemperature = 70;
    engine.noisePercent = 0;
    ask(frames::calibrationOn());
    QCOMPARE(state.calibrationOnAcknowledged, 1);
    const int need = qRound(engine.trueKgbAt(engine.heldRpm, engine.heldTinj));
    const int lean = need * 8 / 10;
    ask(*frames::calibrationPoll(lean));
    // on petrol the time is what the engine needs, whatever the coefficient
    QCOMPARE(state.liveStatus.calibrationTinj, engine.heldTinj);
    QCOMPARE(state.liveStatus.onPetrol, 1);

    ask(frames::fuelChangeover());
    for (now += 100; state.liveStatus.onPetrol == 1 && now < 10000; now += 100)
        ask(*frames::calibrationPoll(lean));
    QCOMPARE(state.liveStatus.onPetrol, 0);
    QCOMPARE(state.liveStatus.kgbInUse, lean);
    // gas short of the need: the petrol side lengthens its time in proportion, after a lag
    const double longer = engine.heldTinj * engine.trueKgbAt(engine.heldRpm, engine.heldTinj) / lean;
    now += 200;
    ask(*frames::calibrationPoll(lean));
    const int early = state.liveStatus.calibrationTinj;
    QVERIFY2(early > engine.heldTinj && early < (engine.heldTinj + longer) / 2,
             qPrintable(QString::number(early)));
    now += 5000;
    ask(*frames::calibrationPoll(lean));
    QVERIFY2(std::abs(state.liveStatus.calibrationTinj - longer) < longer * 0.01,
             qPrintable(QStringLiteral("%1 %2").arg(state.liveStatus.calibrationTinj).arg(longer)));
    // the right coefficient brings it back to the petrol time; the status reply says the same
    ask(*frames::calibrationPoll(need));
    now += 6000;
    ask(*frames::calibrationPoll(need));
    QVERIFY(std::abs(state.liveStatus.calibrationTinj - engine.heldTinj) < engine.heldTinj * 0.01);
    ask(frames::readStatus());
    QVERIFY(std::abs(state.liveStatus.petrolTinj[1] - engine.heldTinj) < engine.heldTinj * 0.01);

    // noise as asked: its spread over many polls
    engine.noisePercent = 2.0;
    double sum = 0, squares = 0;
    const int polls = 400;
    for (int i = 0; i < polls; ++i, now += 300) {
        ask(*frames::calibrationPoll(need));
        const double x = state.liveStatus.calibrationTinj / double(engine.heldTinj) - 1.0;
        sum += x;
        squares += x * x;
    }
    const double spread = std::sqrt(squares / polls - (sum / polls) * (sum / polls));
    QVERIFY2(spread > 0.016 && spread < 0.024, qPrintable(QString::number(spread)));

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

void TestVirtualEcu::trueSurfaceFollowsShapeAndSeed()
{
    const auto nominal = VirtualEcu::defaultTable();
    // per cent of each cell off the stored table
    const auto errors = [&nominal](const VirtualEcu& e) {
        std::array<double, kTableCellCount> out{};
        const auto truth = e.trueTable();
        for (int k = 1; k <= kTableCellCount; ++k)
            out[k - 1] = 100.0 * (truth[k] - nominal[k]) / nominal[k];
        return out;
    };
    QCOMPARE(EngineModel::parseKgbError("flat:10")->shape, EngineModel::KgbError::Shape::Flat);
    QCOMPARE(EngineModel::parseKgbError("Tilt: -5")->percent, -5.0);
    for (const char* bad : {"wave", "wave:", "ripple:5", "wave:200", "wave:x", "flat:5:5"})
        QVERIFY2(!EngineModel::parseKgbError(bad), bad);

    ecu->engine.setKgbError(*EngineModel::parseKgbError("flat:10"));
    for (const double e : errors(*ecu))
        QVERIFY(std::abs(e - 10.0) < 0.5);

    for (const char* shape : {"tilt:10", "wave:10"}) {
        ecu->engine.setKgbError(*EngineModel::parseKgbError(shape));
        const auto e = errors(*ecu);
        const auto [low, high] = std::minmax_element(e.begin(), e.end());
        // not flat, never beyond the amplitude, and smooth: neighbours differ by a fraction of it
        QVERIFY2(*high - *low > 6.0, shape);
        QVERIFY2(*low > -10.6 && *high < 10.6, shape);
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 7; ++c) {
                QVERIFY2(std::abs(e[8 * r + c + 1] - e[8 * r + c]) < 5.0, shape);
                QVERIFY2(std::abs(e[8 * c + 8 + r] - e[8 * c + r]) < 5.0, shape);
            }
        // between breakpoints the need is the cells' bilinear blend, as the ECU reads its table
        const auto truth = ecu->trueTable();
        const double mid = ecu->engine.trueKgbAt(2250, 5750);
        QVERIFY(std::abs(mid - (truth[28] + truth[29] + truth[36] + truth[37]) / 4.0) < 1.0);
    }
    // another seed, another car; the same seed, the same car
    VirtualEcu other(2), same(1);
    other.engine.setKgbError(ecu->engine.kgbError());
    same.engine.setKgbError(ecu->engine.kgbError());
    QVERIFY(other.trueTable() != ecu->trueTable());
    QCOMPARE(same.trueTable(), ecu->trueTable());
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

    // a lap holds every cell of the table, and the engine speed and injection time stay on it
    ecu->engine.setHeldSteady(false);
    const auto p = VirtualEcu::defaultParameters();
    int lowestRpm = 1 << 30, highestRpm = 0, lowestTinj = 1 << 30, highestTinj = 0;
    DriveScript lap;
    lap.startMs = now;
    lap.durationMs = EngineModel::kLapMs;
    CellMeans means;
    lap.run(*ecu, [&](const DriveScript::Reply& r) {
        lowestRpm = std::min(lowestRpm, r.rpm);
        highestRpm = std::max(highestRpm, r.rpm);
        lowestTinj = std::min(lowestTinj, r.tinj);
        highestTinj = std::max(highestTinj, r.tinj);
        means.add(p, r);
    });
    for (int k = 1; k <= kTableCellCount; ++k)
        QVERIFY2(means.petrolCount[k] >= 20,
                 qPrintable(QStringLiteral("cell %1: %2").arg(k).arg(means.petrolCount[k])));
    QVERIFY(lowestRpm < p[param::mapRpmAxis] * 11 / 10 && highestRpm > p[param::mapRpmAxis + 7] * 9 / 10);
    QVERIFY(lowestTinj < p[param::mapTinjAxis] * 11 / 10 && highestTinj > p[param::mapTinjAxis + 7] * 9 / 10);
    QVERIFY(highestTinj < p[param::mapTinjAxis + 7] * 3 / 2);
}

void TestVirtualEcu::sameSeedSameDrive()
{
    const auto record = [](quint32 seed) {
        VirtualEcu car(seed);
        QList<QList<int>> replies;
        DriveScript drive;
        drive.durationMs = 120000;
        drive.statusPolls = true;
        drive.firstChangeoverMs = 20000;
        drive.changeoverEveryMs = 50000;
        drive.run(car, [&replies](const DriveScript::Reply& r) {
            replies << QList<int>{int(r.timeMs),      r.rpm,      r.tinj,           r.kgbInUse,
                                  r.ecuState,         r.onPetrol, r.live.lambda1Mv, r.live.pressureMbar,
                                  r.live.temperature1};
        });
        return replies;
    };
    const auto first = record(7);
    QCOMPARE(first.size(), 800);
    QCOMPARE(record(7), first);
    QVERIFY(record(8) != first);
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
