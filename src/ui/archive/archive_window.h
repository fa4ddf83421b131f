#pragma once

#include "link/write_session.h"
#include "ui/common/form.h"

#include <QTimer>

#include <array>
#include <functional>
#include <span>

class QLabel;
class QPushButton;
class WordedLine;

// The hub of the ECU's parameters: opens the five pages, restores the ECU's defaults, keeps the
// vehicle's set in a workbook on the PC and sends such a set back to the ECU.
class ArchiveWindow : public Form {
    Q_OBJECT
public:
    explicit ArchiveWindow(AppContext& context);

    void defaultsTick(); // Timer1
    void transferTick(); // Timer2

    // The folder the file dialog opens in, made when missing.
    static QString vehicleFolder();

protected:
    void onLoad() override;
    void onUnload() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;

private:
    void setButtonsEnabled(bool enabled);
    void showTransfer();
    // The operation is over; `line` words how it ended (none: a blank line).
    void finish(std::function<QString()> line = {});
    void openPage(WindowId page);
    void pressDefaults();
    // False, after telling the user, while the ECU's values were not read back.
    bool ecuValuesKnown();
    void onWriteEnded(const WriteReport& report);
    // Defaults left before the ECU confirmed them: its values are read again.
    void stopDefaults();
    void pressStoreOnPc();
    void pressStoreOnEcu();

    std::array<QPushButton*, 9> buttons{}; // Command1..Command9
    WordedLine* progressLine;              // what runs, how far it is
    QTimer defaultsTimer;                  // Timer1, 500 then 2000 ms
    QTimer transferTimer;                  // Timer2, 200 ms
    int defaultsSends = 0;
};
