#include "link/input_rule.h"

#include <QRegularExpression>

namespace {

constexpr LocalText kTitle{"ORVANE - Valore non valido", "ORVANE - Invalid value", "ORVANE - Gecersiz deger"};
constexpr LocalText kWhole{"%1: \"%2\" non e' un numero intero da %3 a %4. Non e' stato inviato nulla.",
                           "%1: \"%2\" is not a whole number from %3 to %4. Nothing was sent.",
                           "%1: \"%2\" %3 ile %4 arasinda bir tam sayi degil. Hicbir sey gonderilmedi."};
constexpr LocalText kNumber{"%1: \"%2\" non e' un numero da %3 a %4. Non e' stato inviato nulla.",
                            "%1: \"%2\" is not a number from %3 to %4. Nothing was sent.",
                            "%1: \"%2\" %3 ile %4 arasinda bir sayi degil. Hicbir sey gonderilmedi."};

// Digits beyond these cannot be a value any frame carries; the text is refused before any arithmetic.
constexpr int kMaxWholeDigits = 15;

std::optional<long long> parse(const QString& text, bool roundsFractions)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d+)(?:([.,])(\\d+))?$"));
    const QRegularExpressionMatch match = shape.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    QString whole = match.captured(1);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    if (whole.size() > kMaxWholeDigits) return std::nullopt;
    long long value = whole.toLongLong();
    const QString fraction = match.captured(3);
    if (fraction.isEmpty()) return value;
    // "1,000" is a thousand written with a separator, not one
    if (match.captured(2) == QLatin1String(",") && fraction.size() == 3) return std::nullopt;
    if (!roundsFractions) return std::nullopt;
    // decide the rounding on the digits themselves: no binary fraction in between
    const QChar first = fraction.front();
    const bool restIsZero = QStringView(fraction).mid(1).count(QLatin1Char('0')) == fraction.size() - 1;
    if (first > QLatin1Char('5') || (first == QLatin1Char('5') && !restIsZero) ||
        (first == QLatin1Char('5') && restIsZero && value % 2 == 1))
        ++value;
    return value;
}

} // namespace

BoxReading readWholeNumber(const QString& text, const FieldRule& rule, Language language)
{
    const std::optional<long long> value = parse(text, rule.roundsFractions);
    if (value && *value >= rule.min && *value <= rule.max) return {value, {}, {}};
    // a pasted page of text must not fill the message
    QString shown = text.trimmed();
    if (shown.size() > 24) shown = shown.left(24) + QStringLiteral("…");
    const LocalText& wording = rule.roundsFractions ? kNumber : kWhole;
    return {std::nullopt, kTitle.in(language),
            wording.in(language).arg(rule.shownName.isEmpty() ? rule.name.in(language) : rule.shownName,
                                     shown, QString::number(rule.min), QString::number(rule.max))};
}
