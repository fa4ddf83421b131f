#include "ui/start/start_window.h"

#include "ui/common/link_messages.h"
#include "ui/common/navigator.h"
#include "ui/common/widgets.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Texts {
    const char* settings; // Command6
    const char* offline;  // Command7
    const char* exit;     // Command2
    const char* version;  // Label16
    const char* offlineTitle;
    const char* portLine;    // Label15, %1 = port
    const char* virtualLine; // Label15 with the built-in virtual ECU, %1 = device
};

const Texts kTexts[3] = {
    {"Parametri seriale", "Non connesso", "EXIT", "VERSIONE SW", "ORVANE - Non connesso", "Porta seriale: %1",
     "Centralina virtuale su %1"},
    {"Serial parameters", "OFF line", "EXIT", "SW VERSION", "ORVANE - Not connected", "Serial port: %1",
     "Virtual ECU on %1"},
    {"PC'e Baglanma Sekli", "PC'e Bagli Degil", "CIKIS", "VERSIONE SW", "ORVANE - PC'e Bagli Degil",
     "Seri port: %1", "Sanal beyin: %1"},
};

QPushButton* flagButton(QWidget* parent, const char* name, const char* image, const char* tip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(QIcon(QString::fromLatin1(image)));
    button->setIconSize(QSize(45, 30));
    button->setFixedSize(56, 40);
    button->setToolTip(QString::fromUtf8(tip));
    return button;
}

} // namespace

StartWindow::StartWindow(AppContext& context) : Form(context, QStringLiteral("Form1"))
{
    Q_INIT_RESOURCE(start);
    setWindowTitle(QStringLiteral(" VANTERIX - ORVANE"));

    logoImage = new QLabel(this);
    logoImage->setObjectName(QStringLiteral("Image1"));
    logoImage->setPixmap(QPixmap(QStringLiteral(":/start/images/logo.png")));
    productLabel = productNameLabel(this, QStringLiteral("Label1"));
    subtitleLabel = namedLabel(this, QStringLiteral("Label2"), QStringLiteral("Sequential Injection System"));
    contactLabel = namedLabel(this, QStringLiteral("Label15"), QString());
    versionLabel = namedLabel(this, QStringLiteral("Label16"), QStringLiteral("VERSIONE SW"));
    versionBox = valueBox(this, QStringLiteral("Text1"), 90);

    menuButton = new QPushButton(QStringLiteral("MENU"), this);
    menuButton->setObjectName(QStringLiteral("Command1"));
    exitButton = new QPushButton(QStringLiteral("EXIT"), this);
    exitButton->setObjectName(QStringLiteral("Command2"));
    italianButton = flagButton(this, "Command3", ":/start/images/flag_it.png", "Italiano");
    englishButton = flagButton(this, "Command4", ":/start/images/flag_gb.png", "English");
    turkishButton = flagButton(this, "Command5", ":/start/images/flag_tr.png", "Türkçe");
    settingsButton = new QPushButton(QStringLiteral("Parametri seriale"), this);
    settingsButton->setObjectName(QStringLiteral("Command6"));
    offlineButton = new QPushButton(QStringLiteral("Non connesso"), this);
    offlineButton->setObjectName(QStringLiteral("Command7"));
    for (QPushButton* b : {menuButton, exitButton})
        b->setMinimumHeight(40);

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

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(version);
    layout->addLayout(languages);
    layout->addLayout(buttons);
    layout->addWidget(contactLabel);

    connect(menuButton, &QPushButton::clicked, this, &StartWindow::pressMenu);
    connect(exitButton, &QPushButton::clicked, this, &StartWindow::closeForm);
    connect(italianButton, &QPushButton::clicked, this, [this] { chooseLanguage(1); });
    connect(englishButton, &QPushButton::clicked, this, [this] { chooseLanguage(2); });
    connect(turkishButton, &QPushButton::clicked, this, [this] { chooseLanguage(3); });
    connect(settingsButton, &QPushButton::clicked, this, &StartWindow::pressSerialSettings);
    connect(offlineButton, &QPushButton::clicked, this, &StartWindow::toggleOffline);
}

void StartWindow::onLoad()
{
    versionBox->setText(programVersion());
    applyStartValues(state);
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
            state.quitOnMessageClose = 1;
            const LinkMessage m = portProblemMessage(state.languageIndex, port, ctx.link.errorText());
            ctx.showMessage(m.title, m.text);
            return;
        }
    }
    clearHandshakeFlags(state);
    ctx.navigator.open(QStringLiteral("Form2"));
}

void StartWindow::pressSerialSettings()
{
    if (ctx.link.isOpen()) ctx.link.close();
    ctx.navigator.open(QStringLiteral("Form4"));
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
    // any language other than Italian and English takes the Turkish title
    const int column = (state.languageIndex == 1 || state.languageIndex == 2) ? state.languageIndex : 3;
    return QString::fromUtf8(kTexts[column - 1].offlineTitle);
}

void StartWindow::chooseLanguage(int languageIndex)
{
    state.languageIndex = languageIndex;
    applyTexts();
}

void StartWindow::applyTexts()
{
    const Texts* t = textsFor(kTexts, state.languageIndex);
    if (!t) return;
    settingsButton->setText(QString::fromUtf8(t->settings));
    offlineButton->setText(QString::fromUtf8(t->offline));
    exitButton->setText(QString::fromUtf8(t->exit));
    versionLabel->setText(QString::fromUtf8(t->version));
    setWindowTitle(state.offlineMode == 1 ? offlineTitle() : QStringLiteral("ORVANE"));
    updateContactLine();
}

void StartWindow::updateContactLine()
{
    const Texts* t = textsFor(kTexts, state.languageIndex);
    if (!t) t = &kTexts[0];
    const QString port = selectedPortName(state);
    contactLabel->setText(
        QString::fromUtf8(ctx.simulated && port == ctx.simulatedPort ? t->virtualLine : t->portLine)
            .arg(port));
    contactLabel->setVisible(state.offlineMode == 0);
}
