#pragma once

// What the windows show for each value of the live status, without any widget: the missing-signal
// and stale-value rules, the averages, the derived values and the ECU's state in words.

#include "link/language.h"

#include <QString>

#include <array>
#include <optional>
#include <span>

// A box's text and whether it is enabled (greyed when not).
struct BoxView {
    QString text;
    bool enabled = true;
};

// A sensor that gives no signal (lambda <= 5 mV, temperature 0, pressure 10) is shown as "NC"
// once it has been missing for more than `limit` + 1 consecutive ticks; until then its value.
class MissingSignalCounter {
public:
    explicit MissingSignalCounter(int limit) : limit_(limit) {}
    BoxView apply(bool missing, const QString& valueText);
    // Whether apply(missing, ...) would show "NC" now, without counting.
    bool showsNc(bool missing) const { return missing && count_ > limit_; }
    int count() const { return count_; }

private:
    int limit_;
    int count_ = 0;
};

// A value that stays the same for ten ticks more is stale: greyed, and "NC" when it is 0.
// Engine speed and the injection channels.
class StaleValueWatch {
public:
    // `enabledBefore`: whether the box is enabled now; the rule leaves it so while counting.
    BoxView apply(int value, bool enabledBefore);
    // Whether apply(value, ...) would show "NC" now, without counting.
    bool showsNc(int value) const { return value == 0 && value == previous_ && count_ >= 10; }

private:
    int count_ = 0;
    int previous_ = 0;
};

// Mean of the last `samples` oxygen-sensor samples, floored, refreshed every `samples` ticks
// (100 on the status window, 10 on the calibration window).
class LambdaAverage {
public:
    explicit LambdaAverage(int samples = 100) : samples_(samples) {}
    void seed(int mv) { shown_ = QString::number(mv); }
    void add(int mv);
    QString shown() const { return shown_; }
    void reset() { *this = LambdaAverage(samples_); }

private:
    int samples_;
    int ticks_ = 0;
    long long sum_ = 0;
    QString shown_;
};

// Mean of the last 50 level samples, each cut to whole tens of mV first.
class LevelAverage {
public:
    void seed(int mv)
    {
        shown_ = mv;
        hasValue_ = true;
    }
    void add(int mv);
    int shown() const { return shown_; }
    bool hasValue() const { return hasValue_; }
    void reset() { *this = LevelAverage(); }

private:
    int ticks_ = 0;
    int sum_ = 0;
    int shown_ = 0;
    bool hasValue_ = false;
};

// Temperature 2 comes 40 degrees up so that it never goes below zero on the line.
constexpr int temperature2Celsius(int raw)
{
    return raw - 40;
}

// Gas injection time from the petrol time and the corrected coefficient (100 = same time).
int gasInjectionTime(int petrolTinj, int kgbCor);

// One state code in words, in the three languages, and what follows it after two blanks.
struct StateText {
    enum Suffix { None, Temperature, Rpm, RpmLess200 };
    int code;
    LocalText text;
    Suffix suffix = None;
};
// The row of `code` in `rows` worded; nothing when the code has no row.
std::optional<QString> stateText(std::span<const StateText> rows, int code, int languageIndex,
                                 int changeoverTemperature, int changeoverRpm);

// The ECU's state in words; T = changeoverTemperature, R = changeoverRpm.
QString ecuStateMessage(int ecuState, int languageIndex, int changeoverTemperature, int changeoverRpm);
