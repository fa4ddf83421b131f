#pragma once

#include "ui/params/level_rules.h"
#include "ui/params/parameter_page.h"

#include <QTimer>

#include <array>
#include <vector>

class Lamp;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The fuel level indicator: the sensor readings of an empty and a full tank (typed, or taken from
// the live reading with one touch), the three level thresholds with their readings in mV, and the
// change-over switch's gauge lamps driven by the live reading.
class LevelPage : public ParameterPage {
    Q_OBJECT
public:
    explicit LevelPage(AppContext& context);

    void gaugeTick(); // Timer2

protected:
    void onLoad() override;
    void onActivate() override;
    void setWriteMode(bool on) override;
    void onWriteStarted() override;
    void onWriteComplete() override;
    std::span<const Caption> captions() const override;

private:
    // One threshold: its parameter, box, scroll bar and mV label.
    struct Threshold {
        int parameterId;
        QLineEdit* box;
        QScrollBar* bar;
        QLabel* mv;
    };

    void showThreshold(Threshold& threshold, int percent);
    void showThresholdMv(Threshold& threshold, int percent);
    void showModel();
    void showLamps();
    void setEnd(int parameterId); // Command3, Command4
    void updateSetButtons();

    std::array<PageField, 5> fields; // threshold names follow the gauge model
    std::array<Threshold, 3>
        thresholds{};          // Text3/VScroll3/Label13, Text4/VScroll2/Label14, Text5/VScroll1/Label17
    QLineEdit* liveBox;        // Text6 live level reading
    QLineEdit* reserveBox;     // Text7 the four-step gauge's fixed 8 %
    QLabel* reserveCaption;    // Label22
    QLabel* reservePercent;    // Label16 "%"
    QPushButton* setMaxButton; // Command3 "Imposta come livello max"
    QPushButton* setMinButton; // Command4 "Imposta come livello min"
    Lamp* reserveLamp;         // Shape1
    std::array<Lamp*, 4> greenLamps{}; // Shape2 .. Shape5
    QTimer gaugeTimer;                 // Timer2, 300 ms

    GaugeLamps gauge;
    bool writeModeOn = false;
    bool replySinceActivation = false; // a status reply came in since the page was last activated
    bool liveShown = false;            // and Text6 shows its reading
};
