#include "ui/archive/archive_window.h"

#include "archive/vehicle_transfer.h"
#include "archive/workbook_file.h"
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/parameter_labels.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/widgets.h"
#include "ui/common/write_report.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

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

constexpr LocalText kDialogTitle{"Seleziona vettura", "Select vehicle", "Arac secin"};
constexpr LocalText kArchiveTitle{"ORVANE - Archivio vetture", "ORVANE - Vehicle archive",
                                  "ORVANE - Arac arsivi"};
constexpr LocalText kSend{"Invia", "Send", "Gonder"};
constexpr LocalText kCancel{"Annulla", "Cancel", "Iptal"};
constexpr LocalText kValuesReading{
    "I valori della centralina vengono riletti dopo una scrittura non completata: attendere qualche secondo "
    "prima di salvare o confrontare.",
    "The ECU's values are being read again after a write that did not complete: wait a few seconds before "
    "storing or comparing.",
    "Tamamlanmayan bir yazmadan sonra beyin degerleri yeniden okunuyor: kaydetmeden veya karsilastirmadan "
    "once birkac saniye bekleyin."};
constexpr LocalText kValuesUnread{
    "I valori della centralina non sono stati riletti dopo una scrittura non completata e la porta non e' "
    "aperta: ricollegare la centralina e premere MENU prima di salvare o confrontare.",
    "The ECU's values were not read again after a write that did not complete, and the port is not open: "
    "reconnect the ECU and press MENU before storing or comparing.",
    "Tamamlanmayan bir yazmadan sonra beyin degerleri okunmadi ve port acik degil: kaydetmeden veya "
    "karsilastirmadan once beyni baglayin ve MENU'ye basin."};
constexpr LocalText kRestore{"Ripristina", "Restore", "Yukle"};
constexpr LocalText kReplace{"Sostituisci", "Replace", "Degistir"};
constexpr LocalText kTransferStopped{"Trasferimento interrotto.", "Transfer stopped.", "Aktarim durduruldu."};

} // namespace

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
    progressLine = new WordedLine(this, QStringLiteral("TransferLine"));
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
    connect(&ctx.writes, &WriteSession::progressed, this, [this] {
        if (ctx.writes.ownedBy(this)) showTransfer();
    });
    connect(&ctx.writes, &WriteSession::ended, this, &ArchiveWindow::onWriteEnded);
}

std::span<const Caption> ArchiveWindow::captions() const
{
    return kCaptions;
}

void ArchiveWindow::onLoad()
{
    defaultsSends = 0;
    progressLine->say({});
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

void ArchiveWindow::onLanguageChanged()
{
    progressLine->reword();
}

void ArchiveWindow::showTransfer()
{
    progressLine->say([this] { return ctx.writes.progressLine(language()); });
}

void ArchiveWindow::finish(std::function<QString()> line)
{
    progressLine->say(std::move(line));
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
    // a read-back under way goes on without the window: stores wait for it wherever they are asked
    if (ctx.writes.ownedBy(this)) {
        if (ctx.writes.running())
            ctx.writes.abandon();
        else
            stopDefaults();
    }
    defaultsSends = 0;
}

void ArchiveWindow::stopDefaults()
{
    // the ECU may or may not have taken the defaults: what it holds is read again
    ctx.writes.release(this);
    ctx.writes.startReadBack();
    defaultsSends = 0;
    ctx.showMessage(text(kArchiveTitle), text(archive_texts::defaultsAbandoned));
}

void ArchiveWindow::onWriteEnded(const WriteReport& report)
{
    if (report.writer.owner != this) return;
    transferTimer.stop();
    if (isLoaded()) {
        const bool done = report.complete();
        finish([this, done] { return text(done ? archive_texts::done : kTransferStopped); });
    }
    tellWriteEnded(ctx, report);
}

void ArchiveWindow::pressDefaults()
{
    // refused before the question: a question whose answer is then refused helps nobody
    if (ctx.writes.busy()) {
        ecuFreeForWriting(ctx);
        return;
    }
    // one click must not replace a vehicle's calibration
    if (!ctx.fileDialogs->confirm(this, text(kArchiveTitle), text(archive_texts::defaultsQuestion), {},
                                  text(kRestore), text(kCancel)))
        return;
    if (!claimEcu(ctx, {this, archive_texts::defaults})) return;
    setButtonsEnabled(false);
    state.defaultsAcknowledged = 0;
    setBusy(true);
    sendFrame(frames::restoreDefaults());
    defaultsSends = 1;
    progressLine->say(
        [this, sends = defaultsSends] { return text(archive_texts::defaultsWaiting).arg(sends); });
    defaultsTimer.setInterval(500);
    defaultsTimer.start();
}

void ArchiveWindow::defaultsTick()
{
    defaultsTimer.stop();
    if (linkGone()) {
        // the port went away: its message says why and stays; the ECU is read once the port is back
        if (ctx.writes.ownedBy(this)) {
            ctx.writes.release(this);
            ctx.writes.startReadBack();
        }
        defaultsSends = 0;
        finish();
        return;
    }
    if (state.defaultsAcknowledged == 0) {
        sendFrame(frames::restoreDefaults());
        progressLine->say(
            [this, sends = ++defaultsSends] { return text(archive_texts::defaultsWaiting).arg(sends); });
        defaultsTimer.setInterval(2000);
        defaultsTimer.start();
        return;
    }
    if (ctx.writes.ownedBy(this)) {
        // the defaults may reset the table too: what the PC shows and later compares must be the ECU's;
        // read at this sequence's pace (500 ms, or 2000 ms once the acknowledgement was late)
        ctx.writes.release(this);
        ctx.writes.startReadBack(defaultsTimer.interval());
        defaultsSends = 0;
    }
    if (ctx.writes.ecuUnverified()) {
        progressLine->say(
            [this, sends = ++defaultsSends] { return text(archive_texts::defaultsReading).arg(sends); });
        defaultsTimer.start();
        return;
    }
    defaultsSends = 0;
    finish([this] { return text(archive_texts::defaultsDone); });
}

bool ArchiveWindow::ecuValuesKnown()
{
    // a write under way elsewhere leaves the ECU half old, half new: nothing to keep or compare yet
    if (ctx.writes.busy()) return ecuFreeForWriting(ctx);
    if (!ctx.writes.ecuUnverified()) return true;
    ctx.showMessage(text(kArchiveTitle), text(ctx.link.isOpen() ? kValuesReading : kValuesUnread));
    return false;
}

void ArchiveWindow::pressStoreOnPc()
{
    if (!ecuValuesKnown()) return;
    setButtonsEnabled(false);
    setBusy(true);
    const QString chosen = ctx.fileDialogs->saveFile(this, text(kDialogTitle), vehicleFolder(),
                                                     QStringLiteral("*.xls"), QStringLiteral("xls"));
    // cancelled: the last vehicle's file is not written over
    if (chosen.isEmpty()) return finish();
    // "Fiat Punto 1.2" is a vehicle, not a file of type "2": the workbook is always an .xls
    QString path = chosen;
    if (QFileInfo(path).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) != 0)
        path += path.endsWith(QLatin1Char('.')) ? QStringLiteral("xls") : QStringLiteral(".xls");
    // the dialog asked about the name it was given, not about the one with the extension
    if (path != chosen && QFileInfo::exists(path) &&
        !ctx.fileDialogs->confirm(this, text(kArchiveTitle),
                                  text(archive_texts::replaceQuestion).arg(QDir::toNativeSeparators(path)),
                                  {}, text(kReplace), text(kCancel)))
        return finish();
    state.archiveFileName = path;
    if (const auto problem = writeWorkbookFile(path, vehicleSetOf(state), language())) {
        finish();
        ctx.showMessage(text(kArchiveTitle), workbookProblemText(*problem, language()));
        return;
    }
    finish([this, shown = QDir::toNativeSeparators(path)] { return text(archive_texts::saved).arg(shown); });
}

void ArchiveWindow::pressStoreOnEcu()
{
    if (!ecuValuesKnown()) return;
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
    const VehicleDifference difference = vehicleDifference(vehicleSetOf(state), file);
    if (difference.equal()) {
        finish([this, name] { return text(archive_texts::equal).arg(name); });
        return;
    }
    QStringList changes;
    for (const VehicleChange& change : difference.changes)
        changes << vehicleChangeLine(change, language());
    // at once: a name such as "Punto %2.xls" must stay as it is
    const QString question =
        text(archive_texts::confirm)
            .arg(name, QString::number(changes.size()), QString::number(difference.parameterChanges),
                 QString::number(changes.size() - difference.parameterChanges));
    if (!ctx.fileDialogs->confirm(this, text(kArchiveTitle), question, changes, text(kSend), text(kCancel)))
        return finish();
    if (!beginWrite(ctx, {this, archive_texts::transfer}, difference.values)) return finish();
    showTransfer();
    transferTimer.start();
}

void ArchiveWindow::transferTick()
{
    transferTimer.stop();
    // nothing was started, or the session has ended it: its end is told from there
    if (ctx.writes.ownedBy(this) && ctx.writes.tick()) transferTimer.start();
}
