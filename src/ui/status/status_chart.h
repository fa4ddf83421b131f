#pragma once

#include <array>

class QLineEdit;
class QWidget;
class StripChart;

// The status window's chart: both oxygen sensors, the engine speed, cylinder 1's petrol and gas
// times and the pressure, each as its box shows it.
enum StatusChannel {
    Lambda1Channel,
    Lambda2Channel,
    RpmChannel,
    PetrolTinjChannel,
    GasTinjChannel,
    PressureChannel
};
constexpr int kStatusChannels = 6;
enum StatusAxis { MillivoltAxis, MillibarAxis, RpmAxis, TinjAxis };

StripChart* makeStatusChart(QWidget* parent);

// The number a box shows, or NaN (a gap) when it shows "NC" or anything else that is not a number:
// the chart plots what the technician reads, never a value of its own.
double shownValue(const QLineEdit* box);
