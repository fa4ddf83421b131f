#include "ui/common/app_context.h"

#include "link/serial_ports.h"

QString selectedPortName(const SharedState& state)
{
    return state.serialPortName.isEmpty() ? portNameForNumber(state.serialPortNumber) : state.serialPortName;
}
