#include "ui/archive/archive_window.h"

#include "archive/workbook_file.h"
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/write_walk.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <numeric>

namespace {

const Caption kCaptions[] = {
    {kTitle,
     {"ORVANE - Visualizza parametri centralina", "ORVANE - Display parameters of ECU",
      "ORVANE - Beyin Degerlerini Goster"}},
    {kOfflineTitle,
     {"ORVANE - Visualizza parametri centralina Non connesso",
      "ORVANE - Display parameters of ECU Not connected", "ORVANE - Beyin Degerlerini Goster Bagli degil"}},
    {"Command1", {"Parametri LAMBDA", "OXYGEN SENSOR parameters", "LAMBDA Degerleri"}},
    {"Command2", {"Parametri CUTOFF", "CUTOFF parameters", "Gaz Kesme Degerleri"}},
    {"Command3", {"Parametri COMMUTAZIONE", "SWITCHING parameters", "Degisim Degerleri"}},
    {"Command4", {"Parametri INDICATORE", "INDICATOR parameters", "Gaz Gostergesi"}},
    {"Command5",
     {"MEMORIZZA SULLA CENTRALINA I PARAMETRI ARCHIVIATI SU PC", "STORE IN THE ECU THE PARAMETERS OF THE PC",
      "STORE IN THE ECU THE PARAMETERS MEMORIZED IN PC"}},
    {"Command6", {"Altri parametri", "Other parameters", "Diger Degerler"}},
    {"Command7", {"Valori di default", "Default values", "Sabit Degerler"}},
    {"Command8", shared_texts::exit},
    {"Command9",
     {"MEMORIZZA SU PC I PARAMETRI TARATI IN CENTRALINA", "STORE IN PC THE PARAMETERS CALIBRATED IN THE ECU",
      "STORE IN PC THE PARAMETERS CALIBRATED IN THE ECU"}},
};

constexpr LocalText kDialogTitle{"Seleziona vettura"};
constexpr LocalText kArchiveTitle{"ORVANE - Archivio vetture", "ORVANE - Vehicle archive",
                                  "ORVANE - Arac arsivi"};
constexpr LocalText kSaved{"Parametri salvati in %1", "Parameters stored in %1", "Degerler kaydedildi: %1"};
constexpr LocalText kEqual{
    "Il file %1 contiene gli stessi valori della centralina: non c'e' nulla da inviare.",
    "The file %1 holds the same values as the ECU: there is nothing to send.",
    "%1 dosyasi beyin ile ayni degerleri iceriyor: gonderilecek bir sey yok."};
constexpr LocalText kConfirm{
    "Il file %1 cambia %2 valori della centralina (%3 parametri, %4 celle della tabella). Inviarli?",
    "The file %1 changes %2 values of the ECU (%3 parameters, %4 table cells). Send them?",
    "%1 dosyasi beyinde %2 degeri degistiriyor (%3 parametre, %4 tablo hucresi). Gonderilsin mi?"};
constexpr LocalText kChange{"%1: centralina %2 -> file %3", "%1: ECU %2 -> file %3",
                            "%1: beyin %2 -> dosya %3"};
constexpr LocalText kSend{"Invia", "Send", "Gonder"};
constexpr LocalText kCancel{"Annulla", "Cancel", "Iptal"};
constexpr LocalText kDone{"Trasferimento completato: la centralina ha confermato tutti i valori.",
                          "Transfer complete: the ECU has confirmed every value.",
                          "Aktarim tamamlandi: beyin tum degerleri onayladi."};
constexpr LocalText kAbandoned{
    "Trasferimento interrotto: %1 valori NON sono stati scritti nella centralina, che contiene ora in parte "
    "i "
    "valori del file e in parte i precedenti:\n%2",
    "Transfer stopped: %1 values were NOT written to the ECU, which now holds the file's values only in "
    "part:\n%2",
    "Aktarim durduruldu: %1 deger beyne YAZILMADI, beyin dosyanin degerlerini yalnizca kismen iceriyor:\n%2"};
constexpr LocalText kMore{"... e altri %1", "... and %1 more", "... ve %1 tane daha"};
constexpr LocalText kDefaultsWaiting{"Valori di default: attesa conferma della centralina (invio %1)",
                                     "Default values: waiting for the ECU to confirm (send %1)",
                                     "Sabit degerler: beyin onayi bekleniyor (gonderim %1)"};
constexpr LocalText kDefaultsReading{"Valori di default: lettura dei parametri (richiesta %1)",
                                     "Default values: reading the parameters (request %1)",
                                     "Sabit degerler: degerler okunuyor (istek %1)"};
constexpr LocalText kDefaultsDone{"Valori di default ripristinati e riletti.",
                                  "Default values restored and read back.",
                                  "Sabit degerler yuklendi ve okundu."};
constexpr LocalText kDefaultsAbandoned{
    "Ripristino dei valori di default interrotto: i valori che il programma mostra potrebbero non essere "
    "quelli "
    "della centralina. Ripetere \"Valori di default\" o riaprire il menu per rileggerli.",
    "Restoring the default values was stopped: the values the program shows may not be the ECU's. Repeat "
    "\"Default values\" or open the menu again to read them back.",
    "Sabit degerlerin yuklenmesi durduruldu: programin gosterdigi degerler beynin degerleri olmayabilir. "
    "\"Sabit Degerler\" islemini tekrarlayin veya menuyu yeniden acin."};

constexpr int kParameterOrder[] = {19, 20, 16, 17, 18, 2,  1,  29, 28, 10, 11, 12, 14, 15, 13,
                                   30, 59, 60, 31, 32, 33, 21, 22, 24, 26, 27, 3,  4,  5,  25,
                                   23, 50, 51, 52, 6,  7,  8,  9,  53, 54, 55, 56, 58, 57, 34,
                                   35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49};

const std::array<int, kTableCellCount> kCellOrder = [] {
    std::array<int, kTableCellCount> cells{};
    std::iota(cells.begin(), cells.end(), 1);
    return cells;
}();

// a cell's key in the progress: apart from every parameter id
constexpr int kCellKey = 100;

} // namespace

std::span<const int> ArchiveWindow::parameterOrder()
{
    return kParameterOrder;
}

std::span<const int> ArchiveWindow::cellOrder()
{
    return kCellOrder;
}

QString ArchiveWindow::vehicleFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                           QStringLiteral("/ArchivioVetture");
    QDir().mkpath(folder);
    return folder;
}

ArchiveWindow::ArchiveWindow(AppContext& context) : Form(context, WindowId::Archive)
{
    for (int i = 0; i < 9; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("Command%1").arg(i + 1));
        button->setMinimumHeight(34);
        buttons[static_cast<size_t>(i)] = button;
    }
    progressLine = namedLabel(this, QStringLiteral("TransferLine"), QString());
    progressLine->setWordWrap(true);
    progressLine->setMinimumHeight(2 * progressLine->fontMetrics().lineSpacing());

    const auto button = [this](int number) { return buttons[static_cast<size_t>(number - 1)]; };
    auto* pages = new QGridLayout;
    pages->addWidget(button(1), 0, 0);
    pages->addWidget(button(2), 0, 1);
    pages->addWidget(button(3), 1, 0);
    pages->addWidget(button(4), 1, 1);
    pages->addWidget(button(6), 2, 0);
    pages->addWidget(button(7), 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pages);
    layout->addWidget(button(9));
    layout->addWidget(button(5));
    layout->addWidget(progressLine);
    layout->addWidget(button(8), 0, Qt::AlignRight);
    setMinimumWidth(560);

    setUpTimer(defaultsTimer, "Timer1", 500, &ArchiveWindow::defaultsTick);
    setUpTimer(transferTimer, "Timer2", 200, &ArchiveWindow::transferTick);

    connect(button(1), &QPushButton::clicked, this, [this] { openPage(WindowId::LambdaPage); });
    connect(button(2), &QPushButton::clicked, this, [this] { openPage(WindowId::CutoffPage); });
    connect(button(3), &QPushButton::clicked, this, [this] { openPage(WindowId::CommutationPage); });
    connect(button(4), &QPushButton::clicked, this, [this] { openPage(WindowId::LevelPage); });
    connect(button(6), &QPushButton::clicked, this, [this] { openPage(WindowId::OtherPage); });
    connect(button(5), &QPushButton::clicked, this, &ArchiveWindow::pressStoreOnEcu);
    connect(button(7), &QPushButton::clicked, this, &ArchiveWindow::pressDefaults);
    connect(button(8), &QPushButton::clicked, this, &Form::closeForm);
    connect(button(9), &QPushButton::clicked, this, &ArchiveWindow::pressStoreOnPc);
}

std::span<const Caption> ArchiveWindow::captions() const
{
    return kCaptions;
}

void ArchiveWindow::onLoad()
{
    progress.end();
    defaultsSends = 0;
    progressLine->clear();
    setButtonsEnabled(true);
}

void ArchiveWindow::setButtonsEnabled(bool enabled)
{
    const bool connected = state.offlineMode == 0;
    for (int number : {1, 2, 3, 4, 6})
        buttons[static_cast<size_t>(number - 1)]->setEnabled(enabled);
    for (int number : {5, 7, 9})
        buttons[static_cast<size_t>(number - 1)]->setEnabled(enabled && connected);
}

void ArchiveWindow::finish(const QString& line)
{
    progress.end();
    progressLine->setText(line);
    setButtonsEnabled(true);
    setBusy(false);
}

void ArchiveWindow::openPage(WindowId page)
{
    if (!windowBuilt(page)) return;
    stopTimers();
    openWindow(page);
}

void ArchiveWindow::onUnload()
{
    // a technician must never believe the ECU holds a vehicle it only half holds
    if (progress.running()) {
        QStringList left = unwritten();
        if (!left.isEmpty()) {
            const int count = static_cast<int>(left.size());
            constexpr int kListed = 20;
            if (count > kListed) {
                left = left.mid(0, kListed);
                left << text(kMore).arg(count - kListed);
            }
            ctx.showMessage(text(kArchiveTitle),
                            text(kAbandoned).arg(count).arg(left.join(QLatin1Char('\n'))));
        }
        // the file's values left behind must not go out with the next writer's walk
        for (int id : kParameterOrder)
            state.pendingParameterValues[id] = state.parameterValues[id];
        state.pendingTableCells = state.tableCells;
    } else if (defaultsSends > 0) {
        ctx.showMessage(text(kArchiveTitle), text(kDefaultsAbandoned));
    }
    progress.end();
    defaultsSends = 0;
}

QStringList ArchiveWindow::unwritten() const
{
    QStringList left;
    for (int id : kParameterOrder)
        if (state.pendingParameterValues[id] != state.parameterValues[id])
            left << parameterLabel(id, language());
    for (int cell : kCellOrder)
        if (state.pendingTableCells[cell] != state.tableCells[cell]) left << cellLabel(cell, language());
    return left;
}

void ArchiveWindow::pressDefaults()
{
    setButtonsEnabled(false);
    state.defaultsAcknowledged = 0;
    state.parametersReceived = 0;
    state.tableReceived = 0;
    setBusy(true);
    ctx.link.send(frames::restoreDefaults());
    defaultsSends = 1;
    progressLine->setText(text(kDefaultsWaiting).arg(defaultsSends));
    defaultsTimer.setInterval(500);
    defaultsTimer.start();
}

void ArchiveWindow::defaultsTick()
{
    defaultsTimer.stop();
    if (state.defaultsAcknowledged == 0) {
        ctx.link.send(frames::restoreDefaults());
        progressLine->setText(text(kDefaultsWaiting).arg(++defaultsSends));
        defaultsTimer.setInterval(2000);
        defaultsTimer.start();
    } else if (state.parametersReceived == 1 && state.tableReceived == 1) {
        defaultsSends = 0;
        finish(text(kDefaultsDone));
    } else if (state.parametersReceived == 1) {
        // the defaults may reset the table too: what the PC shows and later compares must be the ECU's
        ctx.link.send(frames::readTable());
        progressLine->setText(text(kDefaultsReading).arg(++defaultsSends));
        defaultsTimer.start();
    } else {
        ctx.link.send(frames::readAllParameters());
        progressLine->setText(text(kDefaultsReading).arg(++defaultsSends));
        defaultsTimer.start();
    }
}

void ArchiveWindow::pressStoreOnPc()
{
    setButtonsEnabled(false);
    setBusy(true);
    QString path = ctx.fileDialogs->saveFile(this, text(kDialogTitle), vehicleFolder(),
                                             QStringLiteral("*.xls"), QStringLiteral("xls"));
    // cancelled: the last vehicle's file is not written over
    if (path.isEmpty()) return finish();
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".xls");
    state.archiveFileName = path;
    if (const auto problem = writeWorkbookFile(path, vehicleSetOf(state))) {
        finish();
        ctx.showMessage(text(kArchiveTitle), workbookProblemText(*problem, language()));
        return;
    }
    finish(text(kSaved).arg(QDir::toNativeSeparators(path)));
}

void ArchiveWindow::pressStoreOnEcu()
{
    setButtonsEnabled(false);
    setBusy(true);
    const QString path =
        ctx.fileDialogs->openFile(this, text(kDialogTitle), vehicleFolder(), QStringLiteral("*.xls"));
    // cancelled: never another vehicle's file, nor the last one
    if (path.isEmpty()) return finish();
    state.archiveFileName = path;
    auto read = readWorkbookFile(path);
    if (const auto* problem = std::get_if<WorkbookProblem>(&read)) {
        finish();
        ctx.showMessage(text(kArchiveTitle), workbookProblemText(*problem, language()));
        return;
    }
    const VehicleSet& file = std::get<VehicleSet>(read);
    const QString name = QFileInfo(path).fileName();

    // what will change, before anything goes out: sending the wrong vehicle loses a calibration
    QStringList changes;
    int parameters = 0;
    for (int id : kParameterOrder) {
        if (file.parameters[id] == state.parameterValues[id]) continue;
        ++parameters;
        changes << text(kChange).arg(parameterLabel(id, language()),
                                     QString::number(state.parameterValues[id]),
                                     QString::number(file.parameters[id]));
    }
    for (int cell : kCellOrder) {
        if (file.cells[cell] == state.tableCells[cell]) continue;
        changes << text(kChange).arg(cellLabel(cell, language()), QString::number(state.tableCells[cell]),
                                     QString::number(file.cells[cell]));
    }
    if (changes.isEmpty()) {
        finish(text(kEqual).arg(name));
        return;
    }
    const QString question =
        text(kConfirm).arg(name).arg(changes.size()).arg(parameters).arg(changes.size() - parameters);
    if (!ctx.fileDialogs->confirm(this, text(kArchiveTitle), question, changes, text(kSend), text(kCancel)))
        return finish();

    for (int id : kParameterOrder)
        state.pendingParameterValues[id] = file.parameters[id];
    state.pendingTableCells = file.cells;
    progress.begin(static_cast<int>(changes.size()));
    transferTimer.start();
}

void ArchiveWindow::transferTick()
{
    transferTimer.stop();
    if (!progress.running()) return; // nothing was started: nothing to finish
    const int left = static_cast<int>(unwritten().size());
    if (const auto id = nextParameterToWrite(state, kParameterOrder)) {
        if (const auto frame = frames::writeParameter(*id, state.pendingParameterValues[*id]))
            ctx.link.send(*frame);
        progress.sent(*id);
        progressLine->setText(progress.line(language(), left, parameterLabel(*id, language())));
    } else if (const auto cell = nextTableCellToWrite(state, kCellOrder)) {
        if (const auto frame = frames::writeTableCell(*cell, state.pendingTableCells[*cell]))
            ctx.link.send(*frame);
        progress.sent(kCellKey + *cell);
        progressLine->setText(progress.line(language(), left, cellLabel(*cell, language())));
    } else {
        finish(text(kDone));
        return;
    }
    transferTimer.start();
}
