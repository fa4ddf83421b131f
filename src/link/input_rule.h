#pragma once

#include "link/language.h"

#include <QString>

#include <optional>

// What a box may hold: a whole number from `min` to `max` (what its frame and conversion can carry).
// A fractional entry rounds to the nearest whole number, halves to the even one, where the window
// allows it; elsewhere it is refused.
struct FieldRule {
    LocalText name; // the field as the user knows it, for the refusal
    long long min = 0;
    long long max = 65535;
    bool roundsFractions = false;
    QString shownName{}; // instead of `name`, already worded, for fields numbered at run time (a grid cell)
};

struct BoxReading {
    std::optional<long long> value;
    QString refusalTitle; // set when there is no value
    QString refusal;
};

// A box's text -> its whole number, or a refusal naming the field in `language`. Blanks around the
// number are allowed; signs, exponents, thousands separators and an empty box are not. A comma is a
// decimal point only where it cannot be a thousands separator.
BoxReading readWholeNumber(const QString& text, const FieldRule& rule, Language language);
