#pragma once

#include "link/input_rule.h"
#include "link/shared_state.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/common/captions.h"
#include "ui/status/status_rules.h"

#include <QWidget>

#include <functional>
#include <span>
#include <vector>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class SegmentBar;

// The calibration window's live values: two columns of small frames, the coefficient under test
// (stepped with its spinner or the keys, or typed), and the oxygen-sensor bar with its sensor choice.
// Each poll redraws them from the last reply; the averages and the smoothed pressure live here.
class CalibrationLiveView : public QWidget {
    Q_OBJECT
public:
    // `refuse` tells the user of a typed coefficient that is not taken (title, text).
    CalibrationLiveView(SharedState& state, QWidget* parent,
                        std::function<void(const QString&, const QString&)> refuse);

    static std::span<const Caption> captions();
    // Label6, Shape5, Label29 and Command6, for the window to place under the table.
    QWidget* oxygenBarRow() const { return barRow_; }

    // Each opening: zeros, the averages seeded with the sensors' present values, sensor 1 in the bar.
    void reset();
    // Each poll, from the last reply.
    void show();
    // The sensor captions follow the language; the window applies the rest.
    void applyCaptions();

    QColor fuelColour() const { return fuelColours_.colour(); }
    int smoothedPressure() const { return smoothedPressure_; }
    QLineEdit* temperature1Box() const { return temperature1Box_; }
    QString temperature1Caption() const;

    // `calibrationKgb` takes `kgb` (clamped to 0..255) and both controls show it.
    void takeKgb(int kgb);
    void setKgbEditable(bool editable);
    void setSensorChoiceEnabled(bool enabled);
    void setPressure2Shown(bool shown);

    // A datalog row: what the poll shows.
    std::vector<int> recordRow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // what the box holds by the rule Enter applies, or why not
    BoxReading typedKgb() const;
    void applyTypedKgb();
    void stepKgb(int by);

    SharedState& state_;
    std::function<void(const QString&, const QString&)> refuse_;
    QLineEdit* lambda1Box_;      // Text1
    QLineEdit* lambda1Average_;  // Text2
    QLineEdit* tinjBox_;         // Text3
    QLineEdit* gasTinjBox_;      // Text4 averaged on gas
    QLineEdit* rpmBox_;          // Text5
    QLineEdit* pressureBox_;     // Text7
    QLineEdit* kgbBox_;          // Text11 calibrationKgb, typed or stepped
    QLineEdit* petrolTinjBox_;   // Text12 averaged on petrol
    QLineEdit* kgbInUseBox_;     // Text14
    QLineEdit* pressure2Box_;    // Text16
    QLineEdit* lambda2Average_;  // Text17
    QLineEdit* lambda2Box_;      // Text18
    QLineEdit* temperature2Box_; // Text21
    QLineEdit* temperature1Box_; // Text22
    QScrollBar* kgbSpinner_;     // VScroll1
    QGroupBox* pressure2Frame_;  // Frame19
    SegmentBar* oxygenBar_;      // Shape5(0..19)
    QPushButton* sensorButton_;  // Command6 "Lambda1"
    QWidget* barRow_;
    std::vector<QLineEdit*> coloured_; // the values that take the fuel colour

    // reset each time the window opens
    int selectedOxygenSensor_ = 1;
    LambdaAverage lambdaAverage1_{10}, lambdaAverage2_{10};
    int smoothedPressure_ = 0;
    FuelColours fuelColours_;
    // module-wide: kept while the window is closed and opened again
    TinjAverage tinjAverage_;
};
