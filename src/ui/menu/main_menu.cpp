#include "ui/menu/main_menu.h"

#include "link/frames.h"
#include "link/link_messages.h"
#include "ui/common/navigator.h"
#include "ui/common/widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"ORVANE"}},
    {kOfflineTitle, {"ORVANE - Non Connesso", "ORVANE - Not Connected", "ORVANE - Bagli Degil"}},
    {"Label4", shared_texts::subtitle},
    {"Label3", {"VERSIONE SW ECU", "ECU SW VERSION", "ECU SW VERSION"}},
    {"Command1", shared_texts::exit},
    {"Command2", {"TEST EOL"}},
    {"Command3", {"Visualizza stato vettura", "Display vehicle status", "Arabanin genel durumunu goster"}},
    {"Command4", {"Visualizza parametri centralina", "Display ECU parameter", "Beyin degerini goster"}},
    {"Command5", {"Taratura", "Calibration", "Aracin tum ayarlari"}},
    {"Command6", {"Aggiorna software centralina", "Update software ECU", "Beyni guncelle"}},
};

// what the handshake is reading, so four grey seconds are not taken for a hang
constexpr LocalText kReadingVersion{"Lettura versione centralina (tentativo %1 di %2)...",
                                    "Reading the ECU version (try %1 of %2)...",
                                    "Beyin surumu okunuyor (deneme %1 / %2)..."};
constexpr LocalText kReadingParameters{"Lettura parametri (richiesta %1)...",
                                       "Reading the parameters (request %1)...",
                                       "Parametreler okunuyor (istek %1)..."};
constexpr LocalText kReadingTable{"Lettura tabella (richiesta %1)...", "Reading the table (request %1)...",
                                  "Tablo okunuyor (istek %1)..."};
constexpr LocalText kConnected{"Centralina collegata", "ECU connected", "Beyin bagli"};
constexpr LocalText kLinkLost{"Collegamento perso: ricollegare la centralina e premere MENU",
                              "Connection lost: reconnect the ECU and press MENU",
                              "Baglanti koptu: beyni yeniden baglayin ve MENU'ye basin"};
constexpr LocalText kVersionUnanswered{"Nessuna risposta alla richiesta della versione.",
                                       "No answer to the version request.", "Surum istegine cevap yok."};

QPushButton* menuButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumHeight(36);
    return button;
}

} // namespace

MainMenu::MainMenu(AppContext& context) : Form(context, WindowId::MainMenu)
{
    productLabel = productNameLabel(this, QStringLiteral("Label1"));
    subtitleLabel = namedLabel(this, QStringLiteral("Label4"), QString());
    versionLabel = namedLabel(this, QStringLiteral("Label3"), QString());
    versionBox = valueBox(this, QStringLiteral("Text1"), 90);

    exitButton = menuButton(this, "Command1");
    eolButton = menuButton(this, "Command2");
    statusButton = menuButton(this, "Command3");
    archiveButton = menuButton(this, "Command4");
    calibrationButton = menuButton(this, "Command5");
    downloadButton = menuButton(this, "Command6");

    auto* version = new QHBoxLayout;
    version->addWidget(versionLabel);
    version->addWidget(versionBox);
    version->addStretch(1);
    progressLine = new WordedLine(this, QStringLiteral("HandshakeLine"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(productLabel);
    layout->addWidget(subtitleLabel);
    layout->addLayout(version);
    layout->addWidget(progressLine);
    for (QPushButton* b :
         {statusButton, archiveButton, calibrationButton, downloadButton, eolButton, exitButton})
        layout->addWidget(b);

    setUpTimer(handshakeTimer, "Timer1", 1000, &MainMenu::handshakeTick);
    setUpTimer(statusStartTimer, "Timer2", 500, &MainMenu::statusStartTick);
    setUpTimer(calibrationStartTimer, "Timer3", 500, &MainMenu::calibrationStartTick);

    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
    connect(eolButton, &QPushButton::clicked, this, &MainMenu::pressEndOfLine);
    connect(statusButton, &QPushButton::clicked, this, &MainMenu::pressStatus);
    connect(archiveButton, &QPushButton::clicked, this, &MainMenu::pressArchive);
    connect(calibrationButton, &QPushButton::clicked, this, &MainMenu::pressCalibration);
    connect(downloadButton, &QPushButton::clicked, this, &MainMenu::pressDownload);

    // The version box shows the ECU's answer whenever it comes, even while the menu is closed.
    connect(&ctx.dispatcher, &ReplyDispatcher::versionReceived, versionBox, &QLineEdit::setText);
}

void MainMenu::reconnect()
{
    stopTimers();
    onLoad();
}

void MainMenu::onLoad()
{
    for (QPushButton* b : {eolButton, statusButton, archiveButton, calibrationButton, downloadButton})
        b->setEnabled(false);
    step = HandshakeStep::Version;
    stepRequests = 0;
    progressLine->say({});
    if (state.offlineMode == 0) {
        // until the ECU answers: never the last connection's version
        versionBox->clear();
        handshakeTimer.start();
        setBusy(true);
    } else {
        enableButtons(true);
        versionBox->setText(QStringLiteral("**.**.**"));
    }
}

std::span<const Caption> MainMenu::captions() const
{
    return kCaptions;
}

void MainMenu::onLanguageChanged()
{
    progressLine->reword();
}

void MainMenu::onLinkLost()
{
    Form::onLinkLost();
    // no reply can come to wait for; the handshake's next tick closes the menu
    statusStartTimer.stop();
    calibrationStartTimer.stop();
    // never "connected" over a port that has gone away
    progressLine->say([this] { return text(kLinkLost); });
}

void MainMenu::onActivate()
{
    if (state.exitRequested == 1 || state.lostLinkCount > 1) {
        stopTimers();
        closeForm();
    }
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
    if (linkGone()) {
        // the port went away: the message about it stays, no "no answer" over it
        closeForm();
        return;
    }
    if (state.versionReceived == 0) {
        if (state.versionRequestCount >= kVersionTries) {
            stopTimers();
            setBusy(false);
            const LinkMessage m = linkProblemMessage(language(), ctx.link.portName(), LinkProblem::NoAnswer);
            closeForm();
            ctx.showMessage(m.title, m.text + QLatin1Char('\n') + text(kVersionUnanswered));
            return;
        }
        sendFrame(frames::readVersion());
        ++state.versionRequestCount;
        progressLine->say([this, sent = state.versionRequestCount] {
            return text(kReadingVersion).arg(sent).arg(kVersionTries);
        });
        handshakeTimer.start();
    } else if (state.parametersReceived == 0) {
        sendFrame(frames::readAllParameters());
        progressLine->say([this, sent = countRequest(HandshakeStep::Parameters)] {
            return text(kReadingParameters).arg(sent);
        });
        handshakeTimer.start();
    } else if (state.tableReceived == 0) {
        sendFrame(frames::readTable());
        progressLine->say(
            [this, sent = countRequest(HandshakeStep::Table)] { return text(kReadingTable).arg(sent); });
        handshakeTimer.start();
    } else {
        progressLine->say([this] { return text(kConnected); });
        enableButtons(false);
        setBusy(false);
    }
}

int MainMenu::countRequest(HandshakeStep now)
{
    if (step != now) {
        step = now;
        stepRequests = 0;
    }
    return ++stepRequests;
}

bool MainMenu::broughtForward(WindowId id)
{
    if (!ctx.navigator.isOpen(id)) return false;
    openWindow(id);
    return true;
}

void MainMenu::pressEndOfLine()
{
    if (broughtForward(WindowId::EndOfLine)) return;
    stopTimers();
    state.eolResults.eolCylinderResults.fill(15);
    state.eolResults.eolChecks.fill(15);
    state.eolCylinderMarks.fill(1);
    openWindow(WindowId::EndOfLine);
}

void MainMenu::pressStatus()
{
    if (broughtForward(WindowId::Status)) return;
    if (state.offlineMode == 1) {
        stopTimers();
        openWindow(WindowId::Status);
        return;
    }
    // no port: the menu has said so, nothing to wait for
    if (!sendFrame(frames::readStatus())) return;
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
        openWindow(WindowId::Status);
        return;
    }
    sendFrame(frames::readStatus());
    statusStartTimer.start();
}

void MainMenu::pressArchive()
{
    if (broughtForward(WindowId::Archive)) return;
    if (!windowBuilt(WindowId::Archive)) return;
    stopTimers();
    openWindow(WindowId::Archive);
}

void MainMenu::pressCalibration()
{
    if (broughtForward(WindowId::Calibration)) return;
    if (!windowBuilt(WindowId::Calibration)) return;
    if (state.offlineMode == 1) {
        stopTimers();
        openWindow(WindowId::Calibration);
        return;
    }
    if (!sendFrame(*frames::calibrationPoll(0))) return;
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
        dropTopMost();
        openWindow(WindowId::Calibration);
        return;
    }
    sendFrame(*frames::calibrationPoll(0));
    calibrationStartTimer.start();
}

void MainMenu::pressDownload()
{
    if (broughtForward(WindowId::Download)) return;
    state.downloadAcknowledged = 0;
    stopTimers();
    openWindow(WindowId::Download);
}
