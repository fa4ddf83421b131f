#pragma once

#include "link/language.h"
#include "ui/calibration/table_edits.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QWidget;
class TableGrid;

// Block editing of the grid's cells: a block chosen with the mouse (drag, shift+click) or the
// keyboard (shift+arrows), set, added to, scaled or interpolated from a typed value, with undo and
// redo. It only changes what the boxes show: the window's store turns them into pending values.
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

    // False, after telling the user, when the typed value or a cell is refused or a result leaves 0..255.
    bool apply(Action action);
    // Every cell to `value`, one step of the history.
    void fillAll(int value);
    void undo();
    void redo();
    // What is stored can no longer be undone here.
    void forgetHistory();
    void setEditable(bool editable);
    void applyCaptions(Language language);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Snapshot {
        std::array<QString, 64> texts;
        std::array<bool, 64> edited{};
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& s);
    void afterChange();
    void updateButtons();
    void extendTo(int row, int column);

    TableGrid* grid_;
    QWidget* controls_;
    QLineEdit* valueBox_;
    std::array<QPushButton*, 7> actionButtons_{};
    QPushButton* undoButton_;
    QPushButton* redoButton_;
    std::function<Language()> language_;
    std::function<void(const QString&, const QString&)> refuse_;
    std::optional<CellBlock> selection_;
    EditHistory<Snapshot> history_;
    Snapshot shown_;     // the boxes as they were before the keystroke being handled
    int typingCell_ = 0; // the cell of the typing under way, one step of the history
    bool dragging_ = false;
    bool editable_ = true;
};
