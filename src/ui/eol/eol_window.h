#pragma once

#include "link/eol_sequence.h"
#include "ui/common/form.h"

#include <QTimer>

#include <array>

class Lamp;
class QLabel;
class QPushButton;
class QRadioButton;
class QGroupBox;

// The production test of an ECU: cylinder count, start, results polled every 200 ms and shown
// as red or green indicators, the key-off countdown, the parameter reset, "RESET OK".
class EolWindow : public Form {
    Q_OBJECT
public:
    explicit EolWindow(AppContext& context);

    void testTick(); // Timer1

protected:
    void onLoad() override;
    void onActivate() override;
    void onUnload() override;
    std::span<const Caption> captions() const override;

private:
    void chooseCylinders(int count);
    void pressStart();
    // The test over or left: the ECU is free again, and its reset values are read.
    void endTest();
    void paintAll(bool red, int first, int last);
    void paint(int indicator, bool red);
    void showSequence();
    void showVerdict();
    void saveReport();

    QGroupBox* cylinderFrame;           // Frame1 "CILINDRI"
    QRadioButton* fourCylinders;        // Option1 "4"
    QRadioButton* sixCylinders;         // Option2 "6"
    QRadioButton* eightCylinders;       // Option3 "8"
    QPushButton* startButton;           // Command2 "EOL"
    QPushButton* exitButton;            // Command1 "EXIT"
    QLabel* instruction;                // Label12
    QLabel* verdictLine;                // "PASSED" or what failed, once the test is over
    QPushButton* saveButton;            // the verdict and every check to a file
    std::array<Lamp*, 61> indicators{}; // Shape1(0..60)
    std::array<QLabel*, 8> rowLabels{}; // Label4..Label11 "1".."8"
    QTimer testTimer;                   // Timer1, 200 ms

    int shownCylinders = 4; // the rows shown, as the options say
    int testCylinders = 4;  // the count the test was started with
    bool tested = false;    // the ECU has sent results since the start: the indicators mean something
    EolSequence sequence;   // the test's loop and what it shows
};
