#include "sim/virtual_ecu.h"

#include "link/eol_rules.h"
#include "link/frames.h"
#include "link/parameter_catalogue.h"

#include <algorithm>
#include <utility>

using frames::byteAt;
using frames::value16At;

namespace {

// Length of each request as the ECU expects it; 0 for a code it does not know.
int requestLength(int code)
{
    switch (static_cast<RequestKind>(code)) {
    case RequestKind::WriteParameter:
        return 9;
    case RequestKind::WriteTableCell:
    case RequestKind::CalibrationPoll:
        return 7;
    case RequestKind::CalibrationPollCoils:
    case RequestKind::EolCommand:
        return 6;
    case RequestKind::ReadAllParameters:
    case RequestKind::ReadStatus:
    case RequestKind::FuelChangeover:
    case RequestKind::RestoreDefaults:
    case RequestKind::EnterDownload:
    case RequestKind::ReadVersion:
    case RequestKind::ReadTable:
    case RequestKind::CalibrationOn:
    case RequestKind::CalibrationOff:
    case RequestKind::ReadEolResults:
    case RequestKind::ReadCalibrationExtra:
        return 5;
    }
    return 0;
}

void append16(QByteArray& out, int value)
{
    value = std::clamp(value, 0, 0xFFFF);
    out.append(static_cast<char>(value / 256));
    out.append(static_cast<char>(value % 256));
}

void append8(QByteArray& out, int value)
{
    out.append(static_cast<char>(std::clamp(value, 0, 0xFF)));
}

} // namespace

OneBased<int, kParameterCount> VirtualEcu::defaultParameters()
{
    OneBased<int, kParameterCount> p;
    using namespace param;
    p[injectorCount] = 4;
    p[coilCount] = 4;
    p[lambda1SensorType] = 2;
    p[lambda1LeanThreshold] = 350;
    p[lambda1RichThreshold] = 650;
    p[lambda1EmulationPeriod] = 1000;
    p[lambda1EmulationDutyRich] = 50;
    p[lambda1EmulationDutyLean] = 50;
    p[lambda1EmulationDutyCutoff] = 10;
    p[minTemperature] = 5;
    p[maxTemperature] = 120;
    p[changeoverRpm] = 1800;
    p[changeoverTemperature] = 35;
    p[overlapGasToPetrol] = 200;
    p[overlapPetrolToGas] = 500;
    p[levelThresholdReserve] = 15;
    p[levelThresholdOneThird] = 40;
    p[levelThresholdTwoThirds] = 70;
    p[levelMinMv] = 500;
    p[levelMaxMv] = 4500;
    p[pressureVariation] = 10;
    p[pressureInterval] = 100;
    p[pressureCorrectionRpmThreshold] = 1500;
    p[lambdaMaxVariation] = 10;
    p[lambdaCorrectionRpmThreshold] = 1500;
    p[temperatureVariation] = 5;
    p[temperatureInterval] = 10;
    p[calibrationTemperature] = 40;
    p[calibrationPressure] = 1100;
    p[endOfGasPressure] = 600;
    p[cutoffRpmThreshold] = 1600;
    p[cutoffTinjThreshold] = 1500;
    p[cutoffKgb] = 60;
    for (int i = 0; i < 8; ++i) {
        p[mapRpmAxis + i] = EngineModel::kRpmBreakpoints[i];
        p[mapTinjAxis + i] = EngineModel::kTinjBreakpoints[i];
    }
    p[lambda2SensorType] = 2;
    p[lambda2LeanThreshold] = 350;
    p[lambda2RichThreshold] = 650;
    p[lambda2EmulationPeriod] = 1000;
    p[lambda2EmulationDutyRich] = 50;
    p[lambda2EmulationDutyLean] = 50;
    p[lambda2EmulationDutyCutoff] = 10;
    p[pressureSensorType] = 0;
    p[changeoverSwitchType] = 1;
    p[changeoverMode] = 0;
    p[startFilterTime] = 3000;
    p[warmSwitching] = 0;
    return p;
}

OneBased<int, kTableCellCount> VirtualEcu::defaultTable()
{
    OneBased<int, kTableCellCount> t;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            t[1 + 8 * r + c] = EngineModel::nominalKgb(r, c);
    return t;
}

VirtualEcu::VirtualEcu(quint32 seed) : parameters(defaultParameters()), table(defaultTable()), engine(seed)
{
    engine.kgbInUse = [this](int rpm, int tinj) { return static_cast<double>(kgbInUseAt(rpm, tinj)); };
    engine.changeoverRules = [this] {
        EngineModel::ChangeoverRules rules;
        rules.temperature = parameters[param::changeoverTemperature];
        rules.rpm = parameters[param::changeoverRpm];
        rules.onDeceleration = parameters[param::changeoverMode] == 1;
        rules.overlapToGasMs = parameters[param::overlapPetrolToGas];
        rules.overlapToPetrolMs = parameters[param::overlapGasToPetrol];
        return rules;
    };
}

std::vector<VirtualEcu::Chunk> VirtualEcu::receive(const QByteArray& bytes, qint64 nowMs)
{
    input_.append(bytes);
    std::vector<Chunk> out;
    for (;;) {
        // resynchronise on the header 'P' 'C' 0
        while (!input_.isEmpty() && input_[0] != 'P')
            input_.remove(0, 1);
        if (input_.size() < 5) break;
        if (input_[1] != 'C' || input_[2] != '\0' || byteAt(input_, 4) != requestLength(byteAt(input_, 5))) {
            input_.remove(0, 1);
            continue;
        }
        const int length = byteAt(input_, 4);
        if (input_.size() < length) break;
        const QByteArray request = input_.left(length);
        input_.remove(0, length);
        requestLog.push_back(byteAt(request, 5));

        if (keyIsOff(nowMs) || faults.silent) continue;
        const QByteArray reply = handle(request, nowMs);
        if (reply.isEmpty()) continue;

        const auto kind = static_cast<RequestKind>(byteAt(request, 5));
        const bool echo = kind == RequestKind::WriteParameter || kind == RequestKind::WriteTableCell;
        const int delay =
            (faults.slowReplies ? 400 : 0) + (echo ? std::max(0, faults.echoDelayMs.load()) : 0);
        if (faults.garbageBetweenFrames) out.push_back({QByteArray("\x13\xff\x00", 3), delay});
        const int garbageDelay = faults.garbageBetweenFrames ? 0 : delay;
        if (faults.splitFrames) {
            const qsizetype half = reply.size() / 2;
            out.push_back({reply.left(half), garbageDelay});
            out.push_back({reply.mid(half), 40});
        } else {
            out.push_back({reply, garbageDelay});
        }
    }
    return out;
}

QByteArray VirtualEcu::handle(const QByteArray& request, qint64 nowMs)
{
    const int code = byteAt(request, 5);
    engine.advanceTo(nowMs);
    QByteArray payload;
    switch (static_cast<RequestKind>(code)) {
    case RequestKind::ReadAllParameters:
        for (int id = 1; id <= kParameterCount; ++id)
            append16(payload, parameters[id]);
        break;
    case RequestKind::WriteParameter: {
        const int id = byteAt(request, 7);
        const int value = value16At(request, 8);
        if (id < 1 || id > kParameterCount || losesWrite(RequestKind::WriteParameter, id)) return {};
        parameters[id] = value;
        payload.append('\0');
        payload.append(static_cast<char>(id));
        append16(payload, faults.wrongEcho ? (value + 1) % 0x10000 : value);
        break;
    }
    case RequestKind::ReadStatus:
        return statusReply(nowMs);
    case RequestKind::FuelChangeover:
        if (faults.refuseChangeover) return {};
        engine.requestChangeover(nowMs);
        break;
    case RequestKind::RestoreDefaults:
        parameters = defaultParameters();
        table = defaultTable();
        break;
    case RequestKind::EnterDownload:
        downloadMode_ = true;
        break;
    case RequestKind::ReadVersion:
        for (const int part : version)
            append8(payload, part);
        break;
    case RequestKind::ReadTable:
        for (const int cell : table)
            append8(payload, cell);
        break;
    case RequestKind::WriteTableCell: {
        const int cell = byteAt(request, 6);
        const int value = byteAt(request, 7);
        if (cell < 1 || cell > kTableCellCount || losesWrite(RequestKind::WriteTableCell, cell)) return {};
        table[cell] = value;
        payload.append(static_cast<char>(cell));
        append8(payload, faults.wrongEcho ? (value + 1) % 0x100 : value);
        break;
    }
    case RequestKind::CalibrationPoll:
        kgbUnderTest_ = value16At(request, 6);
        return calibrationReply(code, parameters[param::coilCount], nowMs);
    case RequestKind::CalibrationPollCoils:
        return calibrationReply(code, std::max(1, byteAt(request, 6)), nowMs);
    case RequestKind::CalibrationOn:
        calibrationMode_ = true;
        engine.setHeldSteady(true);
        break;
    case RequestKind::CalibrationOff:
        calibrationMode_ = false;
        kgbUnderTest_ = 0;
        engine.setHeldSteady(false);
        break;
    case RequestKind::EolCommand:
        if (eolStartedMs_ < 0 || eolPhase(nowMs) == 0) {
            eolStartedMs_ = nowMs;
            eolCylinders_ = byteAt(request, 6);
        }
        break;
    case RequestKind::ReadEolResults:
        return eolResultsReply(nowMs);
    case RequestKind::ReadCalibrationExtra:
        for (const int injector : injectorBytes)
            append8(payload, injector);
        break;
    }
    return frames::frame(code, payload);
}

bool VirtualEcu::losesWrite(RequestKind kind, int index)
{
    const bool parameter = kind == RequestKind::WriteParameter;
    if (index == (parameter ? faults.neverConfirmParameter : faults.neverConfirmCell).load()) return true;
    if (!faults.dropFirstWrite) return false;
    bool& dropped = parameter ? firstParameterWriteDropped_[index] : firstCellWriteDropped_[index];
    return !std::exchange(dropped, true);
}

int VirtualEcu::kgbAt(int rpm, int tinj) const
{
    std::array<int, 8> rpmAxis;
    std::array<int, 8> tinjAxis;
    axes(rpmAxis, tinjAxis);
    const double kgb = interpolateTable(rpmAxis, tinjAxis, rpm, tinj, [this](int row, int column) {
        return static_cast<double>(table[1 + 8 * row + column]);
    });
    return static_cast<int>(kgb + 0.5);
}

void VirtualEcu::axes(std::array<int, 8>& rpmAxis, std::array<int, 8>& tinjAxis) const
{
    for (int i = 0; i < 8; ++i) {
        rpmAxis[i] = parameters[param::mapRpmAxis + i];
        tinjAxis[i] = parameters[param::mapTinjAxis + i];
    }
}

int VirtualEcu::kgbInUseAt(int rpm, int tinj) const
{
    return calibrationMode_ && kgbUnderTest_ > 0 ? kgbUnderTest_ : kgbAt(rpm, tinj);
}

OneBased<int, kTableCellCount> VirtualEcu::trueTable() const
{
    std::array<int, 8> rpmAxis;
    std::array<int, 8> tinjAxis;
    axes(rpmAxis, tinjAxis);
    return engine.trueTable(rpmAxis, tinjAxis);
}

QByteArray VirtualEcu::statusReply(qint64 nowMs)
{
    const EngineModel::Readings r = engine.read(nowMs);
    int tinjSum = 0;
    for (int c = 1; c <= engine.cylinders; ++c)
        tinjSum += r.petrolTinj[c];
    const int kgbTab = kgbAt(r.rpm, tinjSum / std::max(1, engine.cylinders));
    // corrected for pressure and temperature away from the calibration point
    const int pressureTerm = (parameters[param::calibrationPressure] - r.pressureMbar) / 50;
    const int temperatureTerm = (r.temperature1 - parameters[param::calibrationTemperature]) / 10;
    const int kgbCor = std::max(0, kgbTab + pressureTerm + temperatureTerm);

    QByteArray payload;
    append16(payload, r.lambda1Mv);
    append16(payload, r.lambda2Mv);
    append16(payload, kgbTab);
    append16(payload, kgbCor);
    append16(payload, r.pressureMbar);
    append16(payload, r.pressure2Mbar);
    append16(payload, r.temperature1);
    append16(payload, r.temperature2Raw);
    append16(payload, r.rpm);
    append16(payload, r.levelMv);
    for (const int tinj : r.petrolTinj)
        append16(payload, tinj);
    append8(payload, r.ecuState);
    append8(payload, r.onPetrol);
    return frames::frame(static_cast<int>(RequestKind::ReadStatus), payload);
}

QByteArray VirtualEcu::calibrationReply(int code, int coils, qint64 nowMs)
{
    const EngineModel::Readings r = engine.read(nowMs);
    // Cylinder 1's time, moved by the petrol ECU's closed loop while on gas. The coefficient under
    // test replaces the table's only in calibration mode; otherwise the table's value at the
    // operating point, so a stored cell shows as the KGB in use.
    const int tinj = r.petrolTinj[1];
    const int kgbInUse = kgbInUseAt(r.rpm, tinj);
    // rpm is counted from coil pulses: right only with the right coil count
    const int rpm = r.rpm * parameters[param::coilCount] / std::max(1, coils);

    QByteArray payload;
    append16(payload, r.lambda1Mv);
    append16(payload, r.lambda2Mv);
    append16(payload, r.pressureMbar);
    append16(payload, r.pressure2Mbar);
    append16(payload, r.temperature1);
    append16(payload, r.temperature2Raw);
    append16(payload, kgbInUse);
    append16(payload, rpm);
    append16(payload, tinj);
    append8(payload, r.ecuState);
    append8(payload, r.onPetrol);
    return frames::frame(code, payload);
}

int VirtualEcu::eolPhase(qint64 nowMs) const
{
    if (eolStartedMs_ < 0) return 0;
    const qint64 t = nowMs - eolStartedMs_;
    if (t < eolTimeline.resultsAfter) return 1;
    if (t < eolTimeline.keyOnAfter) return 2;
    if (t < eolTimeline.resetAfter) return 3;
    if (t < eolTimeline.doneAfter) return 4;
    return 0;
}

bool VirtualEcu::keyIsOff(qint64 nowMs) const
{
    if (eolStartedMs_ < 0) return false;
    const qint64 t = nowMs - eolStartedMs_;
    return t >= eolTimeline.keyOffAfter && t < eolTimeline.keyOnAfter;
}

QByteArray VirtualEcu::eolResultsReply(qint64 nowMs)
{
    const int phase = eolPhase(nowMs);
    QByteArray payload;
    append8(payload, phase);
    const bool results = phase == 2;
    for (int c = 1; c <= 8; ++c)
        append8(payload, results && c <= eolCylinders_ ? eolCylinderBytes[c] : 0);
    for (int check = 1; check <= 9; ++check)
        append8(payload, results ? eolCheckBytes[check] : 0);
    return frames::frame(static_cast<int>(RequestKind::ReadEolResults), payload);
}

bool VirtualEcu::failEolCheck(const QString& name)
{
    int indicator = -1;
    for (int i = 0; i < kEolIndicatorCount; ++i)
        if (i != kEolPowerLatch && i != kEolWatchDog && eolCheckName(i) == name) indicator = i;
    if (indicator < 0) return false;
    // the one result bit that paints it red on its own
    const auto redWith = [indicator](const EolResults& results) {
        OneBased<int, kCylinderCount> marks;
        for (const auto& [painted, red] : eolResultIndicators(results, marks))
            if (painted == indicator && red) return true;
        return false;
    };
    for (int c = 1; c <= kCylinderCount; ++c)
        for (int bit : {8, 4, 2, 1}) {
            EolResults results;
            results.eolCylinderResults[c] = bit;
            if (!redWith(results)) continue;
            eolCylinderBytes[c] |= bit;
            return true;
        }
    for (int check = 1; check <= 9; ++check)
        for (int bit : {16, 8, 4, 2, 1}) {
            EolResults results;
            results.eolChecks[check] = bit;
            if (!redWith(results)) continue;
            eolCheckBytes[check] |= bit;
            return true;
        }
    if (indicator < pairIndicator(1)) return false;
    // a pair's relay: the emulation of both its cylinders
    const int first = 2 * (indicator - pairIndicator(1)) + 1;
    eolCylinderBytes[first] |= 4;
    eolCylinderBytes[first + 1] |= 4;
    return true;
}
