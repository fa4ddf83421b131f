#include "link/number_text.h"

#include <QRegularExpression>

#include <cmath>

std::optional<double> parseNumberText(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)$"));
    QString t = text.trimmed();
    if (!number.match(t).hasMatch()) return std::nullopt;
    // "1,500" may be fifteen hundred with a thousands separator: a comma is taken for a decimal
    // point only where it cannot be one
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0 && t.size() - comma - 1 == 3) return std::nullopt;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long long> roundHalfEven(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 9.0e18) return std::nullopt;
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1.0;
    return static_cast<long long>(rounded);
}

std::optional<long long> wholeNumberFromText(const QString& text)
{
    const std::optional<double> value = parseNumberText(text);
    if (!value) return std::nullopt;
    return roundHalfEven(*value);
}
