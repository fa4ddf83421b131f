#pragma once

#include "archive/status_row.h"
#include "ui/common/form.h"
#include "ui/status/status_rules.h"

#include <QElapsedTimer>
#include <QTimer>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SegmentBar;
class Lamp;
class StripChart;
class DatalogRecorder;

// The live vehicle: polls the ECU every 300 ms, redraws the bars every 400 ms, and closes after
// two silent 2 s periods. "Commuta" asks the ECU to change fuel.
class StatusWindow : public Form {
    Q_OBJECT
public:
    explicit StatusWindow(AppContext& context);

    // Tick handlers, public so that tests can drive them.
    void pollTick();        // Timer1
    void barTick();         // Timer2
    void supervisionTick(); // Timer3

protected:
    void onLoad() override;
    void onActivate() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;

private:
    void pressChangeover();
    void showSensorTypes();
    void paintBaseColours();
    void showOffline();
    static void show(QLineEdit* box, const BoxView& view);

    QLineEdit* stateBox;                    // Text1 state message / lost link
    QLineEdit* lambda1Average;              // Text2
    QLineEdit* lambda1Box;                  // Text3
    QLineEdit* levelBox;                    // Text4 averaged level
    std::array<QLineEdit*, 16> tinjBoxes{}; // Text5(0..7) petrol, Text5(8..15) gas
    QLineEdit* rpmBox;                      // Text6
    QLineEdit* kgbTabBox;                   // Text7
    QLineEdit* temperature1Box;             // Text8
    QLineEdit* kgbCorBox;                   // Text9
    QLineEdit* pressureBox;                 // Text10
    QLineEdit* temperature2Box;             // Text11
    QLineEdit* pressure2Box;                // Text12
    QLineEdit* lambda2Box;                  // Text13
    QLineEdit* lambda2Average;              // Text14
    SegmentBar* lambda1Bar;                 // Shape1(0..19)
    SegmentBar* levelBar;                   // Shape2(0..15)
    SegmentBar* pressureBar;                // Shape3(0..19)
    SegmentBar* pressure2Bar;               // Shape4(0..19)
    SegmentBar* lambda2Bar;                 // Shape5(0..19)
    Lamp* petrolLamp;                       // Shape6
    Lamp* gasLamp;                          // Shape7
    QPushButton* exitButton;                // Command1 "EXIT"
    QPushButton* changeoverButton;          // Command2 "Commuta"
    DatalogRecorder* recorder;              // its button records the replies to a datalog
    QGroupBox *injectionFrame, *lambda1Frame, *lambda1AverageFrame, *temperatureFrame, *levelFrame,
        *kgbCorFrame, *pressureFrame, *lambda2Frame, *kgbTabFrame, *temperature2Frame, *pressure2Frame,
        *lambda2AverageFrame; // Frame1..Frame12
    QLabel *rpmUnit, *petrolLabel, *gasLabel, *lean1Label, *rich1Label, *lean2Label, *rich2Label;
    QTimer pollTimer;        // Timer1, 300 ms
    QTimer barTimer;         // Timer2, 400 ms
    QTimer supervisionTimer; // Timer3, 2000 ms
    StripChart* chart;       // the last minute of the values the boxes show
    QCheckBox* chartToggle;  // shows or hides it

    // reset each time the window opens
    bool linkAlive = false; // any reply since the last supervision tick
    FuelLamps lamps;
    QElapsedTimer chartClock;
    bool statusSinceTick = false; // the chart takes one sample per status reply

    // its averages restart each time the window opens; its missing-signal and stale counts are kept
    StatusValues values;
};
