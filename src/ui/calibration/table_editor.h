#pragma once

#include "link/language.h"
#include "ui/calibration/table_edits.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QKeyEvent;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QWidget;
class TableGrid;

// The grid's boxes worked like a spreadsheet, and block edits of its cells with undo and redo. It
// only changes what the boxes show: the window's store turns them into pending values.
//
// A click selects a box with its text selected, so typing replaces the value; a double click or F2
// puts the caret in it. Enter commits and moves down (with a block selected and a cell typed in, the
// value goes into every cell of the block, which stays selected), Tab right, Shift+Tab left, the
// arrows move and Shift+arrows extend the block; Escape abandons the typing. A breakpoint box selects
// its column or row of cells. On the selection: + and - add or take one, with Shift or PageUp and
// PageDown ten; * and = arm scaling and setting in the value box (Enter there applies, Escape
// returns); I interpolates, S smooths; Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+Z, Ctrl+Y.
class TableEditor : public QObject {
    Q_OBJECT
public:
    enum class Action { Set, Add, Subtract, Scale, Rows, Columns, Both };

    // `refuse` shows a refusal (title, text) to the user.
    TableEditor(TableGrid* grid, QWidget* controlsParent, std::function<Language()> language,
                std::function<void(const QString&, const QString&)> refuse);

    // The value box and the buttons, for the window to lay out.
    QWidget* controls() const { return controls_; }
    std::optional<CellBlock> selection() const { return selection_; }
    void select(const std::optional<CellBlock>& block);

    // Each edit below is one step of the history. False, after telling the user, when the typed
    // value or a cell is refused or a result leaves 0..255.
    bool apply(Action action);
    // Adds `amount` to every cell of the block.
    bool step(int amount);
    // Along the block's only row, down its only column, or between its four corners.
    bool interpolate();
    bool smooth();
    // The block, or every box of the table and its axes when nothing is selected, to the ECU's values.
    bool revertToEcu();
    // The block (the whole table when nothing is selected) to the clipboard as tab-separated rows.
    void copy() const;
    // A tab-separated block from the clipboard, its first value at the block's top-left cell.
    bool paste();
    // The value box takes the focus with `action` waiting for Enter there.
    void arm(Action action);
    std::optional<Action> armed() const { return armed_; }
    // Every cell to `value`, one step of the history.
    void fillAll(int value);
    // Each cell to its value in `values` (one below 0 leaves the cell as it is), one step of the
    // history; false, after telling the user, when the typing under way is refused.
    bool setCells(const CellGrid& values);
    bool editable() const { return editable_; }
    void undo();
    void redo();
    // A window opened anew starts with no history.
    void forgetHistory();
    void setEditable(bool editable);
    void applyCaptions(Language language);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Texts = std::array<QString, 80>;
    // The boxes before and after one edit; undo and redo touch only the boxes it changed.
    struct Step {
        Texts before, after;
    };
    enum class Commit { Quietly, Refusing, FillingBlock };

    Texts texts() const;
    void record(const Texts& before);
    void show(const Texts& wanted);
    void showAsStep(const Texts& wanted);
    // The block's cells to `values` (one below 0 leaves its cell as it is), one step of the history.
    void writeCells(const CellBlock& block, const CellGrid& values);
    bool change(const CellBlock& read, const CellBlock& written,
                const std::function<BlockResult(const CellGrid&)>& edit);
    std::optional<CellGrid> readCells(const CellBlock& area);
    bool commitTyping(Commit how);
    void abandonTyping();
    void startTyping(int index);
    void disarm(bool backToGrid);
    void afterChange();
    void updateButtons();
    void extendTo(int row, int column);
    void goTo(int index);
    void focusBox(int index);
    bool boxKey(int index, QKeyEvent* e, bool run);
    bool boxMouse(int index, QMouseEvent* e);
    bool valueKey(QKeyEvent* e, bool run);

    TableGrid* grid_;
    QWidget* controls_;
    QLineEdit* valueBox_;
    std::array<QPushButton*, 7> actionButtons_{};
    QPushButton* smoothButton_;
    QPushButton* revertButton_;
    QPushButton* copyButton_;
    QPushButton* pasteButton_;
    QPushButton* undoButton_;
    QPushButton* redoButton_;
    std::function<Language()> language_;
    std::function<void(const QString&, const QString&)> refuse_;
    std::optional<CellBlock> selection_;
    EditHistory<Step> history_;
    Texts shown_;        // the boxes as they were before the keystroke being handled
    int typingBox_ = -1; // the box of the typing under way
    QString typingFrom_; // its text before the typing
    bool caret_ = false; // the focused box is edited with the caret (F2, double click)
    int lastBox_ = -1;   // the box the keyboard last worked in
    std::optional<Action> armed_;
    bool dragging_ = false;
    bool editable_ = true;
};
