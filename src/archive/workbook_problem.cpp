#include "archive/workbook_problem.h"

#include "link/parameter_labels.h"

#include <iterator>

namespace {

// %1 = cell, %2 = detail
constexpr LocalText kTexts[] = {
    {"Il file non esiste: %2", "The file does not exist: %2", "Dosya yok: %2"},
    {"Impossibile leggere il file: %2", "The file cannot be read: %2", "Dosya okunamiyor: %2"},
    {"Il file non e' una cartella di lavoro .xls", "The file is not an .xls workbook",
     "Dosya bir .xls calisma kitabi degil"},
    {"La cartella di lavoro e' danneggiata (%2)", "The workbook is damaged (%2)",
     "Calisma kitabi bozuk (%2)"},
    {"La cella %1 contiene un testo che non e' un numero: %2", "Cell %1 holds text that is not a number: %2",
     "%1 hucresinde sayi olmayan bir metin var: %2"},
    {"La cella %1 contiene un errore: %2", "Cell %1 holds an error value: %2",
     "%1 hucresinde bir hata degeri var: %2"},
    {"Il parametro nella cella %1 e' fuori dall'intervallo 0..65535: %2",
     "The parameter in cell %1 is outside 0..65535: %2", "%1 hucresindeki parametre 0..65535 disinda: %2"},
    {"La cella %1 della tabella e' fuori dall'intervallo 0..255: %2", "Table cell %1 is outside 0..255: %2",
     "Tablo hucresi %1 0..255 disinda: %2"},
    {"Il file non contiene i parametri di una vettura", "The file holds no vehicle's parameters",
     "Dosyada bir aracin parametreleri yok"},
    {"Impossibile scrivere il file: %2", "The file cannot be written: %2", "Dosya yazilamiyor: %2"},
};
static_assert(std::size(kTexts) == static_cast<std::size_t>(WorkbookProblem::Kind::WriteFailed) + 1);

} // namespace

QString workbookProblemText(const WorkbookProblem& problem, Language language)
{
    QString text = kTexts[static_cast<int>(problem.kind)].in(language);
    // the detail goes in last: it may come from the file and hold anything
    text.replace(QLatin1String("%1"), problem.cell);
    text.replace(QLatin1String("%2"), problem.detail);
    // the technician fixes the value in the page that shows it, under its label there
    if (problem.parameterId != 0)
        text.prepend(parameterName(problem.parameterId, language) + QStringLiteral(": "));
    return text;
}

QString cellAddress(int row, int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}
