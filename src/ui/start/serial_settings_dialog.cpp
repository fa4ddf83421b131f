#include "ui/start/serial_settings_dialog.h"

#include "link/serial_ports.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

const Caption kCaptions[] = {
    {kTitle, {"PARAMETRI PORTA SERIALE", "SERIAL PORT PARAMETERS", "ORVANE - Bagli Degil"}},
    {"Command2", {"Cancel"}},
};

constexpr int kNumberedPorts = 4;

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
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(okButton, &QPushButton::clicked, this, &SerialSettingsDialog::pressOk);
    connect(cancelButton, &QPushButton::clicked, this, &Form::closeForm);
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

    const char* parityLetters[] = {"n", "o", "e"};
    const QString baud = baudList->currentIndex() < 0 ? QStringLiteral("9600") : baudList->currentText();
    const QString parity =
        QString::fromLatin1(parityList->currentIndex() < 0 ? "n" : parityLetters[parityList->currentIndex()]);
    const QString dataBits =
        dataBitsList->currentIndex() < 0 ? QStringLiteral("8") : dataBitsList->currentText();
    const QString stopBits =
        stopBitsList->currentIndex() < 0 ? QStringLiteral("1") : stopBitsList->currentText();
    state.serialSettings =
        baud + QLatin1Char(',') + parity + QLatin1Char(',') + dataBits + QLatin1Char(',') + stopBits;
    closeForm();
}
