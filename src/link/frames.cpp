#include "link/frames.h"

namespace frames {
namespace {

QByteArray bare(RequestKind kind)
{
    return frame(static_cast<int>(kind));
}

bool fitsByte(int value)
{
    return value >= 0 && value <= 0xFF;
}
bool fits16(int value)
{
    return value >= 0 && value <= 0xFFFF;
}

QByteArray bytes16(int value)
{
    QByteArray out;
    out.append(static_cast<char>(value / 256));
    out.append(static_cast<char>(value % 256));
    return out;
}

} // namespace

QByteArray frame(int code, const QByteArray& payload)
{
    Q_ASSERT(payload.size() + kHeaderLength <= 0xFF);
    QByteArray out;
    out.reserve(kHeaderLength + payload.size());
    out.append('P');
    out.append('C');
    out.append('\0');
    out.append(static_cast<char>(kHeaderLength + payload.size()));
    out.append(static_cast<char>(code));
    out.append(payload);
    return out;
}

QByteArray readAllParameters()
{
    return bare(RequestKind::ReadAllParameters);
}
QByteArray readStatus()
{
    return bare(RequestKind::ReadStatus);
}
QByteArray fuelChangeover()
{
    return bare(RequestKind::FuelChangeover);
}
QByteArray restoreDefaults()
{
    return bare(RequestKind::RestoreDefaults);
}
QByteArray enterDownload()
{
    return bare(RequestKind::EnterDownload);
}
QByteArray readVersion()
{
    return bare(RequestKind::ReadVersion);
}
QByteArray readTable()
{
    return bare(RequestKind::ReadTable);
}
QByteArray calibrationOn()
{
    return bare(RequestKind::CalibrationOn);
}
QByteArray calibrationOff()
{
    return bare(RequestKind::CalibrationOff);
}
QByteArray readEolResults()
{
    return bare(RequestKind::ReadEolResults);
}
QByteArray readCalibrationExtra()
{
    return bare(RequestKind::ReadCalibrationExtra);
}

std::optional<QByteArray> writeParameter(int id, int value)
{
    if (id < 1 || id > 61 || !fits16(value)) return std::nullopt;
    QByteArray payload;
    payload.append('\0');
    payload.append(static_cast<char>(id));
    payload.append(bytes16(value));
    return frame(static_cast<int>(RequestKind::WriteParameter), payload);
}

std::optional<QByteArray> writeTableCell(int cell, int value)
{
    if (cell < 1 || cell > 64 || !fitsByte(value)) return std::nullopt;
    QByteArray payload;
    payload.append(static_cast<char>(cell));
    payload.append(static_cast<char>(value));
    return frame(static_cast<int>(RequestKind::WriteTableCell), payload);
}

std::optional<QByteArray> calibrationPoll(int value)
{
    if (!fits16(value)) return std::nullopt;
    return frame(static_cast<int>(RequestKind::CalibrationPoll), bytes16(value));
}

std::optional<QByteArray> calibrationPollCoils(int coilCount)
{
    if (!fitsByte(coilCount)) return std::nullopt;
    return frame(static_cast<int>(RequestKind::CalibrationPollCoils),
                 QByteArray(1, static_cast<char>(coilCount)));
}

std::optional<QByteArray> eolCommand(int step)
{
    if (!fitsByte(step)) return std::nullopt;
    return frame(static_cast<int>(RequestKind::EolCommand), QByteArray(1, static_cast<char>(step)));
}

} // namespace frames
