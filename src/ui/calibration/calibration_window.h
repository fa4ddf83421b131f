#pragma once

#include "link/write_session.h"
#include "ui/calibration/guided_controller.h"
#include "ui/common/form.h"

#include <QTimer>

#include <array>
#include <optional>

class QGroupBox;
class QLabel;
class QPushButton;
class CalibrationLiveView;
class CalibrationTable;
class CorrectivePanel;
class DatalogRecorder;
class TableEditor;
class TableGrid;

// Calibration of the gas injection while the engine runs. The window composes the live view, the
// KGB table with its editor, the correctives panel and the guided calibrations, and runs the
// calibration mode, the store of what the installer edits and the closing. One phase runs at a
// time, each on its own timer.
class CalibrationWindow : public Form, private GuidedHost {
    Q_OBJECT
public:
    explicit CalibrationWindow(AppContext& context);

    // Guided: a guided calibration runs (polling goes on); GuidedWriting: its value is being stored.
    // Automatic: the automatic calibration window has the ECU; this one waits for it to close.
    enum class Phase {
        Offline,
        Polling,
        Handshaking,
        WritingBack,
        Closing,
        Guided,
        GuidedWriting,
        Automatic
    };
    Phase phase() const { return phase_; }

    // Tick handlers, public so that tests can drive them.
    void handshakeTick(); // Timer1, also the coil handshake while the coils are calibrated
    void pollTick();      // Timer2
    void closingTick();   // Timer3
    void writeBackTick(); // Timer4
    void guidedTick();    // Timer5

protected:
    void onLoad() override;
    void onActivate() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;

private:
    void pressExit();
    void requestClose() override;
    void pressChangeover();
    void pressStore();
    void pressFill();
    void pressMode();
    void pressAutomatic();
    void pressGraphical();

    // GuidedHost
    void guidedRunning() override;
    void guidedWriting() override;
    void guidedOver() override;
    void showStatus(const QString& line) override;
    void refreshControls() override { updateControls(); }
    void resumePolling() override { pollTimer.start(); }
    bool readyForGuided() const override { return phase_ == Phase::Polling; }

    void startHandshake();
    void startWriteBack();
    void finishWriteBack();
    void onWriteEnded(const WriteReport& report);
    void showProgress();
    void updateControls();
    void showStatusLine();
    void paintFuelColour();
    void onParameterConfirmed(int id, int value);
    void onModeAcknowledged(bool on);
    // The title and the mode button say whether the ECU's calibration mode is on.
    void showMode(bool on);
    // A datalog row: what the poll shows, the mode, the coefficient under test and the cell in use.
    void recordRow(std::vector<int>& row) const;

    CalibrationLiveView* live;     // Frame1..Frame19 with their boxes, VScroll1, Shape5, Command6
    CalibrationTable* table;       // Text6(0..79), Shape1 and the block editor
    CorrectivePanel* correctives;  // Frame17, Frame20, Frame21 with their boxes and spinners
    GuidedController* guided;      // Command4, VScroll5, Text9, Command3, Label4, Text8, VScroll6, Label5
    QLabel* statusLine;            // Text15, wrapped: a prompt is read whole
    QPushButton* exitButton;       // Command1 "EXIT"
    QPushButton* changeoverButton; // Command2 "COMMUTA"
    QPushButton* graphicalButton;  // Command5 "Visualizzazione grafica"
    QPushButton* storeButton;      // Command7 "MODIFICA"
    QPushButton* automaticButton;  // Command8 "TARATURA AUTOMATICA"
    QPushButton* modeButton;       // Command9 "TARATURA NON ATTIVA"
    QPushButton* fillButton;       // Command11 "IMPOSTA TUTTA TABELLA"
    DatalogRecorder* recorder;     // its button records the replies to a datalog

    QTimer handshakeTimer; // Timer1, 500 ms
    QTimer pollTimer;      // Timer2, 300 ms
    QTimer closingTimer;   // Timer3, 500 ms
    QTimer writeBackTimer; // Timer4, 100 ms
    QTimer guidedTimer;    // Timer5, 200 ms

    // reset each time the window opens
    Phase phase_ = Phase::Polling;
    std::optional<bool> modeShown_; // what the title says of the mode, once the ECU acknowledged one
    bool kgbTaken_ = false; // calibrationKgb took the KGB in use since the window opened or Form8 closed
    int polledKgb_ = -1;    // the coefficient the last calibration poll carried, whoever sent it
};
