#include "ui/download/download_window.h"

#include "link/frames.h"
#include "ui/common/link_messages.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Texts {
    const char* title;
    const char* exit;
    const char* update;
    const char* steps[3];
};

const Texts kTexts[3] = {
    {"ORVANE - Scarico applicativo",
     "EXIT",
     "Aggiorna applicativo",
     {"Uscire dal programma", "Togliere e ridare chiave", "Lanciare applicativo di scarico"}},
    {"ORVANE - Downloading of application",
     "EXIT",
     "Update software version",
     {"Exit from this application", "Turn key off and on", "Start downloading"}},
    {"ORVANE - Uygulamalari yukle", "CIKIS", "Uygulamalari guncellestir", {" ", " ", " "}},
};

QLabel* stepLabel(QWidget* parent, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setVisible(false);
    return label;
}

} // namespace

DownloadWindow::DownloadWindow(AppContext& context) : Form(context, QStringLiteral("Form7"))
{
    setWindowTitle(QStringLiteral("SCARICO APPLICATIVO"));
    exitButton = new QPushButton(QStringLiteral("EXIT"), this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    updateButton = new QPushButton(QStringLiteral("AGGIORNA APPLICATIVO"), this);
    updateButton->setObjectName(QStringLiteral("Command2"));
    updateButton->setMinimumHeight(40);
    exitStep = stepLabel(this, "Label1", "USCIRE DAL PROGRAMMA");
    keyStep = stepLabel(this, "Label2", "TOGLIERE E RIDARE CHIAVE");
    launchStep = stepLabel(this, "Label3", "LANCIARE APPLICATIVO DI SCARICO");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(updateButton);
    layout->addWidget(exitStep);
    layout->addWidget(keyStep);
    layout->addWidget(launchStep);
    layout->addStretch(1);
    layout->addWidget(exitButton, 0, Qt::AlignRight);
    setMinimumWidth(360);

    setUpTimer(stepTimer, "Timer1", 500);
    connect(&stepTimer, &QTimer::timeout, this, &DownloadWindow::stepTick);
    connect(updateButton, &QPushButton::clicked, this, &DownloadWindow::pressUpdate);
    connect(exitButton, &QPushButton::clicked, this, [this] {
        stepTimer.stop();
        closeForm();
    });
}

void DownloadWindow::onLoad()
{
    stepTimer.setInterval(500);
    for (QLabel* l : {exitStep, keyStep, launchStep})
        l->setVisible(false);
    const Texts* t = textsFor(kTexts, state.languageIndex);
    if (!t) return;
    setWindowTitle(QString::fromUtf8(t->title));
    exitButton->setText(QString::fromUtf8(t->exit));
    updateButton->setText(QString::fromUtf8(t->update));
    exitStep->setText(QString::fromUtf8(t->steps[0]));
    keyStep->setText(QString::fromUtf8(t->steps[1]));
    launchStep->setText(QString::fromUtf8(t->steps[2]));
}

void DownloadWindow::onActivate()
{
    step = 0;
}

void DownloadWindow::onUnload()
{
    stepTimer.stop();
}

void DownloadWindow::pressUpdate()
{
    // Not connected with no port opened earlier: nothing can reach the ECU. Say so and stay,
    // without asking the program to close.
    if (!ctx.link.send(frames::enterDownload())) {
        const LinkMessage m = portProblemMessage(state.languageIndex, selectedPortName(state),
                                                 portClosedReason(state.languageIndex));
        ctx.showMessage(m.title, m.text);
        return;
    }
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
