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
    {"Label1", {"Uscire dal programma", "Exit from this application", " "}},
    {"Label2", {"Togliere e ridare chiave", "Turn key off and on", " "}},
    {"Label3", {"Lanciare applicativo di scarico", "Start downloading", " "}},
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

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(updateButton);
    layout->addWidget(exitStep);
    layout->addWidget(keyStep);
    layout->addWidget(launchStep);
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
    for (QLabel* l : {exitStep, keyStep, launchStep})
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
    ctx.link.send(frames::enterDownload());
    state.exitRequested = 1;
    stepTimer.start();
}

void DownloadWindow::stepTick()
{
    stepTimer.stop();
    if (state.downloadAcknowledged == 0) {
        ctx.link.send(frames::enterDownload());
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
        closeForm();
        return;
    }
    stepTimer.start();
}
