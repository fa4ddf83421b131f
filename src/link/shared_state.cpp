#include "link/shared_state.h"

#include "link/parameter_catalogue.h"

#include <cmath>

void applyStartValues(SharedState& state)
{
    state.languageIndex = 1;
    state.exitRequested = 0;
    state.statusReplySeen = 0;
    state.lostLinkCount = 0;
    state.quitOnMessageClose = 0;
    state.offlineMode = 0;
    state.stableTinjRange = 200;
    state.serialPortNumber = 1;
    state.serialSettings = QStringLiteral("9600,n,8,1");
}

void clearHandshakeFlags(SharedState& state)
{
    state.versionReceived = 0;
    state.versionRequestCount = 0;
    state.parametersReceived = 0;
    state.tableReceived = 0;
}

void recomputeLevelStep(SharedState& state)
{
    const int min = state.parameterValues[param::levelMinMv];
    const int max = state.parameterValues[param::levelMaxMv];
    state.levelStep = std::abs(max - min) / 16.0;
}

void recomputeLambdaScale(SharedState& state, int sensor)
{
    const int type = state.parameterValues[sensor == 1 ? param::lambda1SensorType : param::lambda2SensorType];
    int fullScale = 0;
    int step = 0;
    switch (type) {
    case 0:
    case 1:
        fullScale = 5000;
        step = 250;
        break;
    case 2:
    case 3:
        fullScale = 1000;
        step = 50;
        break;
    default:
        return;
    }
    if (sensor == 1) {
        state.lambda1FullScale = fullScale;
        state.lambda1Step = step;
    } else {
        state.lambda2FullScale = fullScale;
        state.lambda2Step = step;
    }
}
