#include "sim/in_process_link.h"

#include "sim/virtual_ecu.h"

bool InProcessLink::send(const QByteArray& frame)
{
    emit sent(frame);
    for (const VirtualEcu::Chunk& chunk : ecu_.receive(frame, now_))
        emit received(chunk.bytes);
    return true;
}
