#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// Request frames, PC to ECU:
//   byte 1..2  'P' 'C'      header
//   byte 3     0x00
//   byte 4     N            total length, header included
//   byte 5     command code
//   byte 6..N  payload
// No checksum, no terminator; one write of N bytes. Replies use the same length byte and
// put the command code they answer at byte 5. Positions here are 1-based, like the protocol's.
enum class RequestKind : std::uint8_t {
    ReadAllParameters = 1,
    WriteParameter = 2,
    ReadStatus = 3,
    FuelChangeover = 4,
    RestoreDefaults = 5,
    EnterDownload = 6,
    ReadVersion = 7,
    ReadTable = 8,
    WriteTableCell = 9,
    CalibrationPoll = 10,
    CalibrationOn = 11,
    CalibrationOff = 12,
    CalibrationPollCoils = 13,
    EolCommand = 14,
    ReadEolResults = 15,
    ReadCalibrationExtra = 16,
};

namespace frames {

constexpr int kHeaderLength = 5;

// The byte at 1-based position `position`; the caller has checked the length.
inline int byteAt(const QByteArray& frame, int position)
{
    return static_cast<std::uint8_t>(frame[position - 1]);
}

// 16-bit value, high byte at `position`, low byte after it.
inline int value16At(const QByteArray& frame, int position)
{
    return byteAt(frame, position) * 256 + byteAt(frame, position + 1);
}

// The 5-byte frames: 'P' 'C' 0 5 code.
QByteArray readAllParameters();
QByteArray readStatus();
QByteArray fuelChangeover();
QByteArray restoreDefaults();
QByteArray enterDownload();
QByteArray readVersion();
QByteArray readTable();
QByteArray calibrationOn();
QByteArray calibrationOff();
QByteArray readEolResults();
QByteArray readCalibrationExtra();

// The builders below refuse (nullopt) what the frame cannot carry rather than truncate it:
// an id outside 1..61, a cell outside 1..64, a value outside its field.

// 'P' 'C' 0 9 2 | 0x00 id high low
std::optional<QByteArray> writeParameter(int id, int value);
// 'P' 'C' 0 7 9 | cell value
std::optional<QByteArray> writeTableCell(int cell, int value);
// 'P' 'C' 0 7 10 | high low   (coefficient under test, 0..65535)
std::optional<QByteArray> calibrationPoll(int value);
// 'P' 'C' 0 6 13 | coil count (one byte)
std::optional<QByteArray> calibrationPollCoils(int coilCount);
// 'P' 'C' 0 6 14 | step (0..255)
std::optional<QByteArray> eolCommand(int step);

// Any frame with the header above; used by the builders and by the virtual ECU for replies.
QByteArray frame(int code, const QByteArray& payload = {});

} // namespace frames
