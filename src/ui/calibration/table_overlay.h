#pragma once

#include "archive/drive_analysis.h"
#include "link/language.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class Form;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;
class TableEditor;
class TableGrid;
struct AppContext;

// The KGB table seen through a drive: for each cell the stable samples on petrol and on gas, their
// mean injection times and the suggested KGB (see drive_analysis.h), from a datalog loaded or from
// the window's own replies since it opened. The suggestions go into the selected cells as one edit
// of the editor, which the store alone writes to the ECU.
class TableOverlay : public QObject {
    Q_OBJECT
public:
    // In the order of the view box.
    enum class View { Values, Suggestions, Hits };

    TableOverlay(AppContext& ctx, Form& window, TableGrid* grid, TableEditor* editor);

    // The view box, the source buttons, the apply button and the summary, for the window to lay out.
    QWidget* panel() const { return panel_; }
    // Each opening: the values, live from this visit's replies, nothing applied.
    void reset(Language language);
    void applyCaptions(Language language);
    // Suggestions are applied only while the table can be edited.
    void setEditable(bool editable);

    View view() const { return view_; }
    void setView(View view);
    // The drive in `path` in place of the live replies; false, after telling the user, when it
    // cannot be analysed (then the overlay keeps what it showed).
    bool load(const QString& path);
    void showLive();
    bool isLive() const { return !logName_; }
    // The suggestions into the selected cells, every cell when none is selected, as one edit; the
    // summary says how many cells had none and were left as they are.
    void applySuggestions();
    const CellOverlay& result() const { return result_; }
    // The analysis again on the ECU's axes and table, from the samples when the axes changed.
    void refresh();

    // When a reply came, in ms; the default counts from the opening. Tests set their own.
    std::function<qint64()> clock;

private:
    struct Source {
        std::vector<DriveSample> samples;
        std::optional<DriveAccumulator> accumulator;
    };
    Source& source() { return logName_ ? log_ : live_; }
    void onReply(int code);
    void pressLoad();
    void showTiles();
    void showSummary();
    void updateControls();
    Language language() const;

    AppContext& ctx;
    Form& window_;
    TableGrid* grid_;
    TableEditor* editor_;
    QWidget* panel_;
    QLabel* viewLabel_;        // "OverlayViewLabel"
    QComboBox* viewBox_;       // "OverlayView"
    QPushButton* loadButton_;  // "OverlayLoad"
    QPushButton* liveButton_;  // "OverlayLive"
    QPushButton* applyButton_; // "OverlayApply"
    QLabel* summary_;          // "OverlaySummary"
    QTimer tileTimer_;         // the tiles follow the boxes once a burst of edits is over

    View view_ = View::Values;
    Source live_, log_;
    std::optional<QString> logName_; // the datalog shown; none: the live replies
    int logRows_ = 0;
    QString logNote_;                              // what reading it left out
    std::optional<std::pair<Axis, Axis>> logAxes_; // rpm and Tinj axes the datalog was recorded on
    CellOverlay result_;
    QString lastAction_;
    QElapsedTimer clock_;
    bool editable_ = true;
};
