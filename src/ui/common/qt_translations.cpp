#include "ui/common/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

QtTranslations::~QtTranslations()
{
    if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

bool QtTranslations::use(Language language)
{
    if (translator_) {
        QCoreApplication::removeTranslator(translator_.get());
        translator_.reset();
    }
    QLocale locale;
    switch (language) {
    case Language::Italian:
        locale = QLocale(QLocale::Italian, QLocale::Italy);
        break;
    case Language::English:
        locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        break;
    case Language::Turkish:
        locale = QLocale(QLocale::Turkish, QLocale::Turkey);
        break;
    }
    // the file dialog's dates and sizes too
    QLocale::setDefault(locale);
    // Qt's texts are written in English
    if (language == Language::English) return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
    return true;
}
