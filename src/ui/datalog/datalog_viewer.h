#pragma once

#include "archive/datalog.h"
#include "ui/common/form.h"

#include <QColor>

class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTableWidget;
class DatalogPlot;

// A recorded drive, charted over its whole length: zoom and scroll by wheel, drag, keys or the
// scroll bar; a cursor that lists every value at its time; a check box per channel; the markers
// to jump to; a second drive laid over the first to compare. Works with or without the ECU.
class DatalogViewer : public Form {
    Q_OBJECT
public:
    explicit DatalogViewer(AppContext& context);

    // Asks for a datalog (default folder: the Datalog folder) and opens it.
    void chooseFile();
    // Opens `path`; false, after telling the user why, when it shows nothing of it.
    bool openFile(const QString& path);
    // Shows a log already read, named `name`; the same messages as openFile.
    bool showDatalog(Datalog log, const QString& name);

    // A second drive over the first, each channel drawn dashed over its namesake, the two aligned
    // at their starts; only one at a time.
    void chooseComparison();
    bool compareWith(const QString& path);
    bool showComparison(Datalog log, const QString& name);
    void removeComparison();
    const Datalog& compared() const { return compared_; } // no rows when there is none

    const Datalog& log() const { return log_; }
    double viewStartMs() const { return viewStart_; }
    double viewSpanMs() const { return viewSpan_; }
    double cursorMs() const { return cursorMs_; }
    int cursorRow() const { return cursorRow_; }

    // The view: `span` ms from `start`, kept inside the drive.
    void setView(double startMs, double spanMs);
    // Zooms by `factor` (< 1 in) keeping the time `anchorMs` where it is on screen.
    void zoom(double factor, double anchorMs);
    void scrollBy(double fraction); // of the span shown
    void setCursorTime(double ms);
    void setChannelShown(int channel, bool shown);
    bool channelShown(int channel) const;
    // Brings marker `index` of the log into the middle of the view, with the cursor on it.
    void goToMarker(int index);

    // The channels shown, one pane per unit, each with the range of the values of its channels.
    struct Pane {
        QString unit; // empty: values without a unit
        std::vector<int> channels;
        double low = 0;
        double high = 1;
    };
    const std::vector<Pane>& panes() const { return panes_; }

protected:
    void onLoad() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;

private:
    friend class DatalogPlot;

    bool refused(const Datalog& log, const QString& name);
    QString problemsOf(const Datalog& log, const QString& name) const;
    void showLog();
    void showFileLine();
    void showMarkers();
    void redraw();
    void updateScrollBar();
    void updateCursorTable();
    double totalMs() const;
    void updateScales();
    QString valueText(int channel, double value) const;

    QPushButton* openButton;      // OpenDatalog
    QPushButton* compareButton;   // CompareDatalog
    QPushButton* uncompareButton; // RemoveComparison
    QPushButton* exitButton;      // Command1 "EXIT"
    QLabel* fileLabel;            // FileName
    QListWidget* channelList;     // Channels
    QLabel* markersTitle;         // MarkersTitle
    QListWidget* markerList;      // Markers
    DatalogPlot* chart;           // Chart
    QScrollBar* timeScroll;       // TimeScroll
    QLabel* scaleLabel;           // Scales: the range of each unit shown
    QLabel* cursorLabel;          // CursorTime
    QTableWidget* cursorTable;    // CursorValues

    Datalog log_;
    Datalog compared_;
    QString fileName_; // of the log shown; empty while none is open
    QString comparedName_;
    double comparedOffsetMs_ = 0; // added to the compared log's times to align the starts
    int fuelChannel_ = -1;
    std::vector<QColor> colours_;
    std::vector<bool> shown_;
    // each channel's min and max (inf, -inf: none), in this log and in the compared one
    std::vector<std::pair<double, double>> own_;
    std::vector<std::pair<double, double>> comparedOwn_;
    std::vector<Pane> panes_;
    double scrollUnitMs_ = 1; // the scroll bar counts in these, so any length fits its int range
    double viewStart_ = 0;
    double viewSpan_ = 0;
    double cursorMs_ = 0;
    int cursorRow_ = -1;
    bool updatingScroll_ = false;
};
