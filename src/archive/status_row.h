#pragma once

#include "link/live_rules.h"
#include "link/shared_state.h"

#include <array>
#include <vector>

// What the status window shows of the status replies, one poll tick at a time, without a widget:
// the missing-signal and stale rules, the running averages and the derived values. The window puts
// it in its boxes; a datalog row, the window's or the command line's, is written from it.
class StatusValues {
public:
    struct Views {
        BoxView lambda1, lambda2, rpm, temperature1, temperature2, pressure, pressure2;
        std::array<BoxView, kCylinderCount> tinj; // petrol times; where one is "NC" its gas time is too
    };

    // A fresh visit: the averages start again; the missing-signal and stale counts carry on.
    void restartAverages();
    // What the averages show until their first full count.
    void seed(const LiveStatus& live);
    // One poll tick: every rule counts the reply held now. The stale rule leaves a box as enabled as
    // it was while it counts: `rpmEnabled` and `tinjEnabled` say how those boxes are now.
    Views tick(const LiveStatus& live, bool rpmEnabled, const std::array<bool, kCylinderCount>& tinjEnabled);
    // The status datalog's row, in the order of its channels, as the boxes show it now (nothing is
    // counted): kDatalogNoValue where a box shows "NC", for the gas times on petrol and for the text
    // columns.
    void row(const LiveStatus& live, std::vector<int>& out) const;

    QString lambda1Average() const { return lambda1Average_.shown(); }
    QString lambda2Average() const { return lambda2Average_.shown(); }
    int level() const { return levelAverage_.shown(); }

private:
    LambdaAverage lambda1Average_, lambda2Average_;
    LevelAverage levelAverage_;
    MissingSignalCounter lambda1Missing_{19}, lambda2Missing_{19};
    MissingSignalCounter temperature1Missing_{99}, temperature2Missing_{99};
    MissingSignalCounter pressureMissing_{19}, pressure2Missing_{19};
    StaleValueWatch rpmWatch_;
    std::array<StaleValueWatch, kCylinderCount> tinjWatch_;
};
