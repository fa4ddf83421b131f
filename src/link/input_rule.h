#pragma once

#include "link/language.h"
#include "link/value_limits.h"

#include <QString>

#include <optional>

// What a box may hold: a whole number from `min` to `max` (what its frame and conversion can carry).
// A fractional entry rounds to the nearest whole number, halves to the even one, where the window
// allows it; elsewhere it is refused.
struct FieldRule {
    LocalText name; // the field as the user knows it, for the refusal
    long long min = 0;
    long long max = kParameterMax;
    bool roundsFractions = false;
    QString shownName{}; // instead of `name`, already worded, for fields numbered at run time (a grid cell)
};

struct BoxReading {
    std::optional<long long> value;
    QString refusalTitle; // set when there is no value
    QString refusal;
};

// A box's text -> its whole number, or a refusal naming the field in `language`. The text is read as
// number_syntax::kRounded where the rule rounds fractions, else as number_syntax::kWhole.
BoxReading readWholeNumber(const QString& text, const FieldRule& rule, Language language);
