#pragma once

#include "ui/common/form.h"

#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;
class WordedLine;

// The main menu. Connected, it first reads the ECU's version (at most five tries), all
// parameters and the table, and only then offers its buttons; not connected, at once.
class MainMenu : public Form {
    Q_OBJECT
public:
    explicit MainMenu(AppContext& context);

    static constexpr int kVersionTries = 5;

    // "MENU" pressed again while the menu is open (a port plugged back): a new connection, the
    // handshake from the version on, the ECU's values read back.
    void reconnect();

    // Tick handlers, public so that tests can drive them without waiting.
    void handshakeTick();        // Timer1
    void statusStartTick();      // Timer2
    void calibrationStartTick(); // Timer3

protected:
    void onLoad() override;
    void onActivate() override;
    void onLanguageChanged() override;
    void onLinkLost() override;
    std::span<const Caption> captions() const override;

private:
    enum class HandshakeStep { Version, Parameters, Table };
    // Requests sent for this step so far, this one included.
    int countRequest(HandshakeStep now);
    void enableButtons(bool withDownload);
    // A window already open comes forward untouched: its start-up would reset what it is doing.
    bool broughtForward(WindowId id);
    void pressEndOfLine();
    void pressStatus();
    void pressArchive();
    void pressCalibration();
    void pressDownload();

    QLabel* productLabel;           // Label1 "ORVANE"
    QLabel* subtitleLabel;          // Label4 "Sequential Injection System"
    QLabel* versionLabel;           // Label3 "VERSIONE SW ECU"
    QLineEdit* versionBox;          // Text1 ECU version
    QPushButton* exitButton;        // Command1 "EXIT"
    QPushButton* eolButton;         // Command2 "TEST EOL"
    QPushButton* statusButton;      // Command3 "Visualizza stato vettura"
    QPushButton* archiveButton;     // Command4 "Visualizza parametri centralina"
    QPushButton* calibrationButton; // Command5 "Taratura"
    QPushButton* downloadButton;    // Command6 "Aggiorna versione software"
    QTimer handshakeTimer;          // Timer1, 1000 ms
    QTimer statusStartTimer;        // Timer2, 500 ms
    QTimer calibrationStartTimer;   // Timer3, 500 ms
    WordedLine* progressLine;       // what the handshake is reading

    HandshakeStep step = HandshakeStep::Version;
    int stepRequests = 0;
};
