#include "archive/status_row.h"

#include "archive/datalog.h"

void StatusValues::restartAverages()
{
    lambda1Average_.reset();
    lambda2Average_.reset();
    levelAverage_.reset();
}

void StatusValues::seed(const LiveStatus& live)
{
    lambda1Average_.seed(live.lambda1Mv);
    lambda2Average_.seed(live.lambda2Mv);
    levelAverage_.seed(live.levelMv);
}

StatusValues::Views StatusValues::tick(const LiveStatus& live, bool rpmEnabled,
                                       const std::array<bool, kCylinderCount>& tinjEnabled)
{
    Views v;
    v.lambda1 = lambda1Missing_.apply(live.lambda1Mv <= 5, QString::number(live.lambda1Mv));
    v.lambda2 = lambda2Missing_.apply(live.lambda2Mv <= 5, QString::number(live.lambda2Mv));
    lambda1Average_.add(live.lambda1Mv);
    lambda2Average_.add(live.lambda2Mv);
    levelAverage_.add(live.levelMv);
    for (int i = 0; i < kCylinderCount; ++i) {
        const auto c = static_cast<size_t>(i);
        v.tinj[c] = tinjWatch_[c].apply(live.petrolTinj[i + 1], tinjEnabled[c]);
    }
    v.rpm = rpmWatch_.apply(live.rpm, rpmEnabled);
    v.temperature1 = temperature1Missing_.apply(live.temperature1 == 0, QString::number(live.temperature1));
    v.temperature2 = temperature2Missing_.apply(live.temperature2Raw == 0,
                                                QString::number(temperature2Celsius(live.temperature2Raw)));
    v.pressure = pressureMissing_.apply(live.pressureMbar == 10, QString::number(live.pressureMbar));
    v.pressure2 = pressure2Missing_.apply(live.pressure2Mbar == 10, QString::number(live.pressure2Mbar));
    return v;
}

void StatusValues::row(const LiveStatus& live, std::vector<int>& out) const
{
    const auto shown = [](bool nc, int value) { return nc ? kDatalogNoValue : value; };
    out = {shown(lambda1Missing_.showsNc(live.lambda1Mv <= 5), live.lambda1Mv),
           shown(lambda2Missing_.showsNc(live.lambda2Mv <= 5), live.lambda2Mv),
           lambda1Average_.shown().toInt(), lambda2Average_.shown().toInt(),
           shown(rpmWatch_.showsNc(live.rpm), live.rpm)};
    for (int i = 1; i <= kCylinderCount; ++i)
        out.push_back(
            shown(tinjWatch_[static_cast<size_t>(i - 1)].showsNc(live.petrolTinj[i]), live.petrolTinj[i]));
    // no gas time while the car runs on petrol
    const bool petrol = live.onPetrol == 1;
    for (int i = 1; i <= kCylinderCount; ++i)
        out.push_back(shown(petrol || tinjWatch_[static_cast<size_t>(i - 1)].showsNc(live.petrolTinj[i]),
                            gasInjectionTime(live.petrolTinj[i], live.kgbCor)));
    out.insert(out.end(), {shown(pressureMissing_.showsNc(live.pressureMbar == 10), live.pressureMbar),
                           shown(pressure2Missing_.showsNc(live.pressure2Mbar == 10), live.pressure2Mbar),
                           shown(temperature1Missing_.showsNc(live.temperature1 == 0), live.temperature1),
                           shown(temperature2Missing_.showsNc(live.temperature2Raw == 0),
                                 temperature2Celsius(live.temperature2Raw)),
                           levelAverage_.shown(), live.kgbTab, live.kgbCor, live.ecuState,
                           kDatalogNoValue, // the state's name, worded by the writer's caller
                           petrol ? 0 : 1, kDatalogNoValue /* marker */});
}
