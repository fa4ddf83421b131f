#include "link/number_text.h"

#include "link/rounding.h"

#include <algorithm>

namespace {

// No frame, cell or file carries more; it keeps the arithmetic inside 64 bits.
constexpr long long kLargestWhole = 9'000'000'000'000'000'000LL;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

long long Decimal::rounded() const
{
    int restAgainstHalf = -1;
    if (!fraction.isEmpty() && fraction.front() > QLatin1Char('5')) restAgainstHalf = 1;
    if (!fraction.isEmpty() && fraction.front() == QLatin1Char('5')) {
        const bool moreThanFive =
            std::any_of(fraction.begin() + 1, fraction.end(), [](QChar c) { return c != QLatin1Char('0'); });
        restAgainstHalf = moreThanFive ? 1 : 0;
    }
    // halves to even is symmetric, so the magnitude rounds and the sign follows
    const long long magnitude = roundHalfEven(whole, restAgainstHalf);
    return negative ? -magnitude : magnitude;
}

std::optional<Decimal> readDecimal(const QString& text, const NumberSyntax& syntax)
{
    const QString t = text.trimmed();
    Decimal out;
    qsizetype i = 0;
    if (syntax.sign && i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        out.negative = t[i++] == QLatin1Char('-');
    const qsizetype wholeStart = i;
    for (; i < t.size() && isDigit(t[i]); ++i) {
        const int digit = t[i].unicode() - '0';
        if (out.whole > (kLargestWhole - digit) / 10) return std::nullopt;
        out.whole = out.whole * 10 + digit;
    }
    const bool hasWhole = i > wholeStart;
    if (i == t.size()) return hasWhole ? std::optional(out) : std::nullopt;

    const QChar point = t[i++];
    if (point != QLatin1Char('.') && !(syntax.comma && point == QLatin1Char(','))) return std::nullopt;
    if (!syntax.fraction) return std::nullopt;
    out.fraction = t.mid(i);
    if (!std::all_of(out.fraction.begin(), out.fraction.end(), isDigit)) return std::nullopt;
    if (point == QLatin1Char(',') && out.fraction.size() == 3) return std::nullopt;
    const bool hasFraction = !out.fraction.isEmpty();
    if (!(hasWhole && hasFraction) && !(syntax.bareFraction && (hasWhole || hasFraction)))
        return std::nullopt;
    return out;
}

std::optional<long long> wholeNumberFromText(const QString& text, const NumberSyntax& syntax)
{
    const std::optional<Decimal> number = readDecimal(text, syntax);
    if (!number) return std::nullopt;
    return number->rounded();
}
