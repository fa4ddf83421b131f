#include "ui/download/download_window.h"

#include "link/frames.h"
#include "ui/common/write_report.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr LocalText kTitleText{"ORVANE - Scarico applicativo", "ORVANE - Downloading of application",
                               "ORVANE - Uygulamalari yukle"};
constexpr LocalText kNeedsEcu{
    "Per aggiornare il software la centralina deve essere collegata e la porta aperta: collegarsi prima con "
    "\"MENU\" in modalita' connessa, poi riprovare.",
    "To update the software the ECU must be connected and the port open: connect first with \"MENU\" in "
    "connected mode, then try again.",
    "Yazilimi guncellemek icin beyin bagli ve port acik olmali: once bagli modda \"MENU\" ile baglanin, "
    "sonra "
    "tekrar deneyin."};

const Caption kCaptions[] = {
    {kTitle, kTitleText},
    {"Command1", shared_texts::exit},
    {"Command2", {"Aggiorna applicativo", "Update software version", "Uygulamalari guncellestir"}},
    // Turkish has no steps of its own: the English ones, not a blank window
    {"Label1", {"Uscire dal programma", "Exit from this application", "Exit from this application"}},
    {"Label2", {"Togliere e ridare chiave", "Turn key off and on", "Turn key off and on"}},
    {"Label3", {"Lanciare applicativo di scarico", "Start downloading", "Start downloading"}},
    {"DownloadIntro",
     {"Il pulsante mette la centralina in modalita' scarico. Poi questo programma si chiude e il nuovo "
      "software si carica con l'applicativo di scarico.",
      "The button puts the ECU into download mode. Then this program closes and the new software is loaded "
      "with the download application.",
      "Dugme beyni yukleme moduna alir. Sonra bu program kapanir ve yeni yazilim yukleme uygulamasiyla "
      "yuklenir."}},
    {"DownloadNext",
     {"La centralina e' pronta. Premere EXIT: il programma si chiude; poi seguire i passi qui sopra.",
      "The ECU is ready. Press EXIT: the program closes; then follow the steps above.",
      "Beyin hazir. CIKIS'a basin: program kapanir; sonra yukaridaki adimlari izleyin."}},
};

QLabel* stepLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setVisible(false);
    // each step appears in a place kept for it: nothing below moves
    QSizePolicy keepPlace = label->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keepPlace);
    return label;
}

} // namespace

DownloadWindow::DownloadWindow(AppContext& context) : Form(context, WindowId::Download)
{
    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    updateButton = new QPushButton(this);
    updateButton->setObjectName(QStringLiteral("Command2"));
    updateButton->setMinimumHeight(40);
    exitStep = stepLabel(this, "Label1");
    keyStep = stepLabel(this, "Label2");
    launchStep = stepLabel(this, "Label3");
    nextStep = stepLabel(this, "DownloadNext");
    auto* intro = new QLabel(this);
    intro->setObjectName(QStringLiteral("DownloadIntro"));
    intro->setWordWrap(true);
    nextStep->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(updateButton);
    layout->addWidget(exitStep);
    layout->addWidget(keyStep);
    layout->addWidget(launchStep);
    layout->addWidget(nextStep);
    layout->addStretch(1);
    layout->addWidget(exitButton, 0, Qt::AlignRight);
    setMinimumWidth(360);

    setUpTimer(stepTimer, "Timer1", 500, &DownloadWindow::stepTick);
    connect(updateButton, &QPushButton::clicked, this, &DownloadWindow::pressUpdate);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
}

void DownloadWindow::onLoad()
{
    stepTimer.setInterval(500);
    for (QLabel* l : {exitStep, keyStep, launchStep, nextStep})
        l->setVisible(false);
}

std::span<const Caption> DownloadWindow::captions() const
{
    return kCaptions;
}

void DownloadWindow::onUnload()
{
    ctx.writes.release(this);
}

void DownloadWindow::onActivate()
{
    step = 0;
}

void DownloadWindow::pressUpdate()
{
    // Not connected with no port opened earlier: nothing can reach the ECU. Say so and stay,
    // without asking the program to close.
    if (!ctx.link.isOpen()) {
        ctx.showMessage(text(kTitleText), text(kNeedsEcu));
        return;
    }
    if (!ctx.writes.ownedBy(this) && !claimEcu(ctx, {this, kTitleText})) return;
    sendFrame(frames::enterDownload());
    state.exitRequested = 1;
    stepTimer.start();
}

void DownloadWindow::stepTick()
{
    stepTimer.stop();
    if (state.downloadAcknowledged == 0) {
        sendFrame(frames::enterDownload());
        stepTimer.start();
        return;
    }
    stepTimer.setInterval(1500);
    switch (step++) {
    case 0:
        exitStep->setVisible(true);
        break;
    case 1:
        keyStep->setVisible(true);
        break;
    case 2:
        launchStep->setVisible(true);
        break;
    default:
        // the steps stay on screen until the user leaves: the program closes with this window
        nextStep->setVisible(true);
        return;
    }
    stepTimer.start();
}
