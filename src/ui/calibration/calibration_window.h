#pragma once

#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/guided_calibration.h"
#include "ui/common/form.h"
#include "ui/status/status_rules.h"

#include <QTimer>

#include <array>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class DatalogRecorder;
class CorrectivePanel;
class SegmentBar;
class TableEditor;
class TableGrid;

// Calibration of the gas injection while the engine runs: the live values, the KGB table with
// its axes and the operating point, the coefficient under test, the calibration mode and the
// write-back of what the installer edits. One phase runs at a time, each on its own timer.
class CalibrationWindow : public Form {
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
    std::span<const Caption> captions() const override;

private:
    void pressExit();
    void requestClose() override;
    void pressChangeover();
    void pressSensorChoice();
    void pressStore();
    void pressFill();
    void pressMode();
    void pressAutomatic();
    void pressGraphical();
    void changeKgb(int scrollValue);

    // guided calibrations
    void changeGuidedPosition(int scrollValue);
    void pressGuidedStart();
    void changeCoilCount(int scrollValue);
    void pressOk();
    void coilHandshakeTick();
    void storeGuided();
    // `waitForInjectors` false: the coils end without the ECU's injector reply.
    void abandonGuided(bool waitForInjectors = true);
    void finishGuided(GuidedCalibration::Kind kind);
    void showGuidedProgress();
    void noteGuidedValue();
    QString guidedHint() const;

    void startHandshake();
    void startWriteBack();
    void finishWriteBack();
    void onWriteEnded(const WriteReport& report);
    void showProgress();
    void updateControls();
    void showTable();
    void showGuidedControls(bool shown);
    void showLiveView();
    void onCellConfirmed(int cell, int value);
    void onParameterConfirmed(int id, int value);
    void onModeAcknowledged(bool on);

    TableGrid* grid;                              // Text6(0..79), Label10, Label9, Shape1
    TableEditor* editor;                          // block edits of the cells, undo and redo
    QLineEdit* lambda1Box;                        // Text1
    QLineEdit* lambda1Average;                    // Text2
    QLineEdit* tinjBox;                           // Text3
    QLineEdit* gasTinjBox;                        // Text4 averaged on gas
    QLineEdit* rpmBox;                            // Text5
    QLineEdit* pressureBox;                       // Text7
    QLineEdit* guidedBox;                         // Text8 (guided calibrations)
    QLineEdit* guidedValue;                       // Text9 (guided calibrations)
    QLineEdit* kgbBox;                            // Text11 calibrationKgb
    QLineEdit* petrolTinjBox;                     // Text12 averaged on petrol
    QLineEdit* kgbInUseBox;                       // Text14
    QLineEdit* statusLine;                        // Text15
    QLineEdit* pressure2Box;                      // Text16
    QLineEdit* lambda2Average;                    // Text17
    QLineEdit* lambda2Box;                        // Text18
    QLineEdit* temperature2Box;                   // Text21
    QLineEdit* temperature1Box;                   // Text22
    QScrollBar* kgbSpinner;                       // VScroll1
    QScrollBar* guidedSpinner;                    // VScroll5 (guided calibrations)
    QScrollBar* coilSpinner;                      // VScroll6 (guided calibrations)
    SegmentBar* oxygenBar;                        // Shape5(0..19)
    QPushButton* exitButton;                      // Command1 "EXIT"
    QPushButton* changeoverButton;                // Command2 "COMMUTA"
    QPushButton* okButton;                        // Command3 "OK" (guided calibrations)
    QPushButton* correctivesButton;               // Command4 "VISUALIZZA CORRETTIVI" (guided calibrations)
    QPushButton* graphicalButton;                 // Command5 "Visualizzazione grafica"
    QPushButton* sensorButton;                    // Command6 "Lambda1"
    QPushButton* storeButton;                     // Command7 "MODIFICA"
    QPushButton* automaticButton;                 // Command8 "TARATURA AUTOMATICA"
    QPushButton* modeButton;                      // Command9 "TARATURA NON ATTIVA"
    QPushButton* fillButton;                      // Command11 "IMPOSTA TUTTA TABELLA"
    DatalogRecorder* recorder;                    // its button records the replies to a datalog
    QGroupBox* pressure2Frame;                    // Frame19
    std::array<QGroupBox*, 3> correctiveFrames{}; // Frame17, Frame20, Frame21
    CorrectivePanel* correctives;                 // Frame17, Frame20, Frame21 with their boxes and spinners
    QLabel* coilLabel;                            // Label4 "NUMERO BOBINE"
    std::array<QLabel*, 16> injectorLabels{}; // Label5(0..15): ON of injector i + 1 at i, its OFF at 8 + i
    std::vector<QLineEdit*> colouredBoxes;    // the "values" that take the fuel colour

    QTimer handshakeTimer; // Timer1, 500 ms
    QTimer pollTimer;      // Timer2, 300 ms
    QTimer closingTimer;   // Timer3, 500 ms
    QTimer writeBackTimer; // Timer4, 100 ms
    QTimer guidedTimer;    // Timer5, 200 ms

    // reset each time the window opens
    Phase phase_ = Phase::Polling;
    int selectedOxygenSensor = 1;
    LambdaAverage lambdaAverage1{10}, lambdaAverage2{10};
    int smoothedPressure = 0;
    FuelColours fuelColours;
    bool kgbTaken_ = false; // calibrationKgb took the KGB in use since the window opened or Form8 closed
    GuidedCalibration guided_;
    int guidedPosition_ = 1; // VScroll5
    SteadyValue guidedSteady_;

    // module-wide: kept while the window is closed and opened again
    TinjAverage tinjAverage;
};
