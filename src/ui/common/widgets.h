#pragma once

#include <QLabel>
#include <QString>

#include <functional>

class QGroupBox;
class QLineEdit;
class QWidget;

// Controls made the same way in every window, named by their design names.

QLabel* namedLabel(QWidget* parent, const QString& designName, const QString& text);

// A status line that words itself from the state of the moment, so that it can say the same
// again when the language changes.
class WordedLine : public QLabel {
public:
    WordedLine(QWidget* parent, const QString& designName);
    // Empty: a blank line.
    void say(std::function<QString()> words);
    void reword();

private:
    std::function<QString()> words_;
};
// "ORVANE" in large bold letters, as the start window and the main menu show it.
QLabel* productNameLabel(QWidget* parent, const QString& designName);
// A read-only value box of a fixed width, right-aligned.
QLineEdit* valueBox(QWidget* parent, const QString& designName, int width, const QString& text = QString());

// A box that can be typed into only at times: read-only, and drawn on the window's own colour while
// locked, so that it does not look as if it took typing.
void showLocked(QLineEdit* box, bool locked);

// A captioned frame named by its design name.
QGroupBox* namedFrame(QWidget* parent, const char* designName);

// A value box in its captioned frame, with a unit or other control beside it, the way live values are shown.
QGroupBox* framedBox(QWidget* parent, const char* frameName, QLineEdit* box, QWidget* beside = nullptr);
