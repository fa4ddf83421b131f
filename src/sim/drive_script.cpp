#include "sim/drive_script.h"

#include "link/reply_dispatcher.h"
#include "sim/virtual_ecu.h"

qint64 DriveScript::run(VirtualEcu& ecu, const std::function<void(const Reply&)>& onReply) const
{
    SharedState state;
    ReplyDispatcher dispatcher(state);
    const auto ask = [&](const QByteArray& request, qint64 now) {
        QByteArray reply;
        for (const VirtualEcu::Chunk& chunk : ecu.receive(request, now))
            reply += chunk.bytes;
        if (!reply.isEmpty()) dispatcher.onSerialEvent(reply);
        return !reply.isEmpty();
    };

    const auto poll = frames::calibrationPoll(calibrationKgb);
    qint64 nextChangeover = firstChangeoverMs < 0 ? -1 : startMs + firstChangeoverMs;
    bool changeoverPending = false;
    const qint64 end = startMs + durationMs;
    qint64 now = startMs;
    for (; now < end; now += pollMs) {
        if (nextChangeover >= 0 && now >= nextChangeover) {
            changeoverPending = true;
            state.changeoverAcknowledged = 0;
            nextChangeover = changeoverEveryMs > 0 ? nextChangeover + changeoverEveryMs : -1;
        }
        if (changeoverPending) {
            ask(frames::fuelChangeover(), now);
            changeoverPending = state.changeoverAcknowledged == 0;
        }
        if (calibrationPolls && poll && ask(*poll, now)) {
            const LiveStatus& l = state.liveStatus;
            onReply({now, RequestKind::CalibrationPoll, l.rpm, l.calibrationTinj, l.kgbInUse,
                     l.calibrationState, l.onPetrol == 1, l});
        }
        if (statusPolls && ask(frames::readStatus(), now)) {
            const LiveStatus& l = state.liveStatus;
            onReply({now, RequestKind::ReadStatus, l.rpm, l.petrolTinj[1], l.kgbTab, l.ecuState,
                     l.onPetrol == 1, l});
        }
    }
    return now;
}
