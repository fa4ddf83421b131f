#include "link/language.h"

Language languageOf(int languageIndex)
{
    switch (languageIndex) {
    case 2:
        return Language::English;
    case 3:
        return Language::Turkish;
    default:
        return Language::Italian;
    }
}

QString LocalText::in(Language language) const
{
    switch (language) {
    case Language::English:
        return QString::fromUtf8(english ? english : italian);
    case Language::Turkish:
        return QString::fromUtf8(turkish ? turkish : italian);
    case Language::Italian:
        break;
    }
    return QString::fromUtf8(italian);
}
