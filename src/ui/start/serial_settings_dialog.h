#pragma once

#include "ui/common/form.h"

class QComboBox;
class QPushButton;

// Port, baud rate, parity, data bits and stop bits for the next "MENU". Opens with its fixed
// texts and nothing selected (the port list shows a chosen device instead of COM1); a list left
// alone gives the default, and the device in force stays.
class SerialSettingsDialog : public Form {
    Q_OBJECT
public:
    explicit SerialSettingsDialog(AppContext& context);

protected:
    void onLoad() override;
    std::span<const Caption> captions() const override;

private:
    void pressOk();

    QComboBox* portList;       // Combo1 "Port"
    QComboBox* baudList;       // Combo2 "Baud Rate"
    QComboBox* dataBitsList;   // Combo3 "Data bits"
    QComboBox* parityList;     // Combo4 "Parity"
    QComboBox* stopBitsList;   // Combo5 "Stop Bits"
    QPushButton* okButton;     // Command1 "OK"
    QPushButton* cancelButton; // Command2 "Cancel"
};
