#include "link/input_rule.h"

#include "link/number_text.h"

namespace {

constexpr LocalText kTitle{"ORVANE - Valore non valido", "ORVANE - Invalid value", "ORVANE - Gecersiz deger"};
constexpr LocalText kWhole{"%1: \"%2\" non e' un numero intero da %3 a %4. Non e' stato inviato nulla.",
                           "%1: \"%2\" is not a whole number from %3 to %4. Nothing was sent.",
                           "%1: \"%2\" %3 ile %4 arasinda bir tam sayi degil. Hicbir sey gonderilmedi."};
constexpr LocalText kNumber{"%1: \"%2\" non e' un numero da %3 a %4. Non e' stato inviato nulla.",
                            "%1: \"%2\" is not a number from %3 to %4. Nothing was sent.",
                            "%1: \"%2\" %3 ile %4 arasinda bir sayi degil. Hicbir sey gonderilmedi."};

} // namespace

BoxReading readWholeNumber(const QString& text, const FieldRule& rule, Language language)
{
    const std::optional<long long> value =
        wholeNumberFromText(text, rule.roundsFractions ? number_syntax::kRounded : number_syntax::kWhole);
    if (value && *value >= rule.min && *value <= rule.max) return {value, {}, {}};
    // a pasted page of text must not fill the message
    QString shown = text.trimmed();
    if (shown.size() > 24) shown = shown.left(24) + QStringLiteral("…");
    const LocalText& wording = rule.roundsFractions ? kNumber : kWhole;
    return {std::nullopt, kTitle.in(language),
            wording.in(language).arg(rule.shownName.isEmpty() ? rule.name.in(language) : rule.shownName,
                                     shown, QString::number(rule.min), QString::number(rule.max))};
}
