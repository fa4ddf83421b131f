#include "ui/calibration/table_editor.h"

#include "link/input_rule.h"
#include "link/parameter_catalogue.h"
#include "link/write_session.h"
#include "ui/calibration/calibration_rules.h"
#include "ui/calibration/table_grid.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

struct ButtonText {
    const char* name;
    LocalText caption;
    LocalText tip;
};
// in the order of TableEditor::Action
const ButtonText kActions[] = {
    {"EditSet",
     {"Imposta =", "Set =", "Ayarla ="},
     {"Imposta il blocco al valore (tasto =)", "Set the block to the value (key =)",
      "Bloku degere ayarla (= tusu)"}},
    {"EditAdd",
     {"Aggiungi +", "Add +", "Ekle +"},
     {"Aggiungi il valore al blocco (tasto +: 1; Maiusc+ o PagSu: 10)",
      "Add the value to the block (key +: 1; Shift+ or Page Up: 10)",
      "Bloka degeri ekle (+ tusu: 1; Shift+ veya Page Up: 10)"}},
    {"EditSubtract",
     {"Togli -", "Subtract -", "Cikar -"},
     {"Togli il valore dal blocco (tasto -: 1; Maiusc- o PagGiu: 10)",
      "Subtract the value from the block (key -: 1; Shift- or Page Down: 10)",
      "Bloktan degeri cikar (- tusu: 1; Shift- veya Page Down: 10)"}},
    {"EditScale",
     {"Scala %", "Scale %", "Olcekle %"},
     {"Scala il blocco del valore in percento, anche con decimali come 97,5 (tasto *)",
      "Scale the block by the value in percent, decimals such as 97.5 allowed (key *)",
      "Bloku yuzde deger ile olcekle, 97,5 gibi ondalik olabilir (* tusu)"}},
    {"EditRows",
     {"Righe ↔", "Rows ↔", "Satirlar ↔"},
     {"Interpola ogni riga tra i suoi estremi (tasto I su una riga)",
      "Interpolate each row between its ends (key I on one row)",
      "Her satiri uclari arasinda ara degerle (tek satirda I tusu)"}},
    {"EditColumns",
     {"Colonne ↕", "Columns ↕", "Sutunlar ↕"},
     {"Interpola ogni colonna tra i suoi estremi (tasto I su una colonna)",
      "Interpolate each column between its ends (key I on one column)",
      "Her sutunu uclari arasinda ara degerle (tek sutunda I tusu)"}},
    {"EditBoth",
     {"Angoli ⤡", "Corners ⤡", "Koseler ⤡"},
     {"Interpola il blocco tra i quattro angoli (tasto I)",
      "Interpolate the block between its four corners (key I)",
      "Bloku dort kosesi arasinda ara degerle (I tusu)"}},
};
const ButtonText kSmooth{"EditSmooth",
                         {"Leviga", "Smooth", "Yumusat"},
                         {"Leviga il blocco: ogni cella va a meta' strada verso la media delle celle "
                          "vicine (tasto S)",
                          "Smooth the block: each cell moves halfway towards the mean of its neighbours "
                          "(key S)",
                          "Bloku yumusat: her hucre komsularinin ortalamasina yarim yol yaklasir (S tusu)"}};
const ButtonText kRevert{"EditRevert",
                         {"Ripristina centralina", "Revert to ECU", "Beyne geri don"},
                         {"Riporta il blocco, o tutta la tabella con gli assi se nulla e' selezionato, ai "
                          "valori della centralina",
                          "Bring the block, or the whole table with its axes when nothing is selected, back "
                          "to the ECU's values",
                          "Bloku, secim yoksa tum tabloyu eksenleriyle, beynin degerlerine geri getir"}};
const ButtonText kCopy{"EditCopy",
                       {"Copia", "Copy", "Kopyala"},
                       {"Copia il blocco come testo separato da tabulazioni (Ctrl+C)",
                        "Copy the block as tab-separated text (Ctrl+C)",
                        "Bloku sekmeyle ayrilmis metin olarak kopyala (Ctrl+C)"}};
const ButtonText kPaste{"EditPaste",
                        {"Incolla", "Paste", "Yapistir"},
                        {"Incolla un blocco separato da tabulazioni dall'angolo in alto a sinistra della "
                         "selezione (Ctrl+V)",
                         "Paste a tab-separated block at the top-left corner of the selection (Ctrl+V)",
                         "Sekmeyle ayrilmis bir blogu secimin sol ust kosesine yapistir (Ctrl+V)"}};
const ButtonText kUndo{"EditUndo", {"Annulla", "Undo", "Geri al"}, {"Ctrl+Z", "Ctrl+Z", "Ctrl+Z"}};
const ButtonText kRedo{"EditRedo", {"Ripeti", "Redo", "Yinele"}, {"Ctrl+Y", "Ctrl+Y", "Ctrl+Y"}};
constexpr LocalText kValue{"Valore per il blocco", "Value for the block", "Blok icin deger"};
constexpr LocalText kTitle{"ORVANE - Tabella", "ORVANE - Table", "ORVANE - Tablo"};
constexpr Language kLanguages[] = {Language::Italian, Language::English, Language::Turkish};

size_t at(int i)
{
    return static_cast<size_t>(i);
}

// Where box 0..79 stands: row -1 holds the RPM breakpoints, column -1 the TINJ breakpoints.
struct Place {
    int row;
    int column;
};
Place placeOf(int index)
{
    if (index < 8) return {-1, index};
    if (index < TableGrid::kFirstCellBox) return {index - 8, -1};
    return {(index - TableGrid::kFirstCellBox) / kTableSide, (index - TableGrid::kFirstCellBox) % kTableSide};
}
int boxAt(int row, int column)
{
    if (row < 0) return column;
    if (column < 0) return 8 + row;
    return TableGrid::kFirstCellBox + row * kTableSide + column;
}
// What a click on the box selects: its cell, or the column or row of cells a breakpoint heads.
CellBlock blockOf(int index)
{
    const Place p = placeOf(index);
    if (p.row < 0) return {0, p.column, kTableSide - 1, p.column};
    if (p.column < 0) return {p.row, 0, p.row, kTableSide - 1};
    return {p.row, p.column, p.row, p.column};
}
const CellBlock kWholeTable{0, 0, kTableSide - 1, kTableSide - 1};

FieldRule ruleFor(int index, Language language)
{
    FieldRule rule;
    if (index < 8) {
        rule.shownName = writeItemLabel({false, param::mapRpmAxis + index}, language);
    } else if (index < TableGrid::kFirstCellBox) {
        rule.shownName = writeItemLabel({false, param::mapTinjAxis + index - 8}, language);
    } else {
        rule.max = kCellMax;
        rule.shownName = writeItemLabel({true, index - TableGrid::kFirstCellBox + 1}, language);
    }
    return rule;
}

} // namespace

TableEditor::TableEditor(TableGrid* grid, QWidget* controlsParent, std::function<Language()> language,
                         std::function<void(const QString&, const QString&)> refuse)
    : QObject(grid), grid_(grid), language_(std::move(language)), refuse_(std::move(refuse))
{
    controls_ = new QWidget(controlsParent);
    controls_->setObjectName(QStringLiteral("TableEditor"));
    valueBox_ = new QLineEdit(controls_);
    valueBox_->setObjectName(QStringLiteral("EditValue"));
    valueBox_->setFixedWidth(64);
    valueBox_->setAlignment(Qt::AlignRight);
    valueBox_->installEventFilter(this);
    const QFontMetrics metrics(controls_->font());
    const auto makeButton = [&](const ButtonText& text, auto onClick) {
        auto* b = new QPushButton(controls_);
        b->setObjectName(QString::fromLatin1(text.name));
        // the keyboard stays in the grid when a button is clicked
        b->setFocusPolicy(Qt::TabFocus);
        // as wide as its longest caption: nothing moves when the language changes
        int widest = 0;
        for (const Language l : kLanguages)
            widest = std::max(widest, metrics.horizontalAdvance(text.caption.in(l)));
        b->setFixedWidth(widest + 10);
        connect(b, &QPushButton::clicked, this, onClick);
        return b;
    };
    for (size_t i = 0; i < actionButtons_.size(); ++i)
        actionButtons_[i] = makeButton(kActions[i], [this, i] { apply(static_cast<Action>(i)); });
    smoothButton_ = makeButton(kSmooth, [this] { smooth(); });
    revertButton_ = makeButton(kRevert, [this] { revertToEcu(); });
    copyButton_ = makeButton(kCopy, [this] { copy(); });
    pasteButton_ = makeButton(kPaste, [this] { paste(); });
    undoButton_ = makeButton(kUndo, [this] { undo(); });
    redoButton_ = makeButton(kRedo, [this] { redo(); });
    // two rows about as wide as the grid: the value and what uses it, then the block's own edits
    auto* rows = new QVBoxLayout(controls_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    const QList<QList<QWidget*>> lines = {{valueBox_, actionButtons_[0], actionButtons_[1], actionButtons_[2],
                                           actionButtons_[3], undoButton_, redoButton_},
                                          {actionButtons_[4], actionButtons_[5], actionButtons_[6],
                                           smoothButton_, revertButton_, copyButton_, pasteButton_}};
    for (const QList<QWidget*>& line : lines) {
        auto* row = new QHBoxLayout;
        row->setSpacing(3);
        for (QWidget* w : line)
            row->addWidget(w);
        row->addStretch(1);
        rows->addLayout(row);
    }
    // the boxes take these keys themselves (see eventFilter); elsewhere in the window these do
    auto* undoKey = new QShortcut(QKeySequence::Undo, controlsParent);
    connect(undoKey, &QShortcut::activated, this, &TableEditor::undo);
    auto* redoKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), controlsParent);
    connect(redoKey, &QShortcut::activated, this, &TableEditor::redo);

    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        QLineEdit* box = grid_->box(i);
        box->installEventFilter(this);
        // a box tells of a keystroke before its text changes: `shown_` still holds the text before it
        connect(box, &QLineEdit::textEdited, this, [this, i] { startTyping(i); });
        connect(box, &QLineEdit::textChanged, this, [this, i](const QString& text) {
            shown_[at(i)] = text;
            // a value put in by an edit or an echo is replaced by the next typing, not appended to
            if (i == lastBox_ && i != typingBox_ && !caret_) grid_->box(i)->selectAll();
        });
    }
    applyCaptions(Language::Italian);
    shown_ = texts();
    updateButtons();
}

void TableEditor::applyCaptions(Language language)
{
    const auto caption = [language](QPushButton* b, const ButtonText& text) {
        b->setText(text.caption.in(language));
        b->setToolTip(text.tip.in(language));
    };
    for (size_t i = 0; i < actionButtons_.size(); ++i)
        caption(actionButtons_[i], kActions[i]);
    caption(smoothButton_, kSmooth);
    caption(revertButton_, kRevert);
    caption(copyButton_, kCopy);
    caption(pasteButton_, kPaste);
    caption(undoButton_, kUndo);
    caption(redoButton_, kRedo);
    valueBox_->setToolTip(kValue.in(language));
    grid_->setLanguage(language);
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

void TableEditor::goTo(int index)
{
    select(blockOf(index));
    focusBox(index);
}

void TableEditor::focusBox(int index)
{
    QLineEdit* box = grid_->box(index);
    box->setFocus(Qt::OtherFocusReason);
    lastBox_ = index;
    caret_ = false;
    box->selectAll();
}

TableEditor::Texts TableEditor::texts() const
{
    Texts t;
    for (int i = 0; i < TableGrid::kBoxes; ++i)
        t[at(i)] = grid_->box(i)->text();
    return t;
}

void TableEditor::record(const Texts& before)
{
    const Texts after = texts();
    if (after != before) history_.record(Step{before, after});
}

void TableEditor::show(const Texts& wanted)
{
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        QLineEdit* box = grid_->box(i);
        if (box->text() == wanted[at(i)]) continue;
        box->setText(wanted[at(i)]);
        // from the ECU's value, not from when the text was first shown: an echo may have come since
        grid_->setEdited(i, wanted[at(i)].trimmed() != QString::number(grid_->ecuValue(i)));
    }
}

std::optional<CellGrid> TableEditor::readCells(const CellBlock& area)
{
    const Language lang = language_();
    CellGrid cells{};
    for (int r = area.top(); r <= area.bottom(); ++r)
        for (int c = area.left(); c <= area.right(); ++c) {
            const int index = boxAt(r, c);
            // as store reads them, so an edit never starts from a value store would refuse
            FieldRule rule = ruleFor(index, lang);
            rule.roundsFractions = true;
            const BoxReading reading = readWholeNumber(grid_->box(index)->text(), rule, lang);
            if (!reading.value) {
                refuse_(reading.refusalTitle, reading.refusal);
                return std::nullopt;
            }
            cells[at(r)][at(c)] = static_cast<int>(*reading.value);
        }
    return cells;
}

bool TableEditor::change(const CellBlock& read, const CellBlock& written,
                         const std::function<BlockResult(const CellGrid&)>& edit)
{
    if (!editable_ || !commitTyping(Commit::Refusing)) return false;
    const std::optional<CellGrid> cells = readCells(read);
    if (!cells) return false;
    const BlockResult result = edit(*cells);
    if (result.refusal) {
        refuse_(kTitle.in(language_()), blockRefusalText(*result.refusal, language_()));
        return false;
    }
    writeCells(written, result.grid);
    return true;
}

void TableEditor::writeCells(const CellBlock& block, const CellGrid& values)
{
    Texts wanted = texts();
    for (int r = block.top(); r <= block.bottom(); ++r)
        for (int c = block.left(); c <= block.right(); ++c)
            if (const int v = values[at(r)][at(c)]; v >= 0) wanted[at(boxAt(r, c))] = QString::number(v);
    showAsStep(wanted);
}

void TableEditor::showAsStep(const Texts& wanted)
{
    const Texts before = texts();
    show(wanted);
    record(before);
    afterChange();
}

bool TableEditor::apply(Action action)
{
    if (!editable_ || !selection_ || !commitTyping(Commit::Refusing)) return false;
    const Language lang = language_();
    const CellBlock block = *selection_;
    long long typed = 0;
    PercentReading percent;
    if (action == Action::Scale) {
        percent = readPercent(valueBox_->text(), kValue.in(lang), lang);
        if (!percent.refusal.isEmpty()) {
            refuse_(percent.refusalTitle, percent.refusal);
            return false;
        }
    } else if (action == Action::Set || action == Action::Add || action == Action::Subtract) {
        FieldRule rule;
        rule.name = kValue;
        rule.max = kCellMax;
        const BoxReading reading = readWholeNumber(valueBox_->text(), rule, lang);
        if (!reading.value) {
            refuse_(reading.refusalTitle, reading.refusal);
            return false;
        }
        typed = *reading.value;
    }
    const int v = static_cast<int>(typed);
    return change(block, block, [&](const CellGrid& cells) {
        switch (action) {
        case Action::Set:
            return setBlock(cells, block, v);
        case Action::Add:
            return addToBlock(cells, block, v);
        case Action::Subtract:
            return addToBlock(cells, block, -v);
        case Action::Scale:
            return scaleBlock(cells, block, percent.numerator, percent.denominator);
        case Action::Rows:
            return interpolateBlock(cells, block, Interpolation::Rows);
        case Action::Columns:
            return interpolateBlock(cells, block, Interpolation::Columns);
        case Action::Both:
            break;
        }
        return interpolateBlock(cells, block, Interpolation::Both);
    });
}

bool TableEditor::step(int amount)
{
    if (!selection_) return false;
    const CellBlock block = *selection_;
    return change(block, block, [&](const CellGrid& cells) { return addToBlock(cells, block, amount); });
}

bool TableEditor::interpolate()
{
    if (!selection_) return false;
    const CellBlock block = *selection_;
    return change(block, block, [&](const CellGrid& cells) {
        return interpolateBlock(cells, block, interpolationFor(block));
    });
}

bool TableEditor::smooth()
{
    if (!selection_) return false;
    const CellBlock block = *selection_;
    // the neighbours around the block lend their values too
    const CellBlock around{block.top() - 1, block.left() - 1, block.bottom() + 1, block.right() + 1};
    return change(around, block, [&](const CellGrid& cells) { return smoothBlock(cells, block); });
}

bool TableEditor::revertToEcu()
{
    if (!editable_) return false;
    commitTyping(Commit::Quietly);
    Texts wanted = texts();
    for (int i = 0; i < TableGrid::kBoxes; ++i) {
        const Place p = placeOf(i);
        if (selection_ ? p.row >= 0 && p.column >= 0 && selection_->contains(p.row, p.column) : true)
            wanted[at(i)] = QString::number(grid_->ecuValue(i));
    }
    showAsStep(wanted);
    return true;
}

void TableEditor::copy() const
{
    TextGrid cells;
    for (int r = 0; r < kTableSide; ++r)
        for (int c = 0; c < kTableSide; ++c)
            cells[at(r)][at(c)] = grid_->box(boxAt(r, c))->text();
    QGuiApplication::clipboard()->setText(blockText(cells, selection_.value_or(kWholeTable)));
}

bool TableEditor::paste()
{
    if (!editable_ || !commitTyping(Commit::Refusing)) return false;
    const CellBlock target = selection_.value_or(kWholeTable);
    // a cell the paste leaves alone keeps its text, whatever it holds
    CellGrid untouched;
    for (auto& row : untouched)
        row.fill(-1);
    const PasteResult pasted =
        pasteBlock(untouched, target.top(), target.left(), QGuiApplication::clipboard()->text());
    if (pasted.refusal) {
        refuse_(kTitle.in(language_()), pasteRefusalText(*pasted.refusal, language_()));
        return false;
    }
    select(pasted.block);
    writeCells(pasted.block, pasted.grid);
    return true;
}

void TableEditor::arm(Action action)
{
    if (!editable_ || !selection_ || !commitTyping(Commit::Refusing)) return;
    disarm(false);
    armed_ = action;
    QPushButton* b = actionButtons_[at(static_cast<int>(action))];
    b->setDown(true);
    valueBox_->setPlaceholderText(b->text());
    valueBox_->setFocus(Qt::ShortcutFocusReason);
    valueBox_->selectAll();
}

void TableEditor::disarm(bool backToGrid)
{
    if (armed_) {
        actionButtons_[at(static_cast<int>(*armed_))]->setDown(false);
        valueBox_->setPlaceholderText(QString());
        armed_.reset();
    }
    if (backToGrid && lastBox_ >= 0) focusBox(lastBox_);
}

void TableEditor::fillAll(int value)
{
    if (!editable_) return;
    commitTyping(Commit::Quietly);
    CellGrid cells;
    for (auto& row : cells)
        row.fill(value);
    writeCells(kWholeTable, cells);
}

bool TableEditor::setCells(const CellGrid& values)
{
    if (!editable_ || !commitTyping(Commit::Refusing)) return false;
    writeCells(kWholeTable, values);
    return true;
}

void TableEditor::startTyping(int index)
{
    if (typingBox_ == index) return;
    if (typingBox_ >= 0) commitTyping(Commit::Quietly);
    typingBox_ = index;
    typingFrom_ = shown_[at(index)];
    lastBox_ = index;
    updateButtons();
}

bool TableEditor::commitTyping(Commit how)
{
    if (typingBox_ < 0) return true;
    const int index = typingBox_;
    QLineEdit* box = grid_->box(index);
    const Language lang = language_();
    const BoxReading reading = readWholeNumber(box->text(), ruleFor(index, lang), lang);
    if (!reading.value && how != Commit::Quietly) {
        refuse_(reading.refusalTitle, reading.refusal);
        // the typing goes on in its box; what comes next replaces it
        box->setFocus(Qt::OtherFocusReason);
        lastBox_ = index;
        box->selectAll();
        return false;
    }
    // a value store would refuse, left by a focus that went elsewhere, stays as typed: marked as not
    // written, and store names it
    typingBox_ = -1;
    caret_ = false;
    Texts before = texts();
    before[at(index)] = typingFrom_;
    Texts wanted = texts();
    if (reading.value) {
        wanted[at(index)] = QString::number(*reading.value);
        const Place p = placeOf(index);
        if (how == Commit::FillingBlock && selection_ && p.row >= 0 && selection_->contains(p.row, p.column))
            for (int r = selection_->top(); r <= selection_->bottom(); ++r)
                for (int c = selection_->left(); c <= selection_->right(); ++c)
                    wanted[at(boxAt(r, c))] = wanted[at(index)];
    }
    show(wanted);
    grid_->setEdited(index, box->text().trimmed() != QString::number(grid_->ecuValue(index)));
    record(before);
    afterChange();
    return true;
}

void TableEditor::abandonTyping()
{
    if (typingBox_ < 0) return;
    const int index = typingBox_;
    typingBox_ = -1;
    caret_ = false;
    Texts wanted = texts();
    wanted[at(index)] = typingFrom_;
    show(wanted);
    grid_->setEdited(index, typingFrom_.trimmed() != QString::number(grid_->ecuValue(index)));
    grid_->box(index)->selectAll();
    updateButtons();
}

void TableEditor::undo()
{
    if (!editable_) return;
    // Ctrl+Z in the middle of typing takes back the typing only
    if (typingBox_ >= 0) {
        abandonTyping();
        return;
    }
    if (const std::optional<Step> step = history_.takeUndo()) {
        Texts wanted = texts();
        for (size_t i = 0; i < wanted.size(); ++i)
            if (step->before[i] != step->after[i]) wanted[i] = step->before[i];
        show(wanted);
    }
    afterChange();
}

void TableEditor::redo()
{
    if (!editable_) return;
    commitTyping(Commit::Quietly);
    if (const std::optional<Step> step = history_.takeRedo()) {
        Texts wanted = texts();
        for (size_t i = 0; i < wanted.size(); ++i)
            if (step->before[i] != step->after[i]) wanted[i] = step->after[i];
        show(wanted);
    }
    afterChange();
}

void TableEditor::afterChange()
{
    if (lastBox_ >= 0 && typingBox_ < 0 && !caret_) grid_->box(lastBox_)->selectAll();
    updateButtons();
}

void TableEditor::forgetHistory()
{
    history_.clear();
    typingBox_ = -1;
    caret_ = false;
    lastBox_ = -1;
    disarm(false);
    updateButtons();
}

void TableEditor::setEditable(bool editable)
{
    if (!editable) {
        commitTyping(Commit::Quietly);
        disarm(false);
    }
    editable_ = editable;
    valueBox_->setEnabled(editable);
    updateButtons();
}

void TableEditor::updateButtons()
{
    const bool block = editable_ && selection_.has_value();
    for (QPushButton* b : actionButtons_)
        b->setEnabled(block);
    smoothButton_->setEnabled(block);
    revertButton_->setEnabled(editable_);
    pasteButton_->setEnabled(editable_);
    undoButton_->setEnabled(editable_ && (history_.canUndo() || typingBox_ >= 0));
    redoButton_->setEnabled(editable_ && history_.canRedo());
}

bool TableEditor::eventFilter(QObject* watched, QEvent* event)
{
    const auto keyEvent = [event] { return static_cast<QKeyEvent*>(event); };
    const bool shortcut = event->type() == QEvent::ShortcutOverride;
    if (watched == valueBox_) {
        if (shortcut || event->type() == QEvent::KeyPress) {
            if (!valueKey(keyEvent(), !shortcut)) return false;
            event->accept();
            return true;
        }
        const auto reason = event->type() == QEvent::FocusOut ? static_cast<QFocusEvent*>(event)->reason()
                                                              : Qt::OtherFocusReason;
        if (event->type() == QEvent::FocusOut && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            disarm(false);
        return false;
    }
    // a box being destroyed is no longer a line edit: nothing of it is asked then
    if (!qobject_cast<QLineEdit*>(watched)) return false;
    const int index = grid_->indexOf(watched);
    if (index < 0) return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        lastBox_ = index;
        if (index != typingBox_) caret_ = false;
        return false;
    case QEvent::FocusOut: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // another window coming up (a message) leaves the typing as it is
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        if (index == typingBox_) commitTyping(Commit::Quietly);
        caret_ = false;
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return boxMouse(index, static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease:
        dragging_ = false;
        return false;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        if (!boxKey(index, keyEvent(), !shortcut)) return false;
        event->accept();
        return true;
    default:
        return false;
    }
}

bool TableEditor::boxMouse(int index, QMouseEvent* e)
{
    QLineEdit* box = grid_->box(index);
    const Place place = placeOf(index);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
        if (e->button() != Qt::LeftButton) return false;
        // a click into the box being typed in places the caret there
        if (index == typingBox_ || (caret_ && index == lastBox_)) {
            caret_ = true;
            return false;
        }
        if (!commitTyping(Commit::Refusing)) return true;
        if ((e->modifiers() & Qt::ShiftModifier) && selection_) {
            CellBlock b = *selection_;
            if (place.row < 0) {
                b.row0 = 0;
                b.row1 = kTableSide - 1;
                b.column1 = place.column;
            } else if (place.column < 0) {
                b.column0 = 0;
                b.column1 = kTableSide - 1;
                b.row1 = place.row;
            } else {
                b.row1 = place.row;
                b.column1 = place.column;
            }
            select(b);
            return true;
        }
        goTo(index);
        dragging_ = place.row >= 0 && place.column >= 0;
        return true;
    case QEvent::MouseButtonDblClick:
        if (e->button() != Qt::LeftButton) return false;
        box->setFocus(Qt::MouseFocusReason);
        lastBox_ = index;
        caret_ = true;
        box->deselect();
        box->setCursorPosition(box->cursorPositionAt(e->position().toPoint()));
        return true;
    case QEvent::MouseMove: {
        if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return false;
        if (const int over = grid_->cellAt(box->mapTo(grid_, e->position().toPoint())))
            extendTo((over - 1) / kTableSide, (over - 1) % kTableSide);
        return true;
    }
    default:
        return false;
    }
}

bool TableEditor::boxKey(int index, QKeyEvent* e, bool run)
{
    QLineEdit* box = grid_->box(index);
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const bool shift = mods & Qt::ShiftModifier;
    const bool typing = typingBox_ == index;
    const bool caret = caret_ && lastBox_ == index;
    const int key = e->key();
    const Place here = placeOf(index);
    const auto move = [&](int rows, int columns) {
        const int r = std::clamp(here.row + rows, -1, kTableSide - 1);
        const int c = std::clamp(here.column + columns, -1, kTableSide - 1);
        // the corner above the row breakpoints and left of the column breakpoints holds no box
        goTo(r < 0 && c < 0 ? index : boxAt(r, c));
    };

    if (e->matches(QKeySequence::Undo)) {
        if (run) undo();
        return true;
    }
    if (e->matches(QKeySequence::Redo) || (key == Qt::Key_Y && mods == Qt::ControlModifier)) {
        if (run) redo();
        return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (!run) return true;
        const bool fill =
            typing && here.row >= 0 && here.column >= 0 && selection_ &&
            selection_->contains(here.row, here.column) &&
            (selection_->top() != selection_->bottom() || selection_->left() != selection_->right());
        if (!commitTyping(fill ? Commit::FillingBlock : Commit::Refusing)) return true;
        // a block filled stays selected, for the next edit of it
        if (fill)
            focusBox(index);
        else
            move(1, 0);
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // Shift+Tab arrives as Backtab from a keyboard, as Tab with Shift from elsewhere
        if (run && commitTyping(Commit::Refusing)) move(0, key == Qt::Key_Backtab || shift ? -1 : 1);
        return true;
    case Qt::Key_Escape:
        if (!typing && !caret) return false;
        if (run && typing) abandonTyping();
        if (run) focusBox(index);
        return true;
    case Qt::Key_F2:
        if (run) {
            box->setFocus(Qt::OtherFocusReason);
            lastBox_ = index;
            caret_ = true;
            box->deselect();
            box->end(false);
        }
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (caret || (mods & ~Qt::ShiftModifier)) return false;
        if (!run || !commitTyping(Commit::Refusing)) return true;
        const int rows = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
        const int columns = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
        if (!shift) {
            move(rows, columns);
        } else {
            if (!selection_) select(blockOf(index));
            extendTo(selection_->row1 + rows, selection_->column1 + columns);
        }
        return true;
    }
    default:
        break;
    }
    // typing and caret editing keep the remaining keys for the text
    if (typing || caret) return false;
    if (mods == Qt::ControlModifier && (key == Qt::Key_A || key == Qt::Key_C || key == Qt::Key_V)) {
        if (!run) return true;
        if (key == Qt::Key_A) select(kWholeTable);
        if (key == Qt::Key_C) copy();
        if (key == Qt::Key_V) paste();
        return true;
    }
    if (mods & ~Qt::ShiftModifier) return false;
    std::function<void()> action;
    switch (key) {
    case Qt::Key_Plus:
        action = [this, shift] { step(shift ? 10 : 1); };
        break;
    case Qt::Key_Minus:
        action = [this, shift] { step(shift ? -10 : -1); };
        break;
    case Qt::Key_Underscore: // Shift with - on most keyboards
        action = [this] { step(-10); };
        break;
    case Qt::Key_PageUp:
        action = [this] { step(10); };
        break;
    case Qt::Key_PageDown:
        action = [this] { step(-10); };
        break;
    case Qt::Key_Asterisk:
        action = [this] { arm(Action::Scale); };
        break;
    case Qt::Key_Equal:
        action = [this] { arm(Action::Set); };
        break;
    case Qt::Key_I:
        action = [this] { interpolate(); };
        break;
    case Qt::Key_S:
        action = [this] { smooth(); };
        break;
    default:
        return false;
    }
    if (run) {
        if (!selection_) select(blockOf(index));
        lastBox_ = index;
        action();
    }
    return true;
}

bool TableEditor::valueKey(QKeyEvent* e, bool run)
{
    if (!armed_) return false;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (run && apply(*armed_)) disarm(true);
        return true;
    case Qt::Key_Escape:
        if (run) disarm(true);
        return true;
    default:
        return false;
    }
}
