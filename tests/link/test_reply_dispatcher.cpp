#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/reply_dispatcher.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QByteArray payload16(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v / 256));
        out.append(static_cast<char>(v % 256));
    }
    return out;
}

QByteArray parameterDump(const OneBased<int, kParameterCount>& values)
{
    QByteArray payload;
    for (int v : values)
        payload += payload16({v});
    return frames::frame(1, payload);
}

QByteArray echo(int id, int value)
{
    return frames::frame(2, QByteArray(1, '\0') + QByteArray(1, static_cast<char>(id)) + payload16({value}));
}

QByteArray cellEcho(int cell, int value)
{
    QByteArray p;
    p.append(static_cast<char>(cell));
    p.append(static_cast<char>(value));
    return frames::frame(9, p);
}

} // namespace

class TestReplyDispatcher : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        state = SharedState{};
        dispatcher = std::make_unique<ReplyDispatcher>(state);
    }

    void parameterDumpStoresEveryIdAndRecomputesScales();
    void statusAndCalibrationRepliesShareLiveFields();
    void versionIsShownOnceUntilCleared();
    void tableCellsByPosition();
    void writeEchoNeedsTheValueSent();
    void cellEchoNeedsTheValueSent();
    void acknowledgementsIgnoreDuplicates();
    void endOfLineResults();
    void framesReadTogetherAreEachTaken();
    void aFrameStillArrivingWaitsForItsRest();
    void invalidFramesChangeNothing_data();
    void invalidFramesChangeNothing();

private:
    SharedState state;
    std::unique_ptr<ReplyDispatcher> dispatcher;
};

void TestReplyDispatcher::parameterDumpStoresEveryIdAndRecomputesScales()
{
    OneBased<int, kParameterCount> values;
    for (int id = 1; id <= kParameterCount; ++id)
        values[id] = id * 1000 + 7;
    values[param::lambda1SensorType] = 2;
    values[param::lambda2SensorType] = 0;
    values[param::levelMinMv] = 500;
    values[param::levelMaxMv] = 4500;
    values[param::warmSwitching] = 65535;
    const QByteArray dump = parameterDump(values);
    QCOMPARE(dump.size(), 127);
    QCOMPARE(frames::byteAt(dump, 10), 0x00); // parameter 3 at positions 10-11
    QCOMPARE(frames::byteAt(dump, 11), 0x02);

    QSignalSpy handled(dispatcher.get(), &ReplyDispatcher::frameHandled);
    dispatcher->onSerialEvent(dump);
    QCOMPARE(handled.count(), 1);
    QCOMPARE(state.parametersReceived, 1);
    QCOMPARE(state.parameterValues, values);
    QCOMPARE(state.levelStep, 250.0);
    QCOMPARE(state.lambda1FullScale, 1000);
    QCOMPARE(state.lambda1Step, 50);
    QCOMPARE(state.lambda2FullScale, 5000);
    QCOMPARE(state.lambda2Step, 250);

    // while the flag stands, another dump is ignored
    values[4] = 1;
    dispatcher->onSerialEvent(parameterDump(values));
    QCOMPARE(state.parameterValues[4], 4007);

    // an unknown sensor type keeps the last scale
    state.parametersReceived = 0;
    values[param::lambda1SensorType] = 7;
    values[param::levelMinMv] = 4000;
    values[param::levelMaxMv] = 500;
    dispatcher->onSerialEvent(parameterDump(values));
    QCOMPARE(state.lambda1FullScale, 1000);
    QCOMPARE(state.lambda1Step, 50);
    QCOMPARE(state.levelStep, 218.75);
}

void TestReplyDispatcher::statusAndCalibrationRepliesShareLiveFields()
{
    QByteArray status = payload16({101, 102, 103, 104, 105, 106, 107, 108, 109, 110});
    status += payload16({201, 202, 203, 204, 205, 206, 207, 65535});
    status.append(static_cast<char>(13));
    status.append(static_cast<char>(1));
    dispatcher->onSerialEvent(frames::frame(3, status));
    const LiveStatus& live = state.liveStatus;
    QCOMPARE(state.statusReceived, 1);
    QCOMPARE(state.statusReplySeen, 1);
    QCOMPARE(live.lambda1Mv, 101);
    QCOMPARE(live.lambda2Mv, 102);
    QCOMPARE(live.kgbTab, 103);
    QCOMPARE(live.kgbCor, 104);
    QCOMPARE(live.pressureMbar, 105);
    QCOMPARE(live.pressure2Mbar, 106);
    QCOMPARE(live.temperature1, 107);
    QCOMPARE(live.temperature2Raw, 108);
    QCOMPARE(live.rpm, 109);
    QCOMPARE(live.levelMv, 110);
    QCOMPARE(live.petrolTinj[1], 201);
    QCOMPARE(live.petrolTinj[7], 207);
    QCOMPARE(live.petrolTinj[8], 65535);
    QCOMPARE(live.ecuState, 13);
    QCOMPARE(live.onPetrol, 1);

    for (int code : {10, 13}) {
        QByteArray cal = payload16({301, 302, 303, 304, 305, 306, 307, 308, 309});
        cal.append(static_cast<char>(code)); // state
        cal.append(static_cast<char>(0));
        state.calibrationFrameReceived = 0;
        dispatcher->onSerialEvent(frames::frame(code, cal));
        QCOMPARE(state.calibrationFrameReceived, 1);
        QCOMPARE(live.lambda1Mv, 301);
        QCOMPARE(live.lambda2Mv, 302);
        QCOMPARE(live.pressureMbar, 303);
        QCOMPARE(live.pressure2Mbar, 304);
        QCOMPARE(live.temperature1, 305);
        QCOMPARE(live.temperature2Raw, 306);
        QCOMPARE(live.kgbInUse, 307);
        QCOMPARE(live.rpm, 308);
        QCOMPARE(live.calibrationTinj, 309);
        QCOMPARE(live.calibrationState, code);
        QCOMPARE(live.onPetrol, 0);
        // fields only the status reply carries are left alone
        QCOMPARE(live.kgbTab, 103);
        QCOMPARE(live.ecuState, 13);
    }
}

void TestReplyDispatcher::versionIsShownOnceUntilCleared()
{
    QSignalSpy shown(dispatcher.get(), &ReplyDispatcher::versionReceived);
    dispatcher->onSerialEvent(frames::frame(7, QByteArray("\x01\x04\x03", 3)));
    QCOMPARE(state.versionReceived, 1);
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(0).toString(), QString("1.4.3"));
    dispatcher->onSerialEvent(frames::frame(7, QByteArray("\x09\x09\x09", 3)));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(state.ecuVersion[1], 1);

    clearHandshakeFlags(state);
    dispatcher->onSerialEvent(frames::frame(7, QByteArray("\xff\x00\x0a", 3)));
    QCOMPARE(shown.at(1).at(0).toString(), QString("255.0.10"));
}

void TestReplyDispatcher::tableCellsByPosition()
{
    QByteArray cells;
    for (int k = 1; k <= 64; ++k)
        cells.append(static_cast<char>(k == 1 ? 0x7F : 200 + (k % 50)));
    dispatcher->onSerialEvent(frames::frame(8, cells));
    QCOMPARE(state.tableReceived, 1);
    QCOMPARE(state.tableCells[1], 127);
    QCOMPARE(state.tableCells[2], 202);
    QCOMPARE(state.tableCells[64], 214);
    dispatcher->onSerialEvent(frames::frame(8, QByteArray(64, '\0')));
    QCOMPARE(state.tableCells[1], 127);
}

void TestReplyDispatcher::writeEchoNeedsTheValueSent()
{
    QSignalSpy confirmed(dispatcher.get(), &ReplyDispatcher::parameterConfirmed);
    state.pendingParameterValues[4] = 350;
    dispatcher->onSerialEvent(echo(4, 351));
    QCOMPARE(state.parameterValues[4], 0);
    dispatcher->onSerialEvent(echo(4, 350));
    QCOMPARE(state.parameterValues[4], 350);
    QCOMPARE(confirmed.count(), 1);
    QCOMPARE(confirmed.at(0).at(0).toInt(), 4);
    QCOMPARE(confirmed.at(0).at(1).toInt(), 350);

    const SharedState before = state;
    dispatcher->onSerialEvent(echo(62, 0));
    dispatcher->onSerialEvent(echo(0, 0));
    QCOMPARE(state, before);
    QCOMPARE(confirmed.count(), 1);

    // echoes of the level range and the sensor types redo the scales they feed
    state.parameterValues[param::levelMinMv] = 500;
    state.pendingParameterValues[param::levelMaxMv] = 4500;
    dispatcher->onSerialEvent(echo(param::levelMaxMv, 4500));
    QCOMPARE(state.levelStep, 250.0);
    state.pendingParameterValues[param::lambda2SensorType] = 3;
    dispatcher->onSerialEvent(echo(param::lambda2SensorType, 3));
    QCOMPARE(state.lambda2FullScale, 1000);
    state.pendingParameterValues[param::lambda2SensorType] = 9;
    dispatcher->onSerialEvent(echo(param::lambda2SensorType, 9));
    QCOMPARE(state.parameterValues[param::lambda2SensorType], 9);
    QCOMPARE(state.lambda2FullScale, 1000);
    QCOMPARE(state.lambda1FullScale, 0);
}

void TestReplyDispatcher::cellEchoNeedsTheValueSent()
{
    QSignalSpy confirmed(dispatcher.get(), &ReplyDispatcher::tableCellConfirmed);
    state.pendingTableCells[1] = 120;
    state.pendingTableCells[64] = 255;
    dispatcher->onSerialEvent(cellEcho(1, 121));
    dispatcher->onSerialEvent(cellEcho(65, 0));
    dispatcher->onSerialEvent(cellEcho(0, 0));
    QCOMPARE(confirmed.count(), 0);
    dispatcher->onSerialEvent(cellEcho(1, 120));
    dispatcher->onSerialEvent(cellEcho(64, 255));
    QCOMPARE(state.tableCells[1], 120);
    QCOMPARE(state.tableCells[64], 255);
    QCOMPARE(confirmed.count(), 2);
    QCOMPARE(confirmed.at(1).at(0).toInt(), 64);
    QCOMPARE(confirmed.at(1).at(1).toInt(), 255);
}

void TestReplyDispatcher::acknowledgementsIgnoreDuplicates()
{
    QSignalSpy mode(dispatcher.get(), &ReplyDispatcher::calibrationModeAcknowledged);
    QSignalSpy handled(dispatcher.get(), &ReplyDispatcher::frameHandled);
    const std::pair<int, int SharedState::*> acks[] = {
        {4, &SharedState::changeoverAcknowledged},      {5, &SharedState::defaultsAcknowledged},
        {6, &SharedState::downloadAcknowledged},        {11, &SharedState::calibrationOnAcknowledged},
        {12, &SharedState::calibrationOffAcknowledged}, {14, &SharedState::eolCommandAcknowledged},
    };
    for (const auto& [code, flag] : acks) {
        dispatcher->onSerialEvent(frames::frame(code));
        QCOMPARE(state.*flag, 1);
        state.*flag = 1;
    }
    QCOMPARE(handled.count(), 6);
    QCOMPARE(mode.count(), 2);
    QCOMPARE(mode.at(0).at(0).toBool(), true);
    QCOMPARE(mode.at(1).at(0).toBool(), false);
    for (const auto& ack : acks)
        dispatcher->onSerialEvent(frames::frame(ack.first));
    QCOMPARE(handled.count(), 6);
    QCOMPARE(mode.count(), 2);

    // a reply of any length acknowledges; the payload is not read
    state.changeoverAcknowledged = 0;
    dispatcher->onSerialEvent(frames::frame(4, QByteArray(20, 'x')));
    QCOMPARE(state.changeoverAcknowledged, 1);

    dispatcher->onSerialEvent(frames::frame(16, QByteArray("\x01\x01\x01\x01\x00\x00\x00\x02", 8)));
    QCOMPARE(state.calibrationExtraReceived, 1);
    QCOMPARE(state.calibrationExtra[1], 1);
    QCOMPARE(state.calibrationExtra[8], 2);
    dispatcher->onSerialEvent(frames::frame(16, QByteArray(8, '\x05')));
    QCOMPARE(state.calibrationExtra[1], 1);
}

void TestReplyDispatcher::endOfLineResults()
{
    state.eolResultsPending = 1;
    QByteArray p;
    p.append(static_cast<char>(2));
    for (int i = 1; i <= 8; ++i)
        p.append(static_cast<char>(i));
    for (int i = 1; i <= 9; ++i)
        p.append(static_cast<char>(0x10 + i));
    dispatcher->onSerialEvent(frames::frame(15, p));
    QCOMPARE(state.eolResultsPending, 0);
    QCOMPARE(state.eolResults.eolPhase, 2);
    QCOMPARE(state.eolResults.eolPreviousPhase, 0);
    QCOMPARE(state.eolResults.eolCylinderResults[1], 1);
    QCOMPARE(state.eolResults.eolCylinderResults[8], 8);
    QCOMPARE(state.eolResults.eolChecks[1], 0x11);
    QCOMPARE(state.eolResults.eolChecks[9], 0x19);
    p[0] = 4;
    dispatcher->onSerialEvent(frames::frame(15, p));
    p[0] = 0;
    dispatcher->onSerialEvent(frames::frame(15, p));
    QCOMPARE(state.eolResults.eolPhase, 0);
    QCOMPARE(state.eolResults.eolPreviousPhase, 4);
}

void TestReplyDispatcher::framesReadTogetherAreEachTaken()
{
    QByteArray status(38, '\0');
    status[16] = 0x0b; // rpm 3000
    status[17] = static_cast<char>(0xb8);
    QByteArray calibration(20, '\0');
    calibration[14] = 0x03; // rpm 800
    calibration[15] = 0x20;
    const QByteArray read = frames::frame(3, status) + frames::frame(10, calibration) + cellEcho(64, 9);
    state.pendingTableCells[64] = 9;
    QSignalSpy handled(dispatcher.get(), &ReplyDispatcher::frameHandled);
    QSignalSpy confirmed(dispatcher.get(), &ReplyDispatcher::tableCellConfirmed);
    QCOMPARE(ReplyDispatcher::wholeFramesEnd(read, 0, true), read.size());
    dispatcher->onSerialEvent(read);
    QCOMPARE(handled.count(), 3);
    QCOMPARE(handled[0][0].toInt(), 3);
    QCOMPARE(handled[1][0].toInt(), 10);
    QCOMPARE(handled[2][0].toInt(), 9);
    QCOMPARE(confirmed.count(), 1);
    // the later reply wins where both carry the same value
    QCOMPARE(state.liveStatus.rpm, 800);
    QCOMPARE(state.statusReceived, 1);
    QCOMPARE(state.calibrationFrameReceived, 1);
}

void TestReplyDispatcher::aFrameStillArrivingWaitsForItsRest()
{
    const QByteArray status = frames::frame(3, QByteArray(38, '\x11'));
    const QByteArray version = frames::frame(7, QByteArray("\x01\x04\x03", 3));
    // what a read hands over now, and where the rest begins
    QCOMPARE(ReplyDispatcher::wholeFramesEnd(status + version.left(6), 0, true), status.size());
    for (int cut = 3; cut < version.size(); ++cut)
        QCOMPARE(ReplyDispatcher::partialFrameStart(status + version.left(cut)), status.size());
    QCOMPARE(ReplyDispatcher::partialFrameStart(status + version), status.size() + version.size());
    QCOMPARE(ReplyDispatcher::partialFrameStart(QByteArray("noise")), 5);
    // a frame whose rest was lost, glued to the next reply, is not taken for one frame
    const QByteArray glued = status.left(20) + status;
    QCOMPARE(ReplyDispatcher::wholeFramesEnd(glued, 0, true), 0);
    QCOMPARE(ReplyDispatcher::wholeFramesEnd(glued, 20, true), glued.size());
}

void TestReplyDispatcher::invalidFramesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray status = frames::frame(3, QByteArray(38, '\x01'));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("three bytes") << QByteArray("PC\0", 3);
    QTest::newRow("four bytes, length 4") << QByteArray("PC\0\x04", 4);
    QTest::newRow("two status frames and a part of a third") << status + status + status.left(10);
    QTest::newRow("trailing byte") << status + QByteArray(1, 'x');
    QTest::newRow("partial frame") << status.left(30);
    QTest::newRow("unknown code") << frames::frame(17, QByteArray(10, '\x01'));
    QTest::newRow("code 0") << frames::frame(0);
    // the length byte matches but the layout does not fit
    QTest::newRow("short dump") << frames::frame(1, QByteArray(121, '\x01'));
    QTest::newRow("short echo") << frames::frame(2, QByteArray(3, '\x01'));
    QTest::newRow("short status") << frames::frame(3, QByteArray(37, '\x01'));
    QTest::newRow("short version") << frames::frame(7, QByteArray(2, '\x01'));
    QTest::newRow("short table") << frames::frame(8, QByteArray(63, '\x01'));
    QTest::newRow("short cell echo") << frames::frame(9, QByteArray(1, '\x01'));
    QTest::newRow("short calibration") << frames::frame(10, QByteArray(19, '\x01'));
    QTest::newRow("short coil calibration") << frames::frame(13, QByteArray(19, '\x01'));
    QTest::newRow("short eol results") << frames::frame(15, QByteArray(17, '\x01'));
    QTest::newRow("short extra") << frames::frame(16, QByteArray(7, '\x01'));
}

void TestReplyDispatcher::invalidFramesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    state.pendingParameterValues[1] = 0x0101;
    state.pendingTableCells[1] = 1;
    state.eolResultsPending = 1;
    const SharedState before = state;
    QSignalSpy handled(dispatcher.get(), &ReplyDispatcher::frameHandled);
    dispatcher->onSerialEvent(bytes);
    QCOMPARE(handled.count(), 0);
    QVERIFY(state == before);
}

QTEST_GUILESS_MAIN(TestReplyDispatcher)
#include "test_reply_dispatcher.moc"
