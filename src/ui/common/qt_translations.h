#pragma once

#include "link/language.h"

#include <QTranslator>

#include <memory>

// Qt's own texts (the file dialogs, the question before replacing a file, Yes and No) in the
// user's language, from Qt's translations where the machine has them (Debian: package
// qt6-translations-l10n). Without them Qt speaks English and the program runs all the same.
class QtTranslations {
public:
    QtTranslations() = default;
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    // False when Qt's translation for `language` is missing: Qt's texts stay English.
    bool use(Language language);

private:
    std::unique_ptr<QTranslator> translator_;
};
