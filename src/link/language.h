#pragma once

#include <QString>

// The language of every text the user reads, chosen on the start window for the run.
enum class Language { Italian = 1, English = 2, Turkish = 3 };

// The language `languageIndex` stands for. The field only ever holds 1..3; anything else keeps the
// texts the windows were designed with, which are Italian.
Language languageOf(int languageIndex);

// One text in the three languages, written once where it is declared. A text the same in every
// language gives only the Italian one.
struct LocalText {
    const char* italian;
    const char* english = nullptr;
    const char* turkish = nullptr;

    QString in(Language language) const;
};
