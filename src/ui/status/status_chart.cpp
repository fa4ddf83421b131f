#include "ui/status/status_chart.h"

#include "ui/common/strip_chart.h"

#include <QLineEdit>

#include <cmath>

namespace {

const StripChart::Axis kAxes[] = {
    {{"mV"}, 1000, Qt::AlignLeft},
    {{"mbar"}, 3000, Qt::AlignLeft},
    {{"giri/min", "rpm", "devir/dk"}, 5000, Qt::AlignRight},
    {{"msec"}, 2000, Qt::AlignRight},
};

// petrol red and gas green, as the window's lamps
const StripChart::Channel kChannels[kStatusChannels] = {
    {{"Lambda 1 mV", "Oxygen sensor 1 mV", "Lambda 1 mV"}, MillivoltAxis, QColor(230, 140, 0)},
    {{"Lambda 2 mV", "Oxygen sensor 2 mV", "Lambda 2 mV"}, MillivoltAxis, QColor(160, 0, 200)},
    {{"Giri/min", "RPM", "Devir/dk"}, RpmAxis, QColor(0, 0, 220)},
    {{"Benzina cil. 1 msec", "Petrol cyl. 1 msec", "Benzin sil. 1 msec"}, TinjAxis, QColor(220, 0, 0)},
    {{"Gas cil. 1 msec", "Gas cyl. 1 msec", "Gaz sil. 1 msec"}, TinjAxis, QColor(0, 160, 0)},
    {{"Pressione mbar", "Pressure mbar", "Basinc mbar"}, MillibarAxis, QColor(0, 150, 160)},
};

} // namespace

StripChart* makeStatusChart(QWidget* parent)
{
    return new StripChart(kAxes, kChannels, parent);
}

double shownValue(const QLineEdit* box)
{
    bool ok = false;
    const double v = box->text().trimmed().toDouble(&ok);
    return ok ? v : std::nan("");
}
