#pragma once

#include <QString>

#include <optional>

// Text typed by a user or found in a file, read as a number the way the whole program reads
// numbers: blanks trimmed, decimal with optional sign and fraction (point or comma), nothing else.
// A comma followed by exactly three digits ("1,500") is refused: it may separate thousands.
std::optional<double> parseNumberText(const QString& text);

// Nearest whole number, halves to the even one (2.5 -> 2, 3.5 -> 4, -2.5 -> -2); none for a value
// that is not finite or lies beyond 64-bit integers.
std::optional<long long> roundHalfEven(double value);

// Both: the whole number a text stands for.
std::optional<long long> wholeNumberFromText(const QString& text);
