#pragma once

#include "archive/datalog.h"
#include "ui/common/app_context.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class Form;
class QPushButton;

// The record button of a polling window and the datalog behind it: one row per reply the window
// polls for, with the values the window shows. Rows are buffered and reach the disk every second;
// a write error ends the recording with a message and leaves the polling alone. Closing the
// window or losing the link closes the file. While recording, the marker button or F9 marks the
// next row with a number; the program marks its own events (change-overs by themselves).
class DatalogRecorder : public QObject {
    Q_OBJECT
public:
    // `row` fills the window's values in the order of datalogChannels(source).
    DatalogRecorder(AppContext& context, Form& window, DatalogSource source, std::vector<int> replyCodes,
                    std::function<void(std::vector<int>&)> row);

    QPushButton* button() const { return button_; }             // "DatalogRecord"
    QPushButton* openButton() const { return openButton_; }     // "DatalogOpen", shown after a stop
    QPushButton* markerButton() const { return markerButton_; } // "DatalogMarker", F9
    bool isRecording() const { return writer_.isOpen(); }
    QString path() const { return writer_.path(); }
    qint64 rows() const { return writer_.rows(); }

    void start();
    void stop();
    void flushTick(); // every second while recording; public for tests

    // The next row carries `text` in its marker column (several are joined by " | "). Nothing
    // while not recording.
    void addMarker(const QString& text);
    // The user's marker: "1", "2", ... in each recording.
    void addNumberedMarker();

    // The recorder of `window`, when it has one.
    static DatalogRecorder* of(QWidget* window);

    // Where the next datalog goes; the default names it by date and time in datalogFolder().
    std::function<QString()> nextPath;

private:
    void toggle();
    void onReply(int code);
    void fail();
    void showState();
    // A change of fuel, or of the change-over, from one row to the next is marked by itself.
    void markChangeover();

    AppContext& ctx;
    Form& window_;
    DatalogSource source_;
    std::vector<int> codes_;
    std::function<void(std::vector<int>&)> row_;
    std::vector<int> values_;
    std::vector<QString> texts_;
    int fuelColumn_ = -1, stateColumn_ = -1, stateNameText_ = -1, markerText_ = -1;
    QStringList pendingMarkers_;
    int markerCount_ = 0;
    int lastFuel_ = -1, lastState_ = -1; // -1: no row yet in this recording
    QPushButton* button_;
    QPushButton* openButton_;
    QPushButton* markerButton_;
    QString savedPath_;
    DatalogWriter writer_;
    QElapsedTimer clock_;
    qint64 lastFlushMs_ = 0;
    QTimer flushTimer_;
};

// A new file name in `folder` from the date and time, "2026-12-08_09-46-37.csv", with "_2", "_3"...
// when that is taken.
QString newDatalogPath(const QString& folder, const QDateTime& now, int attempt);
