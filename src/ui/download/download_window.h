#pragma once

#include "ui/common/form.h"

#include <QTimer>

class QLabel;
class QPushButton;

// Puts the ECU into download mode, tells the user the three steps, then closes; the program
// follows (the menu and the start window close when they are next activated).
class DownloadWindow : public Form {
    Q_OBJECT
public:
    explicit DownloadWindow(AppContext& context);

    void stepTick(); // Timer1

protected:
    void onLoad() override;
    void onActivate() override;
    void onUnload() override;
    std::span<const Caption> captions() const override;

private:
    void pressUpdate();

    QPushButton* exitButton;   // Command1 "EXIT"
    QPushButton* updateButton; // Command2 "AGGIORNA APPLICATIVO"
    QLabel* exitStep;          // Label1 "USCIRE DAL PROGRAMMA"
    QLabel* keyStep;           // Label2 "TOGLIERE E RIDARE CHIAVE"
    QLabel* launchStep;        // Label3 "LANCIARE APPLICATIVO DI SCARICO"
    QLabel* nextStep;          // what to do once the ECU is ready
    QTimer stepTimer;          // Timer1, 500 ms then 1500 ms
    int step = 0;
};
