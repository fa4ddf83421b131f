#include "link/reply_dispatcher.h"

#include "link/frames.h"
#include "link/parameter_catalogue.h"

using frames::byteAt;
using frames::value16At;

ReplyDispatcher::ReplyDispatcher(SharedState& state, QObject* parent) : QObject(parent), state_(state) {}

int ReplyDispatcher::minimumLength(int code)
{
    switch (static_cast<RequestKind>(code)) {
    case RequestKind::ReadAllParameters:
        return 127; // 61 values at 6..127
    case RequestKind::WriteParameter:
        return 9; // id at 7, value at 8-9
    case RequestKind::ReadStatus:
        return 43; // values at 6..41, state 42, fuel 43
    case RequestKind::ReadVersion:
        return 8; // 6, 7, 8
    case RequestKind::ReadTable:
        return 69; // cells at 6..69
    case RequestKind::WriteTableCell:
        return 7; // cell at 6, value at 7
    case RequestKind::CalibrationPoll:
    case RequestKind::CalibrationPollCoils:
        return 25; // values at 6..23, state 24, fuel 25
    case RequestKind::ReadEolResults:
        return 23; // phase 6, cylinders 7..14, checks 15..23
    case RequestKind::ReadCalibrationExtra:
        return 13; // 6..13
    default:
        return 5; // the code itself
    }
}

namespace {
const QByteArray kHeader("PC\0", 3);
}

qsizetype ReplyDispatcher::wholeFramesEnd(const QByteArray& bytes, qsizetype from, bool headed)
{
    qsizetype p = from;
    while (bytes.size() - p >= 5) {
        const qsizetype length = static_cast<unsigned char>(bytes[p + 3]);
        if (length < 5 || p + length > bytes.size()) break;
        if (headed) {
            if (!QByteArrayView(bytes).sliced(p, 3).startsWith(kHeader)) break;
            const qsizetype next = bytes.indexOf(kHeader, p + 1);
            if (next >= 0 && next < p + length) break;
        }
        p += length;
    }
    return p;
}

qsizetype ReplyDispatcher::partialFrameStart(const QByteArray& bytes)
{
    const qsizetype start = bytes.lastIndexOf(kHeader);
    if (start < 0) return bytes.size();
    if (bytes.size() - start < 4) return start;
    const qsizetype length = static_cast<unsigned char>(bytes[start + 3]);
    return length >= 5 && start + length > bytes.size() ? start : bytes.size();
}

qsizetype ReplyDispatcher::wholeFrameStart(const QByteArray& bytes, qsizetype from)
{
    for (qsizetype p = bytes.indexOf(kHeader, from); p >= 0; p = bytes.indexOf(kHeader, p + 1))
        if (wholeFramesEnd(bytes, p, true) > p) return p;
    return bytes.size();
}

void ReplyDispatcher::onSerialEvent(const QByteArray& bytes)
{
    // a partial frame or trailing bytes: all dropped whole
    if (bytes.isEmpty() || wholeFramesEnd(bytes) != bytes.size()) return;
    for (qsizetype p = 0; p < bytes.size();) {
        const int length = byteAt(bytes, static_cast<int>(p) + 4);
        dispatchOne(bytes.sliced(p, length));
        p += length;
    }
}

void ReplyDispatcher::dispatchOne(const QByteArray& frame)
{
    const int code = byteAt(frame, 5);
    if (frame.size() < minimumLength(code)) return;
    if (code >= 1 && code <= static_cast<int>(RequestKind::ReadCalibrationExtra)) emit replyReceived(code);
    if (dispatch(frame)) emit frameHandled(code);
}

bool ReplyDispatcher::dispatch(const QByteArray& frame)
{
    SharedState& s = state_;
    switch (static_cast<RequestKind>(byteAt(frame, 5))) {
    case RequestKind::ReadAllParameters:
        if (s.parametersReceived != 0) return false;
        storeParameterDump(frame);
        return true;
    case RequestKind::WriteParameter:
        return acceptParameterEcho(frame);
    case RequestKind::ReadStatus:
        storeStatus(frame);
        return true;
    case RequestKind::FuelChangeover:
        if (s.changeoverAcknowledged != 0) return false;
        s.changeoverAcknowledged = 1;
        return true;
    case RequestKind::RestoreDefaults:
        if (s.defaultsAcknowledged != 0) return false;
        s.defaultsAcknowledged = 1;
        return true;
    case RequestKind::EnterDownload:
        if (s.downloadAcknowledged != 0) return false;
        s.downloadAcknowledged = 1;
        return true;
    case RequestKind::ReadVersion:
        if (s.versionReceived != 0) return false;
        s.versionReceived = 1;
        for (int i = 1; i <= 3; ++i)
            s.ecuVersion[i] = byteAt(frame, 5 + i);
        emit versionReceived(
            QStringLiteral("%1.%2.%3").arg(s.ecuVersion[1]).arg(s.ecuVersion[2]).arg(s.ecuVersion[3]));
        return true;
    case RequestKind::ReadTable:
        if (s.tableReceived != 0) return false;
        s.tableReceived = 1;
        for (int k = 1; k <= kTableCellCount; ++k)
            s.tableCells[k] = byteAt(frame, 5 + k);
        return true;
    case RequestKind::WriteTableCell:
        return acceptCellEcho(frame);
    case RequestKind::CalibrationPoll:
    case RequestKind::CalibrationPollCoils:
        storeCalibrationFrame(frame);
        return true;
    case RequestKind::CalibrationOn:
        if (s.calibrationOnAcknowledged != 0) return false;
        s.calibrationOnAcknowledged = 1;
        emit calibrationModeAcknowledged(true);
        return true;
    case RequestKind::CalibrationOff:
        if (s.calibrationOffAcknowledged != 0) return false;
        s.calibrationOffAcknowledged = 1;
        emit calibrationModeAcknowledged(false);
        return true;
    case RequestKind::EolCommand:
        if (s.eolCommandAcknowledged != 0) return false;
        s.eolCommandAcknowledged = 1;
        return true;
    case RequestKind::ReadEolResults:
        storeEolResults(frame);
        return true;
    case RequestKind::ReadCalibrationExtra:
        if (s.calibrationExtraReceived != 0) return false;
        for (int i = 1; i <= 8; ++i)
            s.calibrationExtra[i] = byteAt(frame, 5 + i);
        s.calibrationExtraReceived = 1;
        return true;
    }
    return false; // an unknown code
}

void ReplyDispatcher::storeParameterDump(const QByteArray& frame)
{
    state_.parametersReceived = 1;
    for (int id = 1; id <= kParameterCount; ++id)
        state_.parameterValues[id] = value16At(frame, 4 + 2 * id);
    recomputeLevelStep(state_);
    recomputeLambdaScale(state_, 1);
    recomputeLambdaScale(state_, 2);
}

bool ReplyDispatcher::acceptParameterEcho(const QByteArray& frame)
{
    const int id = byteAt(frame, 7);
    const int value = value16At(frame, 8);
    if (id < 1 || id > kParameterCount || value != state_.pendingParameterValues[id]) return false;
    state_.parameterValues[id] = value;
    if (id == param::levelMinMv || id == param::levelMaxMv) recomputeLevelStep(state_);
    if (id == param::lambda1SensorType) recomputeLambdaScale(state_, 1);
    if (id == param::lambda2SensorType) recomputeLambdaScale(state_, 2);
    emit parameterConfirmed(id, value);
    return true;
}

bool ReplyDispatcher::acceptCellEcho(const QByteArray& frame)
{
    const int cell = byteAt(frame, 6);
    const int value = byteAt(frame, 7);
    if (cell < 1 || cell > kTableCellCount || value != state_.pendingTableCells[cell]) return false;
    state_.tableCells[cell] = value;
    emit tableCellConfirmed(cell, value);
    return true;
}

void ReplyDispatcher::storeStatus(const QByteArray& frame)
{
    state_.statusReceived = 1;
    state_.statusReplySeen = 1;
    LiveStatus& live = state_.liveStatus;
    live.lambda1Mv = value16At(frame, 6);
    live.lambda2Mv = value16At(frame, 8);
    live.kgbTab = value16At(frame, 10);
    live.kgbCor = value16At(frame, 12);
    live.pressureMbar = value16At(frame, 14);
    live.pressure2Mbar = value16At(frame, 16);
    live.temperature1 = value16At(frame, 18);
    live.temperature2Raw = value16At(frame, 20);
    live.rpm = value16At(frame, 22);
    live.levelMv = value16At(frame, 24);
    for (int cylinder = 1; cylinder <= kCylinderCount; ++cylinder)
        live.petrolTinj[cylinder] = value16At(frame, 24 + 2 * cylinder);
    live.ecuState = byteAt(frame, 42);
    live.onPetrol = byteAt(frame, 43);
}

void ReplyDispatcher::storeCalibrationFrame(const QByteArray& frame)
{
    state_.calibrationFrameReceived = 1;
    LiveStatus& live = state_.liveStatus;
    live.lambda1Mv = value16At(frame, 6);
    live.lambda2Mv = value16At(frame, 8);
    live.pressureMbar = value16At(frame, 10);
    live.pressure2Mbar = value16At(frame, 12);
    live.temperature1 = value16At(frame, 14);
    live.temperature2Raw = value16At(frame, 16);
    live.kgbInUse = value16At(frame, 18);
    live.rpm = value16At(frame, 20);
    live.calibrationTinj = value16At(frame, 22);
    live.calibrationState = byteAt(frame, 24);
    live.onPetrol = byteAt(frame, 25);
}

void ReplyDispatcher::storeEolResults(const QByteArray& frame)
{
    EolResults& eol = state_.eolResults;
    eol.eolPreviousPhase = eol.eolPhase;
    state_.eolResultsPending = 0;
    eol.eolPhase = byteAt(frame, 6);
    for (int cylinder = 1; cylinder <= kCylinderCount; ++cylinder)
        eol.eolCylinderResults[cylinder] = byteAt(frame, 6 + cylinder);
    for (int check = 1; check <= 9; ++check)
        eol.eolChecks[check] = byteAt(frame, 14 + check);
}
