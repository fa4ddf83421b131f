#pragma once

#include "ui/common/form.h"

class QLabel;
class QPushButton;

// The program's one message box: a title, a text, EXIT. When `quitOnMessageClose` is set,
// closing it ends the program.
class MessageWindow : public Form {
    Q_OBJECT
public:
    explicit MessageWindow(AppContext& context);

    // Sets the title and text, then opens the window (or brings it forward with the new text).
    void showMessage(const QString& title, const QString& text);

protected:
    void onUnload() override;

private:
    QLabel* messageLabel;    // Label1
    QPushButton* exitButton; // Command1 "EXIT"
};
