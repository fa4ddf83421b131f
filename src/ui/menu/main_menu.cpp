#include "ui/menu/main_menu.h"

#include "link/frames.h"
#include "ui/common/link_messages.h"
#include "ui/common/navigator.h"
#include "ui/common/widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Texts {
    const char* offlineTitle;
    const char* versionLabel; // Label3
    const char* exit;         // Command1
    const char* status;       // Command3
    const char* archive;      // Command4
    const char* calibration;  // Command5
    const char* download;     // Command6
};

const Texts kTexts[3] = {
    {"ORVANE - Non Connesso", "VERSIONE SW ECU", "EXIT", "Visualizza stato vettura",
     "Visualizza parametri centralina", "Taratura", "Aggiorna software centralina"},
    {"ORVANE - Not Connected", "ECU SW VERSION", "EXIT", "Display vehicle status", "Display ECU parameter",
     "Calibration", "Update software ECU"},
    {"ORVANE - Bagli Degil", "ECU SW VERSION", "CIKIS", "Arabanin genel durumunu goster",
     "Beyin degerini goster", "Aracin tum ayarlari", "Beyni guncelle"},
};

QPushButton* menuButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumHeight(36);
    return button;
}

} // namespace

MainMenu::MainMenu(AppContext& context) : Form(context, QStringLiteral("Form2"))
{
    setWindowTitle(QStringLiteral("ORVANE"));
    productLabel = productNameLabel(this, QStringLiteral("Label1"));
    subtitleLabel = namedLabel(this, QStringLiteral("Label4"), QStringLiteral("Sequential Injection System"));
    versionLabel = namedLabel(this, QStringLiteral("Label3"), QStringLiteral("VERSIONE SW ECU"));
    versionBox = valueBox(this, QStringLiteral("Text1"), 90);

    exitButton = menuButton(this, "Command1", "EXIT");
    eolButton = menuButton(this, "Command2", "TEST EOL");
    statusButton = menuButton(this, "Command3", "Visualizza stato vettura");
    archiveButton = menuButton(this, "Command4", "Visualizza parametri centralina");
    calibrationButton = menuButton(this, "Command5", "Taratura");
    downloadButton = menuButton(this, "Command6", "Aggiorna versione software");

    auto* version = new QHBoxLayout;
    version->addWidget(versionLabel);
    version->addWidget(versionBox);
    version->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(productLabel);
    layout->addWidget(subtitleLabel);
    layout->addLayout(version);
    for (QPushButton* b :
         {statusButton, archiveButton, calibrationButton, downloadButton, eolButton, exitButton})
        layout->addWidget(b);

    setUpTimer(handshakeTimer, "Timer1", 1000);
    setUpTimer(statusStartTimer, "Timer2", 500);
    setUpTimer(calibrationStartTimer, "Timer3", 500);
    connect(&handshakeTimer, &QTimer::timeout, this, &MainMenu::handshakeTick);
    connect(&statusStartTimer, &QTimer::timeout, this, &MainMenu::statusStartTick);
    connect(&calibrationStartTimer, &QTimer::timeout, this, &MainMenu::calibrationStartTick);

    connect(exitButton, &QPushButton::clicked, this, [this] {
        stopTimers();
        closeForm();
    });
    connect(eolButton, &QPushButton::clicked, this, &MainMenu::pressEndOfLine);
    connect(statusButton, &QPushButton::clicked, this, &MainMenu::pressStatus);
    connect(archiveButton, &QPushButton::clicked, this, &MainMenu::pressArchive);
    connect(calibrationButton, &QPushButton::clicked, this, &MainMenu::pressCalibration);
    connect(downloadButton, &QPushButton::clicked, this, &MainMenu::pressDownload);

    // The version box shows the ECU's answer whenever it comes, even while the menu is closed.
    connect(&ctx.dispatcher, &ReplyDispatcher::versionReceived, versionBox, &QLineEdit::setText);
}

void MainMenu::onLoad()
{
    for (QPushButton* b : {eolButton, statusButton, archiveButton, calibrationButton, downloadButton})
        b->setEnabled(false);
    const Texts* t = textsFor(kTexts, state.languageIndex);
    if (state.offlineMode == 0) {
        setWindowTitle(QStringLiteral("ORVANE"));
        handshakeTimer.start();
        setBusy(true);
    } else {
        setWindowTitle(QString::fromUtf8((t ? t : &kTexts[0])->offlineTitle));
        enableButtons(true);
        versionBox->setText(QStringLiteral("**.**.**"));
    }
    if (t) {
        versionLabel->setText(QString::fromUtf8(t->versionLabel));
        exitButton->setText(QString::fromUtf8(t->exit));
        statusButton->setText(QString::fromUtf8(t->status));
        archiveButton->setText(QString::fromUtf8(t->archive));
        calibrationButton->setText(QString::fromUtf8(t->calibration));
        downloadButton->setText(QString::fromUtf8(t->download));
    }
}

void MainMenu::onActivate()
{
    if (state.exitRequested == 1 || state.lostLinkCount > 1) {
        stopTimers();
        closeForm();
    }
}

void MainMenu::onUnload()
{
    stopTimers();
}

void MainMenu::stopTimers()
{
    handshakeTimer.stop();
    statusStartTimer.stop();
    calibrationStartTimer.stop();
}

void MainMenu::enableButtons(bool withDownload)
{
    for (QPushButton* b : {eolButton, statusButton, archiveButton, calibrationButton})
        b->setEnabled(true);
    downloadButton->setEnabled(withDownload);
}

void MainMenu::handshakeTick()
{
    handshakeTimer.stop();
    if (state.versionReceived == 0) {
        if (state.versionRequestCount >= kVersionTries) {
            stopTimers();
            setBusy(false);
            const LinkMessage m = linkProblemMessage(state.languageIndex, ctx.link.portName(),
                                                     noAnswerReason(state.languageIndex));
            closeForm();
            ctx.showMessage(m.title, m.text);
            return;
        }
        ctx.link.send(frames::readVersion());
        ++state.versionRequestCount;
        handshakeTimer.start();
    } else if (state.parametersReceived == 0) {
        ctx.link.send(frames::readAllParameters());
        handshakeTimer.start();
    } else if (state.tableReceived == 0) {
        ctx.link.send(frames::readTable());
        handshakeTimer.start();
    } else {
        enableButtons(false);
        setBusy(false);
    }
}

void MainMenu::pressEndOfLine()
{
    stopTimers();
    state.eolResults.eolCylinderResults.fill(15);
    state.eolResults.eolChecks.fill(15);
    state.eolCylinderMarks.fill(1);
    ctx.navigator.open(QStringLiteral("Form9"));
}

void MainMenu::pressStatus()
{
    if (state.offlineMode == 1) {
        stopTimers();
        ctx.navigator.open(QStringLiteral("Form3"));
        return;
    }
    ctx.link.send(frames::readStatus());
    state.changeoverAcknowledged = 1;
    state.statusReceived = 0;
    state.lostLinkCount = 0;
    statusStartTimer.start();
}

void MainMenu::statusStartTick()
{
    statusStartTimer.stop();
    if (state.statusReceived == 1) {
        stopTimers();
        ctx.navigator.open(QStringLiteral("Form3"));
        return;
    }
    ctx.link.send(frames::readStatus());
    statusStartTimer.start();
}

void MainMenu::pressArchive()
{
    stopTimers();
    ctx.navigator.open(QStringLiteral("Form5"));
}

void MainMenu::pressCalibration()
{
    if (state.offlineMode == 1) {
        stopTimers();
        ctx.navigator.open(QStringLiteral("Form16"));
        return;
    }
    ctx.link.send(*frames::calibrationPoll(0));
    state.calibrationOnAcknowledged = 0;
    state.calibrationOffAcknowledged = 0;
    state.calibrationFrameReceived = 0;
    state.autoCalibrationRequested = 0;
    state.autoCalibrationTableReady = 0;
    state.fillTableRequested = 0;
    state.switchingRpmMode = 0;
    state.calibrationPressureMode = 0;
    state.calibrationTemperatureMode = 0;
    state.coilCalibrationMode = 0;
    state.trialCoilCount = 1;
    state.calibrationInactive = 1;
    calibrationStartTimer.start();
}

void MainMenu::calibrationStartTick()
{
    calibrationStartTimer.stop();
    if (state.calibrationFrameReceived == 1) {
        handshakeTimer.stop();
        statusStartTimer.stop();
        ctx.navigator.open(QStringLiteral("Form16"));
        return;
    }
    ctx.link.send(*frames::calibrationPoll(0));
    calibrationStartTimer.start();
}

void MainMenu::pressDownload()
{
    state.downloadAcknowledged = 0;
    stopTimers();
    ctx.navigator.open(QStringLiteral("Form7"));
}
