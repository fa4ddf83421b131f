#pragma once

#include "ui/common/form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The first window, loaded for the whole run: language, connected or not, serial settings,
// and "MENU", which opens the port and the main menu. Closing it ends the program.
class StartWindow : public Form {
    Q_OBJECT
public:
    explicit StartWindow(AppContext& context);

    // The program's own version, shown in Text1.
    static QString programVersion() { return QStringLiteral("1.4.3"); }

protected:
    void onLoad() override;
    void onActivate() override;
    void onUnload() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;
    // EXIT and the title bar end the program: while a write runs, only after asking.
    void requestClose() override;

private:
    void pressMenu();
    void pressSerialSettings();
    void toggleOffline();
    void chooseLanguage(int languageIndex);
    void showAbout();
    void showLanguage(int languageIndex);
    QString offlineTitle() const;
    void updateContactLine();

    QLabel* logoImage;           // Image1
    QLabel* productLabel;        // Label1 "ORVANE"
    QLabel* subtitleLabel;       // Label2 "Sequential Injection System"
    QLabel* contactLabel;        // Label15 which port, and whether it is the virtual ECU
    QLabel* versionLabel;        // Label16 "VERSIONE SW"
    QLineEdit* versionBox;       // Text1 program version
    QPushButton* menuButton;     // Command1 "MENU"
    QPushButton* exitButton;     // Command2 "EXIT"
    QPushButton* italianButton;  // Command3
    QPushButton* englishButton;  // Command4
    QPushButton* turkishButton;  // Command5
    QPushButton* settingsButton; // Command6 "Parametri seriale"
    QPushButton* offlineButton;  // Command7 "Non connesso"
    QPushButton* datalogButton;  // opens a recorded drive
    QPushButton* aboutButton;    // program, ECU, port, folders, licence
};
