#pragma once

#include "link/ecu_finder.h"
#include "ui/common/form.h"

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// Port, baud rate, parity, data bits and stop bits for the next "MENU". Opens with its fixed
// texts and nothing selected (the port list shows a chosen device instead of COM1); a list left
// alone gives the default, and the device in force stays.
class SerialSettingsDialog : public Form {
    Q_OBJECT
public:
    explicit SerialSettingsDialog(AppContext& context);

    // The ports the search asks: the numbered ports this machine has, then its serial devices.
    std::function<QStringList()> searchCandidates;
    // How long the search waits for each port's answer.
    int searchWaitMs = 800;

protected:
    void onLoad() override;
    void onUnload() override;
    std::span<const Caption> captions() const override;

private:
    void pressOk();
    void pressSearch();
    void showFound(const QList<EcuFinder::Answer>& answers);
    QString chosenSettings() const;

    QComboBox* portList;       // Combo1 "Port"
    QComboBox* baudList;       // Combo2 "Baud Rate"
    QComboBox* dataBitsList;   // Combo3 "Data bits"
    QComboBox* parityList;     // Combo4 "Parity"
    QComboBox* stopBitsList;   // Combo5 "Stop Bits"
    QPushButton* okButton;     // Command1 "OK"
    QPushButton* cancelButton; // Command2 "Cancel"
    QPushButton* searchButton; // asks every port for the ECU
    QLabel* searchLine;        // what the search is doing or found
    EcuFinder finder;
};
