#include "ui/start/serial_settings_dialog.h"

#include "link/serial_ports.h"
#include "ui/common/user_settings.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"PARAMETRI PORTA SERIALE", "SERIAL PORT PARAMETERS", "ORVANE - Bagli Degil"}},
    {"Command2", {"Cancel"}},
    {"SearchEcu", {"Cerca centralina", "Find the ECU", "Beyni bul"}},
};

constexpr int kNumberedPorts = 4;

constexpr LocalText kSearching{"Ricerca della centralina: %1 ...", "Looking for the ECU: %1 ...",
                               "Beyin araniyor: %1 ..."};
constexpr LocalText kFound{"Centralina %1 trovata su %2: porta scelta.", "ECU %1 found on %2: port chosen.",
                           "Beyin %1, %2 uzerinde bulundu: port secildi."};
constexpr LocalText kAlsoFound{"Risponde anche: %1", "Also answering: %1", "Ayrica cevap veren: %1"};
constexpr LocalText kNotFound{
    "Nessuna centralina risponde a %1 sulle %2 porte provate: controllare cavo, alimentazione e velocita'.",
    "No ECU answers at %1 on the %2 ports tried: check the cable, the power and the speed.",
    "Denenen %2 portta %1 ayarinda cevap veren beyin yok: kabloyu, gucu ve hizi kontrol edin."};

// A list that shows a text without any entry being selected, as the dialog opens.
QComboBox* fixedList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(true);
    list->lineEdit()->setReadOnly(true);
    list->addItems(items);
    return list;
}

void showUnselected(QComboBox* list, const QString& text)
{
    list->setCurrentIndex(-1);
    list->setEditText(text);
}

} // namespace

SerialSettingsDialog::SerialSettingsDialog(AppContext& context) : Form(context, WindowId::SerialSettings)
{
    setWindowTitle(QStringLiteral("Parametri comunicazione"));
    portList = fixedList(this, "Combo1", {});
    baudList = fixedList(this, "Combo2",
                         {"110", "300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"});
    parityList = fixedList(this, "Combo4", {"none", "odd", "even"});
    dataBitsList = fixedList(this, "Combo3", {"4", "5", "6", "7", "8"});
    stopBitsList = fixedList(this, "Combo5", {"1", "1.5", "2"});
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    searchButton = new QPushButton(this);
    searchButton->setObjectName(QStringLiteral("SearchEcu"));
    searchLine = new QLabel(this);
    searchLine->setObjectName(QStringLiteral("SearchResult"));
    searchLine->setWordWrap(true);
    searchCandidates = [this] {
        QStringList ports;
        for (int n = 1; n <= kNumberedPorts; ++n) {
            const QString name = portNameForNumber(n);
            // a numbered port that is not there cannot answer; Windows names are not files
            if (!name.startsWith(QLatin1Char('/')) || QFileInfo::exists(name)) ports << name;
        }
        ports << serialDevices();
        if (!state.serialPortName.isEmpty()) ports << state.serialPortName;
        if (ctx.simulated) ports << ctx.simulatedPort;
        ports.removeDuplicates();
        return ports;
    };

    auto* form = new QFormLayout;
    const std::pair<const char*, QComboBox*> rows[] = {{"Port", portList},
                                                       {"Baud Rate", baudList},
                                                       {"Parity", parityList},
                                                       {"Data bits", dataBitsList},
                                                       {"Stop Bits", stopBitsList}};
    for (const auto& [caption, list] : rows) {
        // a screen reader, or a test, finds the list by its caption
        form->addRow(QString::fromLatin1(caption), list);
        list->setAccessibleName(QString::fromLatin1(caption));
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(searchButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(searchLine);
    layout->addLayout(buttons);
    // the title bar must show the whole title
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("SERIAL PORT PARAMETERS")) * 2 + 120);

    connect(okButton, &QPushButton::clicked, this, &SerialSettingsDialog::pressOk);
    connect(cancelButton, &QPushButton::clicked, this, &Form::closeForm);
    connect(searchButton, &QPushButton::clicked, this, &SerialSettingsDialog::pressSearch);
    connect(&finder, &EcuFinder::probing, this,
            [this](const QString& port) { searchLine->setText(text(kSearching).arg(port)); });
    connect(&finder, &EcuFinder::finished, this, &SerialSettingsDialog::showFound);
}

void SerialSettingsDialog::onLoad()
{
    // the four numbered ports, then the devices this machine has (a USB adapter, the virtual ECU)
    portList->clear();
    portList->addItems({"COM1", "COM2", "COM3", "COM4"});
    QStringList devices = serialDevices();
    if (!state.serialPortName.isEmpty() && !devices.contains(state.serialPortName))
        devices << state.serialPortName;
    if (ctx.simulated && !devices.contains(ctx.simulatedPort)) devices << ctx.simulatedPort;
    portList->addItems(devices);

    // a device chosen with --port or --simulate stays in force unless the user picks another port
    showUnselected(portList, state.serialPortName.isEmpty() ? QStringLiteral("COM1") : state.serialPortName);
    showUnselected(baudList, QStringLiteral("9600"));
    showUnselected(parityList, QStringLiteral("None"));
    showUnselected(dataBitsList, QStringLiteral("8"));
    showUnselected(stopBitsList, QStringLiteral("1"));
    finder.cancel();
    searchLine->clear();
    searchButton->setEnabled(true);
    okButton->setEnabled(true);
}

void SerialSettingsDialog::onUnload()
{
    finder.cancel();
}

void SerialSettingsDialog::pressSearch()
{
    searchButton->setEnabled(false);
    okButton->setEnabled(false);
    finder.start(searchCandidates(), chosenSettings(), searchWaitMs);
}

void SerialSettingsDialog::showFound(const QList<EcuFinder::Answer>& answers)
{
    searchButton->setEnabled(true);
    okButton->setEnabled(true);
    if (answers.isEmpty()) {
        searchLine->setText(
            text(kNotFound).arg(chosenSettings(), QString::number(searchCandidates().size())));
        return;
    }
    const QString port = answers.first().port;
    if (portList->findText(port) < 0) portList->addItem(port);
    portList->setCurrentIndex(portList->findText(port));
    QString line = text(kFound).arg(answers.first().version, port);
    QStringList others;
    for (qsizetype i = 1; i < answers.size(); ++i)
        others << answers[i].port + QStringLiteral(" (") + answers[i].version + QLatin1Char(')');
    if (!others.isEmpty())
        line += QLatin1Char('\n') + text(kAlsoFound).arg(others.join(QStringLiteral(", ")));
    searchLine->setText(line);
}

QString SerialSettingsDialog::chosenSettings() const
{
    const char* parityLetters[] = {"n", "o", "e"};
    const QString baud = baudList->currentIndex() < 0 ? QStringLiteral("9600") : baudList->currentText();
    const QString parity =
        QString::fromLatin1(parityList->currentIndex() < 0 ? "n" : parityLetters[parityList->currentIndex()]);
    const QString dataBits =
        dataBitsList->currentIndex() < 0 ? QStringLiteral("8") : dataBitsList->currentText();
    const QString stopBits =
        stopBitsList->currentIndex() < 0 ? QStringLiteral("1") : stopBitsList->currentText();
    return baud + QLatin1Char(',') + parity + QLatin1Char(',') + dataBits + QLatin1Char(',') + stopBits;
}

std::span<const Caption> SerialSettingsDialog::captions() const
{
    return kCaptions;
}

void SerialSettingsDialog::pressOk()
{
    const int port = portList->currentIndex();
    if (port >= kNumberedPorts) {
        state.serialPortName = portList->itemText(port);
    } else if (port < 0 && !state.serialPortName.isEmpty()) {
        // nothing picked: the device in force stays
    } else {
        state.serialPortName.clear();
        state.serialPortNumber = port < 0 ? 1 : port + 1;
    }

    state.serialSettings = chosenSettings();
    saveUserSettings(ctx.settingsPath, state, !(ctx.simulated && state.serialPortName == ctx.simulatedPort));
    closeForm();
}
