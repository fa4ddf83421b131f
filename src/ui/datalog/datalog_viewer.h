#pragma once

#include "archive/datalog.h"
#include "ui/common/form.h"

#include <QList>
#include <QPointF>

class QChart;
class QLabel;
class QLineSeries;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QValueAxis;
class DatalogChartView;

// A recorded drive, charted over its whole length: zoom and scroll by wheel, drag, keys or the
// scroll bar; a cursor that lists every value at its time; a check box per channel. Works with or
// without the ECU.
class DatalogViewer : public Form {
    Q_OBJECT
public:
    explicit DatalogViewer(AppContext& context);

    // Asks for a datalog (default folder: the Datalog folder) and opens it.
    void chooseFile();
    // Opens `path`; false, after telling the user why, when it shows nothing of it.
    bool openFile(const QString& path);

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

protected:
    void onLoad() override;
    void onLanguageChanged() override;
    std::span<const Caption> captions() const override;

private:
    void showLog();
    void showFileLine();
    void redraw();
    void updateScrollBar();
    void updateCursorTable();
    double totalMs() const;
    double toChart(int channel, double value) const;
    QLineSeries* segment(int channel, size_t index);
    void updateScales();

    QPushButton* openButton;     // OpenDatalog
    QPushButton* exitButton;     // Command1 "EXIT"
    QLabel* fileLabel;           // FileName
    QListWidget* channelList;    // Channels
    DatalogChartView* chartView; // Chart
    QScrollBar* timeScroll;      // TimeScroll
    QLabel* scaleLabel;          // Scales: the range of each unit shown
    QLabel* cursorLabel;         // CursorTime
    QTableWidget* cursorTable;   // CursorValues

    QChart* chart;
    QValueAxis* timeAxis;
    QValueAxis* valueAxis;
    QList<QLineSeries*> series; // one per channel
    // the further pieces of a channel's line, one after each gap ("NC")
    std::vector<std::vector<QLineSeries*>> gapSegments_;
    QLineSeries* cursorLine;

    Datalog log_;
    QString fileName_;                              // of the log shown; empty while none is open
    std::vector<std::pair<double, double>> own_;    // each channel's min and max (inf, -inf: none)
    std::vector<std::pair<double, double>> ranges_; // each channel's scale on screen
    double scrollUnitMs_ = 1; // the scroll bar counts in these, so any length fits its int range
    double viewStart_ = 0;
    double viewSpan_ = 0;
    double cursorMs_ = 0;
    int cursorRow_ = -1;
    bool updatingScroll_ = false;
    double drawnWidth_ = 0;
    QList<QPointF> points_; // reused between redraws
};
