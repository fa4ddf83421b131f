#pragma once

#include <QString>

#include <optional>

// The program's one reader of numbers typed by a user, pasted, given on the command line or found
// in a workbook cell. Every context trims blanks, takes ASCII digits only and refuses exponents and
// thousands separators; what else it allows it declares as a NumberSyntax.
struct NumberSyntax {
    bool sign = false;         // a leading "+" or "-"
    bool fraction = false;     // digits after a decimal point, rounded halves to even
    bool bareFraction = false; // a point with digits on one side only: ".5", "1."
    bool comma = true;         // a comma as the decimal point, never before exactly three digits
                               // ("1,500" may be fifteen hundred)
};

namespace number_syntax {
// A box, a pasted cell or an operand that takes whole numbers only.
inline constexpr NumberSyntax kWhole{};
// A box or an operand whose fraction is rounded.
inline constexpr NumberSyntax kRounded{.fraction = true};
// Text in a workbook cell, as spreadsheets and people write numbers there.
inline constexpr NumberSyntax kWorkbookText{.sign = true, .fraction = true, .bareFraction = true};
} // namespace number_syntax

// A number exactly as written, so rounding decides on the digits and not on a binary fraction.
struct Decimal {
    bool negative = false;
    long long whole = 0; // the digits before the point, at most 9e18
    QString fraction;    // the digits after it, as written
    long long rounded() const;
};

std::optional<Decimal> readDecimal(const QString& text, const NumberSyntax& syntax);

// readDecimal, rounded.
std::optional<long long> wholeNumberFromText(const QString& text, const NumberSyntax& syntax);
