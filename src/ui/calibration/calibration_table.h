#pragma once

#include "link/shared_state.h"
#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QColor;
class QLineEdit;
class QWidget;
class Form;
class TableEditor;
class TableGrid;
class TableOverlay;
struct AppContext;
struct FieldRule;

// The KGB table of the calibration window: the grid with its axes and the operating-point marker,
// the block editor under it, the drive seen over it, and what store and the ECU's echoes do to them. The
// boxes show the ECU's image except where the installer has typed; store reads them all.
class CalibrationTable : public QObject {
    Q_OBJECT
public:
    // `refuse` shows a refusal (title, text) to the user.
    CalibrationTable(AppContext& ctx, Form& window, std::function<Language()> language,
                     std::function<void(const QString&, const QString&)> refuse);

    TableGrid* grid() const { return grid_; }
    TableEditor* editor() const { return editor_; }
    TableOverlay* overlay() const { return overlay_; }

    // Each opening: nothing typed, nothing selected, no history, the marker before the first cell,
    // the values shown.
    void reset(Language language);
    void applyCaptions(Language language);
    // The ECU's axes and cells, except in the boxes typed into and not stored yet.
    void showEcu(const SharedState& state);
    void showOperatingPoint(const SharedState& state);
    // Fore colour of the axis boxes: the fuel in use.
    void setTextColour(const QColor& colour);
    void setEditable(bool editable);

    // The axes then the cells as store writes them, or nothing after the first box `reader` refused
    // (it has told the user; the box has the focus).
    using BoxReader = std::function<std::optional<long long>(const QLineEdit*, const FieldRule&)>;
    std::optional<std::vector<WriteValue>> read(const BoxReader& reader, Language language) const;
    // The breakpoints of `values` (as read) that do not rise, worded; empty when both axes rise.
    static QString axisOrderProblem(const std::vector<WriteValue>& values, Language language);

    // An echo of a cell or an axis breakpoint. `take`: the window's own store wrote it, so the box
    // shows it whatever was typed; otherwise only a box nobody typed in follows another writer.
    void cellConfirmed(int cell, int value, bool take);
    void parameterConfirmed(int id, int value, bool take);
    // After a store: a box typed back to the ECU's own value was never written, so no echo cleared its mark.
    void forgetWrittenEdits(const SharedState& state);

private:
    TableGrid* grid_;       // Text6(0..79), Label10, Label9, Shape1
    TableEditor* editor_;   // block edits of the cells, undo and redo
    TableOverlay* overlay_; // the drive's samples and suggestions over the cells
};
