#pragma once

#include "link/write_session.h"
#include "ui/calibration/auto_calibration_rules.h"
#include "ui/common/form.h"
#include "ui/status/status_rules.h"

#include <QTimer>

#include <optional>

class Lamp;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class SegmentBar;

// Finds the coefficient at which the ECU reports the same injection time on gas as on petrol: it
// changes fuel back and forth, compares the stable times and steps the coefficient under test;
// once a petrol phase shows no deviation, OK derives the whole table from it and writes it.
class AutoCalibrationWindow : public Form {
    Q_OBJECT
public:
    explicit AutoCalibrationWindow(AppContext& context);

    enum class Phase { Offline, Sampling, WritingTable, Leaving };
    Phase phase() const { return phase_; }
    const auto_calibration::AutoCalibration& procedure() const { return procedure_; }

    // Tick handlers, public so that tests can drive them.
    void phaseTick();    // Timer1
    void samplingTick(); // Timer2
    void tableTick();    // Timer3

protected:
    void onLoad() override;
    void onActivate() override;
    void onUnload() override;
    void onLanguageChanged() override;
    void requestClose() override;
    std::span<const Caption> captions() const override;

private:
    void pressExit();
    void pressOk();
    void changeRange(int value);
    void leave();
    void showSample(const auto_calibration::SampleOutcome& outcome);
    void showDecision(const auto_calibration::Decision& d);
    // Marks the decision in the calibration window's recording, when one runs.
    void markDecision(const auto_calibration::Decision& d, int tried);
    QString decisionText(const auto_calibration::Decision& d) const;
    void showProcedureState(bool fresh);
    void showTableProgress();
    void onWriteEnded(const WriteReport& report);
    void repeatChangeover();
    void updateControls();

    QLineEdit* petrolTinjBox;  // Text1
    QLineEdit* gasTinjBox;     // Text2
    QLineEdit* lambda1Box;     // Text3
    QLineEdit* lambda1Average; // Text4
    QLineEdit* lambda2Box;     // Text5
    QLineEdit* lambda2Average; // Text6
    QLineEdit* kgbBox;         // Text7 KGB in use
    QLineEdit* rpmBox;         // Text8
    QLineEdit* tinjBox;        // Text9
    QLineEdit* rangeBox;       // Text10 stableTinjRange
    QLineEdit* differenceBox;  // Text13
    QScrollBar* rangeSpinner;  // VScroll1
    QRadioButton* lpgOption;   // Option1_0
    QRadioButton* cngOption;   // Option1_1
    QLabel* instruction;       // Label1
    QLabel* rpmStableLabel;    // Label7 "GIRI STABILI"
    QLabel* tinjStableLabel;   // Label9 "TINJ STABILI"
    QLabel* safetyLabel;       // Label11 "SAFETY"
    QLabel* procedureLine;     // where the procedure stands: phase, stable for, samples
    QLabel* decisionLine;      // the last decision and the coefficient it led to
    Lamp* petrolLamp;          // Shape2
    Lamp* gasLamp;             // Shape3
    SegmentBar* differenceBar; // Shape1(0..20): 0 the centre, 1..10 leftwards, 11..20 rightwards
    QPushButton* exitButton;   // Command1 "EXIT"
    QPushButton* okButton;     // Command2 "OK"

    QTimer phaseTimer;    // Timer1, 1000 ms
    QTimer samplingTimer; // Timer2, 300 ms
    QTimer tableTimer;    // Timer3, 100 ms

    // reset each time the window opens
    Phase phase_ = Phase::Sampling;
    auto_calibration::AutoCalibration procedure_;
    std::optional<auto_calibration::Decision> lastDecision_; // the one the decision line shows
    LambdaAverage lambdaAverage1{10}, lambdaAverage2{10};
    int silentTicks_ = 0;     // sampling ticks in a row without a calibration frame
    int changeoverSends_ = 0; // requests of the pending changeover
    int changeoverWait_ = 0;  // sampling ticks since the last of them
};
