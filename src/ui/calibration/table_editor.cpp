#include "ui/calibration/table_editor.h"

#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/table_grid.h"
#include "ui/common/input_rule.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

namespace {

struct ActionText {
    const char* name;
    const char* caption;
    LocalText tip;
};
const ActionText kActions[] = {
    {"EditSet", "=", {"Imposta il blocco al valore", "Set the block to the value", "Bloku degere ayarla"}},
    {"EditAdd", "+", {"Aggiungi il valore al blocco", "Add the value to the block", "Bloka degeri ekle"}},
    {"EditSubtract",
     "-",
     {"Togli il valore dal blocco", "Subtract the value from the block", "Bloktan degeri cikar"}},
    {"EditScale",
     "%",
     {"Scala il blocco del valore in percento", "Scale the block by the value in percent",
      "Bloku yuzde deger ile olcekle"}},
    {"EditRows",
     "↔",
     {"Interpola ogni riga tra i suoi estremi", "Interpolate each row between its ends",
      "Her satiri uclari arasinda ara degerle"}},
    {"EditColumns",
     "↕",
     {"Interpola ogni colonna tra i suoi estremi", "Interpolate each column between its ends",
      "Her sutunu uclari arasinda ara degerle"}},
    {"EditBoth",
     "⤡",
     {"Interpola il blocco tra i quattro angoli", "Interpolate the block between its four corners",
      "Bloku dort kosesi arasinda ara degerle"}},
};
constexpr LocalText kUndo{"Annulla", "Undo", "Geri al"};
constexpr LocalText kRedo{"Ripeti", "Redo", "Yinele"};
constexpr LocalText kValue{"Valore per il blocco", "Value for the block", "Blok icin deger"};
constexpr LocalText kTitle{"ORVANE - Tabella", "ORVANE - Table", "ORVANE - Tablo"};
constexpr int kMaxPercent = 1000;

bool needsValue(TableEditor::Action a)
{
    return a == TableEditor::Action::Set || a == TableEditor::Action::Add ||
           a == TableEditor::Action::Subtract || a == TableEditor::Action::Scale;
}

} // namespace

TableEditor::TableEditor(TableGrid* grid, QWidget* controlsParent, std::function<Language()> language,
                         std::function<void(const QString&, const QString&)> refuse)
    : QObject(grid), grid_(grid), language_(std::move(language)), refuse_(std::move(refuse))
{
    controls_ = new QWidget(controlsParent);
    controls_->setObjectName(QStringLiteral("TableEditor"));
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    valueBox_ = new QLineEdit(controls_);
    valueBox_->setObjectName(QStringLiteral("EditValue"));
    valueBox_->setFixedWidth(56);
    valueBox_->setAlignment(Qt::AlignRight);
    row->addWidget(valueBox_);
    for (size_t i = 0; i < actionButtons_.size(); ++i) {
        auto* b = new QPushButton(QString::fromUtf8(kActions[i].caption), controls_);
        b->setObjectName(QString::fromLatin1(kActions[i].name));
        b->setFixedWidth(30);
        connect(b, &QPushButton::clicked, this, [this, i] { apply(static_cast<Action>(i)); });
        actionButtons_[i] = b;
        row->addWidget(b);
    }
    undoButton_ = new QPushButton(controls_);
    undoButton_->setObjectName(QStringLiteral("EditUndo"));
    redoButton_ = new QPushButton(controls_);
    redoButton_->setObjectName(QStringLiteral("EditRedo"));
    connect(undoButton_, &QPushButton::clicked, this, &TableEditor::undo);
    connect(redoButton_, &QPushButton::clicked, this, &TableEditor::redo);
    row->addWidget(undoButton_);
    row->addWidget(redoButton_);
    row->addStretch(1);
    // the cell boxes take these keys themselves (see eventFilter); elsewhere in the window these do
    auto* undoKey = new QShortcut(QKeySequence::Undo, controlsParent);
    connect(undoKey, &QShortcut::activated, this, &TableEditor::undo);
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), controlsParent);
    connect(redoKey, &QShortcut::activated, this, &TableEditor::redo);

    for (int cell = 1; cell <= 64; ++cell) {
        QLineEdit* box = grid_->cellBox(cell);
        box->installEventFilter(this);
        // a box tells of a keystroke before its text changes: `shown_` still holds the text before it
        connect(box, &QLineEdit::textEdited, this, [this, cell] {
            if (typingCell_ == cell) return; // a run of typing in one box is one step
            typingCell_ = cell;
            history_.record(shown_);
            updateButtons();
        });
        connect(box, &QLineEdit::textChanged, this, [this, cell](const QString& text) {
            shown_.texts[static_cast<size_t>(cell - 1)] = text;
            shown_.edited[static_cast<size_t>(cell - 1)] =
                grid_->isEdited(TableGrid::kFirstCellBox - 1 + cell);
        });
    }
    applyCaptions(Language::Italian);
    shown_ = snapshot();
    updateButtons();
}

void TableEditor::applyCaptions(Language language)
{
    for (size_t i = 0; i < actionButtons_.size(); ++i)
        actionButtons_[i]->setToolTip(kActions[i].tip.in(language));
    undoButton_->setText(kUndo.in(language));
    redoButton_->setText(kRedo.in(language));
    valueBox_->setToolTip(kValue.in(language));
}

void TableEditor::select(const std::optional<CellBlock>& block)
{
    selection_ = block;
    grid_->setSelection(block);
    updateButtons();
}

void TableEditor::extendTo(int row, int column)
{
    CellBlock b = selection_.value_or(CellBlock{row, column, row, column});
    b.row1 = std::clamp(row, 0, kTableSide - 1);
    b.column1 = std::clamp(column, 0, kTableSide - 1);
    select(b);
}

bool TableEditor::apply(Action action)
{
    if (!editable_ || !selection_) return false;
    const Language lang = language_();
    const CellBlock block = *selection_;
    long long typed = 0;
    if (needsValue(action)) {
        FieldRule rule;
        rule.name = kValue;
        rule.max = action == Action::Scale ? kMaxPercent : kCellMax;
        const BoxReading reading = readWholeNumber(valueBox_->text(), rule, lang);
        if (!reading.value) {
            refuse_(reading.refusalTitle, reading.refusal);
            return false;
        }
        typed = *reading.value;
    }
    // the cells read as store reads them, so a block never starts from a value store would refuse
    CellGrid cells{};
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c) {
            const int cell = 1 + r * kTableSide + c;
            FieldRule rule;
            rule.max = kCellMax;
            rule.roundsFractions = true;
            rule.shownName = writeItemLabel({true, cell}, lang);
            const BoxReading reading = readWholeNumber(grid_->cellBox(cell)->text(), rule, lang);
            if (!reading.value) {
                refuse_(reading.refusalTitle, reading.refusal);
                return false;
            }
            cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = static_cast<int>(*reading.value);
        }
    const int v = static_cast<int>(typed);
    BlockResult result;
    switch (action) {
    case Action::Set:
        result = setBlock(cells, block, v);
        break;
    case Action::Add:
        result = addToBlock(cells, block, v);
        break;
    case Action::Subtract:
        result = addToBlock(cells, block, -v);
        break;
    case Action::Scale:
        result = scaleBlock(cells, block, v);
        break;
    case Action::Rows:
        result = interpolateBlock(cells, block, Interpolation::Rows);
        break;
    case Action::Columns:
        result = interpolateBlock(cells, block, Interpolation::Columns);
        break;
    case Action::Both:
        result = interpolateBlock(cells, block, Interpolation::Both);
        break;
    }
    if (result.refusal) {
        refuse_(kTitle.in(lang), blockRefusalText(*result.refusal, lang));
        return false;
    }
    history_.record(snapshot());
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c) {
            const int cell = 1 + r * kTableSide + c;
            const QString text = QString::number(result.grid[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            if (grid_->cellBox(cell)->text() == text) continue;
            grid_->cellBox(cell)->setText(text);
            grid_->setEdited(TableGrid::kFirstCellBox - 1 + cell, true);
        }
    afterChange();
    return true;
}

void TableEditor::fillAll(int value)
{
    if (!editable_) return;
    history_.record(snapshot());
    const QString text = QString::number(value);
    for (int cell = 1; cell <= 64; ++cell) {
        if (grid_->cellBox(cell)->text() == text) continue;
        grid_->cellBox(cell)->setText(text);
        grid_->setEdited(TableGrid::kFirstCellBox - 1 + cell, true);
    }
    afterChange();
}

TableEditor::Snapshot TableEditor::snapshot() const
{
    Snapshot s;
    for (int cell = 1; cell <= 64; ++cell) {
        s.texts[static_cast<size_t>(cell - 1)] = grid_->cellBox(cell)->text();
        s.edited[static_cast<size_t>(cell - 1)] = grid_->isEdited(TableGrid::kFirstCellBox - 1 + cell);
    }
    return s;
}

void TableEditor::restore(const Snapshot& s)
{
    for (int cell = 1; cell <= 64; ++cell) {
        grid_->cellBox(cell)->setText(s.texts[static_cast<size_t>(cell - 1)]);
        grid_->setEdited(TableGrid::kFirstCellBox - 1 + cell, s.edited[static_cast<size_t>(cell - 1)]);
    }
}

void TableEditor::undo()
{
    if (!editable_) return;
    if (const auto back = history_.undo(snapshot())) restore(*back);
    afterChange();
}

void TableEditor::redo()
{
    if (!editable_) return;
    if (const auto again = history_.redo(snapshot())) restore(*again);
    afterChange();
}

void TableEditor::afterChange()
{
    shown_ = snapshot();
    typingCell_ = 0;
    updateButtons();
}

void TableEditor::forgetHistory()
{
    history_.clear();
    afterChange();
}

void TableEditor::setEditable(bool editable)
{
    editable_ = editable;
    valueBox_->setEnabled(editable);
    updateButtons();
}

void TableEditor::updateButtons()
{
    for (QPushButton* b : actionButtons_)
        b->setEnabled(editable_ && selection_.has_value());
    undoButton_->setEnabled(editable_ && history_.canUndo());
    redoButton_->setEnabled(editable_ && history_.canRedo());
}

bool TableEditor::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    const int cell = box ? grid_->cellAt(box->geometry().center()) : 0;
    if (!cell) return false;
    const int row = (cell - 1) / kTableSide, column = (cell - 1) % kTableSide;
    switch (event->type()) {
    case QEvent::FocusIn:
        typingCell_ = 0;
        break;
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton) break;
        if (e->modifiers() & Qt::ShiftModifier && selection_) {
            extendTo(row, column);
            return true;
        }
        dragging_ = true;
        select(CellBlock{row, column, row, column});
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (!dragging_ || !(e->buttons() & Qt::LeftButton)) break;
        const int over = grid_->cellAt(box->mapTo(grid_, e->position().toPoint()));
        if (over && over != cell) {
            extendTo((over - 1) / kTableSide, (over - 1) % kTableSide);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        dragging_ = false;
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(event);
        const bool undoKey = e->matches(QKeySequence::Undo);
        const bool redoKey = e->matches(QKeySequence::Redo) ||
                             (e->key() == Qt::Key_Y && e->modifiers() == Qt::ControlModifier);
        const bool shift = e->modifiers() == Qt::ShiftModifier;
        const bool arrow = e->key() == Qt::Key_Left || e->key() == Qt::Key_Right || e->key() == Qt::Key_Up ||
                           e->key() == Qt::Key_Down;
        if (!undoKey && !redoKey && !(shift && arrow)) break;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (undoKey) undo();
        if (redoKey) redo();
        if (shift && arrow) {
            if (!selection_) select(CellBlock{row, column, row, column});
            const int dr = e->key() == Qt::Key_Up ? -1 : e->key() == Qt::Key_Down ? 1 : 0;
            const int dc = e->key() == Qt::Key_Left ? -1 : e->key() == Qt::Key_Right ? 1 : 0;
            extendTo(selection_->row1 + dr, selection_->column1 + dc);
        }
        return true;
    }
    default:
        break;
    }
    return false;
}
