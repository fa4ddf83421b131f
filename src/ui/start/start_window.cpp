#include "ui/start/start_window.h"

#include "archive/datalog.h"
#include "link/link_messages.h"
#include "ui/archive/archive_window.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/navigator.h"
#include "ui/common/user_settings.h"
#include "ui/common/widgets.h"
#include "ui/datalog/datalog_viewer.h"
#include "ui/menu/main_menu.h"

#include <QDir>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const Caption kCaptions[] = {
    {"Command6", {"Parametri seriale", "Serial parameters", "PC'e Baglanma Sekli"}},
    {"Command7", {"Non connesso", "OFF line", "PC'e Bagli Degil"}},
    {"Command2", shared_texts::exit},
    {"Label16", {"VERSIONE SW", "SW VERSION", "VERSIONE SW"}},
    {"Label2", shared_texts::subtitle},
    {"OpenDatalog", {"Apri registrazione", "Open datalog", "Kayit ac"}},
    {"About", {"Informazioni", "About", "Hakkinda"}},
};
// not a caption: any language other than Italian and English takes the Turkish one
constexpr LocalText kOfflineTitleText{"ORVANE - Non connesso", "ORVANE - Not connected",
                                      "ORVANE - PC'e Bagli Degil"};
constexpr LocalText kPortLine{"Porta seriale: %1", "Serial port: %1", "Seri port: %1"};
constexpr LocalText kVirtualLine{"Centralina virtuale su %1", "Virtual ECU on %1", "Sanal beyin: %1"};

QPushButton* flagButton(QWidget* parent, const char* name, const char* image, const char* tip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(QIcon(QString::fromLatin1(image)));
    button->setIconSize(QSize(45, 30));
    button->setFixedSize(56, 40);
    // no words on the button: its language's own name says what it does
    button->setToolTip(QString::fromUtf8(tip));
    button->setAccessibleName(button->toolTip());
    // pressed while its language is the one chosen
    button->setCheckable(true);
    button->setAutoExclusive(true);
    return button;
}

} // namespace

StartWindow::StartWindow(AppContext& context) : Form(context, WindowId::Start)
{
    Q_INIT_RESOURCE(start);
    setWindowTitle(QStringLiteral(" VANTERIX - ORVANE"));

    logoImage = new QLabel(this);
    logoImage->setObjectName(QStringLiteral("Image1"));
    logoImage->setPixmap(QPixmap(QStringLiteral(":/start/images/logo.png")));
    productLabel = productNameLabel(this, QStringLiteral("Label1"));
    subtitleLabel = namedLabel(this, QStringLiteral("Label2"), QString());
    contactLabel = namedLabel(this, QStringLiteral("Label15"), QString());
    versionLabel = namedLabel(this, QStringLiteral("Label16"), QString());
    versionBox = valueBox(this, QStringLiteral("Text1"), 90);

    menuButton = new QPushButton(QStringLiteral("MENU"), this);
    menuButton->setObjectName(QStringLiteral("Command1"));
    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command2"));
    italianButton = flagButton(this, "Command3", ":/start/images/flag_it.png", "Italiano");
    englishButton = flagButton(this, "Command4", ":/start/images/flag_gb.png", "English");
    turkishButton = flagButton(this, "Command5", ":/start/images/flag_tr.png", "Türkçe");
    settingsButton = new QPushButton(this);
    settingsButton->setObjectName(QStringLiteral("Command6"));
    offlineButton = new QPushButton(this);
    offlineButton->setObjectName(QStringLiteral("Command7"));
    datalogButton = new QPushButton(this);
    datalogButton->setObjectName(QStringLiteral("OpenDatalog"));
    aboutButton = new QPushButton(this);
    aboutButton->setObjectName(QStringLiteral("About"));
    for (QPushButton* b : {menuButton, exitButton})
        b->setMinimumHeight(40);
    versionBox->setFocusPolicy(Qt::NoFocus);
    menuButton->setDefault(true);
    // shown connected, hidden off-line: the buttons above must not move under the user's pointer
    QSizePolicy keepPlace = contactLabel->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    contactLabel->setSizePolicy(keepPlace);

    auto* header = new QHBoxLayout;
    header->addWidget(logoImage);
    auto* names = new QVBoxLayout;
    names->addWidget(productLabel);
    names->addWidget(subtitleLabel);
    header->addLayout(names, 1);

    auto* version = new QHBoxLayout;
    version->addWidget(versionLabel);
    version->addWidget(versionBox);
    version->addStretch(1);

    auto* languages = new QHBoxLayout;
    languages->addWidget(italianButton);
    languages->addWidget(englishButton);
    languages->addWidget(turkishButton);
    languages->addStretch(1);

    auto* buttons = new QGridLayout;
    buttons->addWidget(menuButton, 0, 0);
    buttons->addWidget(exitButton, 0, 1);
    buttons->addWidget(settingsButton, 1, 0);
    buttons->addWidget(offlineButton, 1, 1);
    buttons->addWidget(datalogButton, 2, 0);
    buttons->addWidget(aboutButton, 2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(version);
    layout->addLayout(languages);
    layout->addLayout(buttons);
    layout->addWidget(contactLabel);

    connect(menuButton, &QPushButton::clicked, this, &StartWindow::pressMenu);
    connect(exitButton, &QPushButton::clicked, this, &StartWindow::requestClose);
    connect(italianButton, &QPushButton::clicked, this, [this] { chooseLanguage(1); });
    connect(englishButton, &QPushButton::clicked, this, [this] { chooseLanguage(2); });
    connect(turkishButton, &QPushButton::clicked, this, [this] { chooseLanguage(3); });
    connect(settingsButton, &QPushButton::clicked, this, &StartWindow::pressSerialSettings);
    connect(offlineButton, &QPushButton::clicked, this, &StartWindow::toggleOffline);
    // a recorded drive needs no ECU: open in either mode
    connect(aboutButton, &QPushButton::clicked, this, &StartWindow::showAbout);
    connect(datalogButton, &QPushButton::clicked, this, [this] {
        openWindow(WindowId::DatalogViewer);
        ctx.navigator.window<DatalogViewer>(WindowId::DatalogViewer)->chooseFile();
    });
}

void StartWindow::onLoad()
{
    versionBox->setText(programVersion());
    applyStartValues(state);
    // the last run's choices; a port named on the command line wins over the stored one
    const QString commandLinePort = state.serialPortName;
    if (const std::optional<QString> problem = loadUserSettings(ctx.settingsPath, state))
        QTimer::singleShot(0, this,
                           [this, text = *problem] { ctx.showMessage(QStringLiteral("ORVANE"), text); });
    if (!commandLinePort.isEmpty()) state.serialPortName = commandLinePort;
    showLanguage(state.languageIndex); // Qt's own dialogs speak it too
    menuButton->setFocus();
}

void StartWindow::onActivate()
{
    if (state.exitRequested == 1 && state.offlineMode == 0) {
        ctx.link.close();
        closeForm();
        return;
    }
    if (state.offlineMode == 1) {
        setWindowTitle(offlineTitle());
        settingsButton->setEnabled(false);
    } else {
        setWindowTitle(QStringLiteral("ORVANE"));
        settingsButton->setEnabled(true);
    }
    updateContactLine();
}

void StartWindow::requestClose()
{
    static constexpr LocalText question{
        "E' in corso \"%1\": uscendo ora, i valori non ancora scritti non arriveranno alla centralina. "
        "Uscire ora o attendere la fine?",
        "\"%1\" is under way: leaving now, the values not written yet will not reach the ECU. Leave now or "
        "wait for it to end?",
        "\"%1\" devam ediyor: simdi cikilirsa henuz yazilmayan degerler beyne ulasmayacak. Simdi cikilsin "
        "mi, "
        "yoksa bitmesi beklensin mi?"};
    static constexpr LocalText leave{"Esci ora", "Leave now", "Simdi cik"};
    static constexpr LocalText wait{"Attendi", "Wait", "Bekle"};
    if (ctx.writes.busy()) {
        if (!ctx.fileDialogs->confirm(this, QStringLiteral("ORVANE"),
                                      text(question).arg(ctx.writes.holderName(language())), {}, text(leave),
                                      text(wait)))
            return;
        if (ctx.writes.running()) {
            // the report of what did not reach the ECU stays on screen; closing it ends the program
            state.quitOnMessageClose = 1;
            ctx.writes.abandon();
            return;
        }
    }
    closeForm();
}

void StartWindow::onUnload()
{
    if (ctx.link.isOpen()) ctx.link.close();
    ctx.navigator.endTheProgram();
}

void StartWindow::pressMenu()
{
    if (!ctx.link.isOpen() && state.offlineMode == 0) {
        const QString port = selectedPortName(state);
        if (!ctx.link.open(port, state.serialSettings)) {
            // a port is mended here, in "Parametri seriale": closing the message comes back to this window
            const LinkMessage m =
                portProblemMessage(language(), port, ctx.link.problem(), ctx.link.errorText());
            ctx.showMessage(m.title, m.text);
            return;
        }
    }
    clearHandshakeFlags(state);
    // a new connection: a lost link or a download prepared off-line must not close the new menu
    state.lostLinkCount = 0;
    state.exitRequested = 0;
    dropTopMost();
    // always a new connection: a menu left open from before a port was unplugged reads the ECU again
    if (windowOpen(WindowId::MainMenu)) ctx.navigator.window<MainMenu>(WindowId::MainMenu)->reconnect();
    openWindow(WindowId::MainMenu);
}

void StartWindow::pressSerialSettings()
{
    dropTopMost();
    if (ctx.link.isOpen()) ctx.link.close();
    openWindow(WindowId::SerialSettings);
}

void StartWindow::toggleOffline()
{
    if (state.offlineMode == 1) {
        setWindowTitle(QStringLiteral("ORVANE"));
        state.offlineMode = 0;
        settingsButton->setEnabled(true);
    } else {
        setWindowTitle(offlineTitle());
        state.offlineMode = 1;
        settingsButton->setEnabled(false);
    }
    updateContactLine();
}

QString StartWindow::offlineTitle() const
{
    const int column = (state.languageIndex == 1 || state.languageIndex == 2) ? state.languageIndex : 3;
    return kOfflineTitleText.in(static_cast<Language>(column));
}

void StartWindow::showAbout()
{
    static constexpr LocalText title{"ORVANE - Informazioni", "ORVANE - About", "ORVANE - Hakkinda"};
    static constexpr LocalText body{
        "ORVANE Service %1\nCentralina: %2\nPorta: %3 (%4)\nArchivio vetture: %5\nRegistrazioni: %6\n"
        "Impostazioni: %7\nLicenza: software proprietario; usa Qt 6 (LGPL 3) e libgsf (LGPL 2.1).",
        "ORVANE Service %1\nECU: %2\nPort: %3 (%4)\nVehicle archive: %5\nDatalogs: %6\nSettings: %7\n"
        "Licence: proprietary software; uses Qt 6 (LGPL 3) and libgsf (LGPL 2.1).",
        "ORVANE Service %1\nBeyin: %2\nPort: %3 (%4)\nArac arsivi: %5\nKayitlar: %6\nAyarlar: %7\n"
        "Lisans: ozel yazilim; Qt 6 (LGPL 3) ve libgsf (LGPL 2.1) kullanir."};
    static constexpr LocalText notRead{"non ancora letta", "not read yet", "henuz okunmadi"};
    static constexpr LocalText notKept{"non salvate", "not kept", "saklanmiyor"};
    const bool read = state.ecuVersion[1] != 0 || state.ecuVersion[2] != 0 || state.ecuVersion[3] != 0;
    const QString ecu = read ? QStringLiteral("%1.%2.%3")
                                   .arg(state.ecuVersion[1])
                                   .arg(state.ecuVersion[2])
                                   .arg(state.ecuVersion[3])
                             : text(notRead);
    const QStringList values = {programVersion(),
                                ecu,
                                selectedPortName(state),
                                state.serialSettings,
                                QDir::toNativeSeparators(ArchiveWindow::vehicleFolder()),
                                QDir::toNativeSeparators(datalogFolder()),
                                ctx.settingsPath.isEmpty() ? text(notKept)
                                                           : QDir::toNativeSeparators(ctx.settingsPath)};
    // every value at once: a "%1" in a folder's name stays as it is
    QString shown = text(body);
    shown = shown.arg(values[0], values[1], values[2], values[3], values[4], values[5], values[6]);
    ctx.showMessage(text(title), shown);
}

void StartWindow::chooseLanguage(int languageIndex)
{
    showLanguage(languageIndex);
    saveUserSettings(ctx.settingsPath, state, !(ctx.simulated && state.serialPortName == ctx.simulatedPort));
}

void StartWindow::showLanguage(int languageIndex)
{
    state.languageIndex = languageIndex;
    // every open window, this one among them
    ctx.languageChanged();
}

void StartWindow::onLanguageChanged()
{
    (state.languageIndex == 2   ? englishButton
     : state.languageIndex == 3 ? turkishButton
                                : italianButton)
        ->setChecked(true);
    setWindowTitle(state.offlineMode == 1 ? offlineTitle() : QStringLiteral("ORVANE"));
    updateContactLine();
}

std::span<const Caption> StartWindow::captions() const
{
    return kCaptions;
}

void StartWindow::updateContactLine()
{
    const QString port = selectedPortName(state);
    contactLabel->setText(
        text(ctx.simulated && port == ctx.simulatedPort ? kVirtualLine : kPortLine).arg(port));
    contactLabel->setVisible(state.offlineMode == 0);
}
