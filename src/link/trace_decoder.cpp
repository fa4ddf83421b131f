#include "link/trace_decoder.h"

#include "link/frames.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace {
const QByteArray kHeader("PC\0", 3);

int byteAt(const QByteArray& chunk, qsizetype index)
{
    return static_cast<std::uint8_t>(chunk[index]);
}

QString bytes(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(count);
}
} // namespace

QString requestName(int code)
{
    static const std::array<const char*, 16> names{
        "ReadAllParameters",    "WriteParameter",  "ReadStatus",     "FuelChangeover",
        "RestoreDefaults",      "EnterDownload",   "ReadVersion",    "ReadTable",
        "WriteTableCell",       "CalibrationPoll", "CalibrationOn",  "CalibrationOff",
        "CalibrationPollCoils", "EolCommand",      "ReadEolResults", "ReadCalibrationExtra",
    };
    if (code < 1 || code > static_cast<int>(names.size())) return {};
    return QLatin1String(names[static_cast<std::size_t>(code - 1)]);
}

QString TraceDecoder::describe(const QByteArray& chunk)
{
    const qsizetype size = chunk.size();
    if (size == 0) return QStringLiteral("empty");

    QStringList parts;
    qsizetype at = 0;
    if (owed_ > 0) {
        const qsizetype take = std::min<qsizetype>(owed_, size);
        const qsizetype header = chunk.indexOf(kHeader);
        if (header < 0 || header >= take) {
            owed_ -= static_cast<int>(take);
            parts << QStringLiteral("rest of %1 (%2)").arg(owedName_, bytes(take));
            at = take;
        } else {
            owed_ = 0; // a new frame began before the missing bytes came: they never will
        }
    }
    // One whole frame is judged as the receiver judges it, by the length byte alone: a header
    // other than "PC" still makes a frame.
    if (at == 0 && size >= frames::kHeaderLength && byteAt(chunk, 3) == size)
        return frameName(chunk, 0, static_cast<int>(size));

    while (at < size) {
        qsizetype header = chunk.indexOf(kHeader, at);
        if (header < 0) header = size;
        if (header > at) {
            parts << QStringLiteral("noise (%1)").arg(bytes(header - at));
            at = header;
            continue;
        }
        const qsizetype left = size - at;
        if (left < 4) {
            parts << QStringLiteral("partial frame (%1)").arg(bytes(left));
            break;
        }
        const int length = byteAt(chunk, at + 3);
        if (length < frames::kHeaderLength) {
            // no frame is this short: skip to the next header
            const qsizetype next = chunk.indexOf(kHeader, at + 1);
            const qsizetype end = next < 0 ? size : next;
            parts << QStringLiteral("noise (%1)").arg(bytes(end - at));
            at = end;
            continue;
        }
        if (length <= left) {
            parts << frameName(chunk, at, length);
            at += length;
            continue;
        }
        // the code byte may still be on its way
        const QString name = left >= frames::kHeaderLength ? frameName(chunk, at, static_cast<int>(left))
                                                           : QStringLiteral("frame");
        parts << QStringLiteral("partial %1 (%2 of %3 bytes)").arg(name).arg(left).arg(length);
        owed_ = length - static_cast<int>(left);
        owedName_ = name;
        break;
    }
    return parts.join(QStringLiteral(" + "));
}

QString TraceDecoder::frameName(const QByteArray& chunk, qsizetype at, int length) const
{
    const int code = byteAt(chunk, at + 4);
    QString name = requestName(code);
    if (name.isEmpty()) name = QStringLiteral("unknown code %1").arg(code);
    const bool reply = direction_ == TraceDirection::FromEcu;
    if (reply) name += QStringLiteral(" reply");
    // 1-based positions of the frame, as the protocol counts them
    const auto byte = [&](int position) { return byteAt(chunk, at + position - 1); };
    const auto value16 = [&](int position) { return byte(position) * 256 + byte(position + 1); };
    switch (static_cast<RequestKind>(code)) {
    case RequestKind::WriteParameter:
        if (length >= 9) name += QStringLiteral(" id %1 = %2").arg(byte(7)).arg(value16(8));
        break;
    case RequestKind::WriteTableCell:
        if (length >= 7) name += QStringLiteral(" cell %1 = %2").arg(byte(6)).arg(byte(7));
        break;
    case RequestKind::CalibrationPoll:
        if (!reply && length >= 7) name += QStringLiteral(" value %1").arg(value16(6));
        break;
    case RequestKind::CalibrationPollCoils:
        if (!reply && length >= 6) name += QStringLiteral(" coils %1").arg(byte(6));
        break;
    case RequestKind::EolCommand:
        if (!reply && length >= 6) name += QStringLiteral(" step %1").arg(byte(6));
        break;
    default:
        break;
    }
    return name;
}
