// The KGB table worked like a spreadsheet: keys on the real boxes, the clipboard, reverting to the
// ECU, heat colours spread over the table, and undo that survives a store in the calibration window.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/contrast.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/table_editor.h"
#include "ui/calibration/table_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

// 100 + 4 × row (+1 on odd columns): 100 .. 129 over the table.
int startValue(int cell)
{
    const int r = (cell - 1) / 8, c = (cell - 1) % 8;
    return 100 + 4 * r + c % 2;
}

} // namespace

class TestTableWorkbench : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init();
    void cleanup();

    void typingReplacesAndEnterFillsTheBlock();
    void typingIsRefusedOrAbandonedInPlace();
    void keysOnTheSelection();
    void clipboardAsSpreadsheetsCopyIt();
    void revertToTheEcuAndItsValueOnHover();
    void heatColoursSpreadOverTheTable();
    void undoSurvivesAStore();

private:
    QWidget* host = nullptr;
    TableGrid* grid = nullptr;
    TableEditor* editor = nullptr;
    QStringList refusals;

    QLineEdit* cell(int row, int column) { return grid->box(16 + 8 * row + column); }
    QString text(int row, int column) { return cell(row, column)->text(); }
    QPushButton* button(const char* name) { return host->findChild<QPushButton*>(QString::fromLatin1(name)); }
    // A key as the keyboard gives it: to whatever has the focus.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    void type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
    QList<int> selected()
    {
        const CellBlock b = editor->selection().value_or(CellBlock{-1, -1, -1, -1});
        return {b.top(), b.left(), b.bottom(), b.right()};
    }
};

void TestTableWorkbench::init()
{
    refusals.clear();
    host = new QWidget;
    grid = new TableGrid(host);
    editor = new TableEditor(
        grid, host, [] { return Language::Italian; },
        [this](const QString&, const QString& message) { refusals << message; });
    editor->controls()->move(0, grid->height());
    for (int k = 1; k <= 64; ++k) {
        grid->cellBox(k)->setText(QString::number(startValue(k)));
        grid->setEcuCell(k, startValue(k));
    }
    for (int i = 0; i < 16; ++i) {
        grid->box(i)->setText(QString::number(1000 + 100 * i));
        grid->setEcuAxis(i, 1000 + 100 * i);
    }
    host->show();
    host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(host));
}

void TestTableWorkbench::cleanup()
{
    delete host;
    host = nullptr;
    if (app) stopAll();
}

void TestTableWorkbench::typingReplacesAndEnterFillsTheBlock()
{
    // a click selects the cell's whole text: typing replaces "100", it does not make "1005"
    QTest::mouseClick(cell(2, 3), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), cell(2, 3));
    type("5");
    QCOMPARE(text(2, 3), QString("5"));
    press(Qt::Key_Escape);

    // a 2 × 2 block by Shift+arrows; typed and Enter: all four, one step of the history
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(selected(), QList<int>({2, 3, 3, 4}));
    type("120");
    press(Qt::Key_Return);
    for (const auto& [r, c] : {std::pair{2, 3}, {2, 4}, {3, 3}, {3, 4}})
        QCOMPARE(text(r, c), QString("120"));
    QCOMPARE(text(2, 5), QString::number(startValue(1 + 8 * 2 + 5)));
    QCOMPARE(selected(), QList<int>({2, 3, 3, 4}));
    button("EditUndo")->click();
    QCOMPARE(text(2, 3), QString::number(startValue(1 + 8 * 2 + 3)));
    QCOMPARE(text(3, 4), QString::number(startValue(1 + 8 * 3 + 4)));
    QVERIFY(!button("EditUndo")->isEnabled());
    button("EditRedo")->click();
    QCOMPARE(text(3, 4), QString("120"));

    // Enter goes down, Tab right, Shift+Tab left; from the first cell up and left reach the breakpoints
    QTest::mouseClick(cell(0, 0), Qt::LeftButton);
    type("7");
    press(Qt::Key_Return);
    QCOMPARE(text(0, 0), QString("7"));
    QCOMPARE(QApplication::focusWidget(), cell(1, 0));
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), cell(1, 1));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    press(Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), grid->box(8 + 1));
    QCOMPARE(selected(), QList<int>({1, 0, 1, 7}));

    // a breakpoint box selects its column and is typed into like a cell: replaced, one undo step
    QTest::mouseClick(grid->box(3), Qt::LeftButton);
    QCOMPARE(selected(), QList<int>({0, 3, 7, 3}));
    type("2100");
    press(Qt::Key_Return);
    QCOMPARE(grid->box(3)->text(), QString("2100"));
    QCOMPARE(QApplication::focusWidget(), cell(0, 3));
    QCOMPARE(text(1, 3), QString::number(startValue(1 + 8 + 3))); // the column is not filled
    QVERIFY(grid->isBoxPending(3));
    QTest::keyClick(cell(0, 3), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(grid->box(3)->text(), QString("1300"));
    QVERIFY(!grid->isBoxPending(3));

    // F2 puts the caret at the end: the arrows move it, typing adds to the number
    QTest::mouseClick(cell(5, 5), Qt::LeftButton);
    press(Qt::Key_F2);
    press(Qt::Key_Left);
    type("0");
    QCOMPARE(text(5, 5), QString("1201"));
    QCOMPARE(QApplication::focusWidget(), cell(5, 5));
    press(Qt::Key_Escape);
    QCOMPARE(text(5, 5), QString::number(startValue(1 + 8 * 5 + 5)));
    QVERIFY(refusals.isEmpty());
}

void TestTableWorkbench::typingIsRefusedOrAbandonedInPlace()
{
    QTest::mouseClick(cell(4, 6), Qt::LeftButton);
    const QString before = text(4, 6);
    for (const QString& bad : {QString("300"), QString("12.5"), QString("x")}) {
        type(bad);
        press(Qt::Key_Return);
        QCOMPARE(refusals.size(), 1);
        QVERIFY2(refusals.takeFirst().startsWith("Cella riga 5 colonna 7: \"" + bad + "\""), qPrintable(bad));
        QCOMPARE(QApplication::focusWidget(), cell(4, 6));
        // Escape: the text from before the typing, and no step left behind
        press(Qt::Key_Escape);
        QCOMPARE(text(4, 6), before);
        QVERIFY(!button("EditUndo")->isEnabled());
    }
    // a commit puts the number as the table holds it
    type(" 045 ");
    press(Qt::Key_Tab);
    QCOMPARE(text(4, 6), QString("45"));
    QCOMPARE(QApplication::focusWidget(), cell(4, 7));
}

void TestTableWorkbench::keysOnTheSelection()
{
    // + on a cell at 255 is refused by its name, and nothing changes
    cell(1, 1)->setText("255");
    QTest::mouseClick(cell(1, 1), Qt::LeftButton);
    press(Qt::Key_Plus);
    QCOMPARE(refusals.size(), 1);
    QVERIFY(refusals.takeFirst().startsWith("Cella riga 2 colonna 2: il risultato 256 e' fuori da 0..255."));
    QCOMPARE(text(1, 1), QString("255"));

    // - one, Shift ten, PageUp and PageDown ten; the block, each key one step
    QTest::mouseClick(cell(0, 0), Qt::LeftButton);
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_Minus);
    QCOMPARE(text(0, 0), QString("99"));
    QCOMPARE(text(0, 1), QString("100"));
    press(Qt::Key_Plus, Qt::ShiftModifier);
    press(Qt::Key_PageUp);
    press(Qt::Key_PageDown);
    press(Qt::Key_Underscore, Qt::ShiftModifier);
    QCOMPARE(text(0, 0), QString("99"));
    button("EditUndo")->click();
    QCOMPARE(text(0, 0), QString("109"));

    // * arms scaling in the value box: Enter applies it (fractions allowed) and comes back to the grid
    auto* value = host->findChild<QLineEdit*>("EditValue");
    QTest::keyClick(QApplication::focusWidget(), '*');
    QCOMPARE(QApplication::focusWidget(), value);
    QCOMPARE(editor->armed(), TableEditor::Action::Scale);
    value->clear();
    type("97,5");
    press(Qt::Key_Return);
    QCOMPARE(text(0, 0), QString("106")); // 109 × 0.975 = 106.275
    QCOMPARE(text(0, 1), QString("107")); // 110 × 0.975 = 107.25
    QCOMPARE(QApplication::focusWidget(), cell(0, 0));
    QVERIFY(!editor->armed());
    // = arms setting; Escape comes back with nothing changed
    QTest::keyClick(QApplication::focusWidget(), '=');
    QCOMPARE(editor->armed(), TableEditor::Action::Set);
    type("5");
    press(Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), cell(0, 0));
    QCOMPARE(text(0, 0), QString("106"));

    // I along one row; S smooths the block only
    cell(3, 0)->setText("100");
    cell(3, 4)->setText("140");
    QTest::mouseClick(cell(3, 0), Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_I);
    QCOMPARE(QStringList({text(3, 1), text(3, 2), text(3, 3)}), QStringList({"110", "120", "130"}));
    QTest::mouseClick(cell(3, 2), Qt::LeftButton);
    press(Qt::Key_S);
    // neighbours 109 108 109 / 110 130 / 117 116 117: mean 114.5, halfway from 120 = 117.25
    QCOMPARE(text(3, 2), QString("117"));
    QCOMPARE(text(3, 1), QString("110"));
    QVERIFY(refusals.isEmpty());
}

void TestTableWorkbench::clipboardAsSpreadsheetsCopyIt()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    // 3 columns × 2 rows
    QTest::mouseClick(cell(6, 5), Qt::LeftButton);
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QString("125\t124\t125\n129\t128\t129\n"));

    // a 3 × 3 block as a spreadsheet copies it, lands with its first value on the block's corner
    clipboard->setText("1\t2\t3\r\n 4 \t5\t6\r\n7\t8\t9\r\n");
    QTest::mouseClick(cell(2, 2), Qt::LeftButton);
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(QStringList({text(2, 2), text(2, 4), text(3, 2), text(4, 4)}),
             QStringList({"1", "3", "4", "9"}));
    QCOMPARE(text(2, 5), QString::number(startValue(1 + 8 * 2 + 5)));
    QCOMPARE(selected(), QList<int>({2, 2, 4, 4}));
    button("EditUndo")->click();
    QCOMPARE(text(2, 2), QString::number(startValue(1 + 8 * 2 + 2)));
    QCOMPARE(text(4, 4), QString::number(startValue(1 + 8 * 4 + 4)));

    // refused whole: a field that is no cell value, a block past the table's edge
    const QStringList before = [this] {
        QStringList t;
        for (int k = 1; k <= 64; ++k)
            t << grid->cellBox(k)->text();
        return t;
    }();
    struct Case {
        QString pasted;
        const char* message;
    };
    const Case cases[] = {
        {"1\t2\n3\t12a\n", "Cella riga 4 colonna 4: \"12a\" non e' un numero intero da 0 a 255."},
        {"1\t12.5", "Cella riga 3 colonna 4: \"12.5\""},
        {"1\t2\t3\t4\t5\t6\t7", "Cella riga 3 colonna 3: da qui il blocco incollato esce dalla tabella"},
        {QString("1\n").repeated(100000), "Cella riga 3 colonna 3: da qui"},
    };
    for (const Case& c : cases) {
        clipboard->setText(c.pasted);
        press(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(refusals.size(), 1);
        QVERIFY2(refusals.takeFirst().startsWith(c.message), c.message);
        QStringList now;
        for (int k = 1; k <= 64; ++k)
            now << grid->cellBox(k)->text();
        QCOMPARE(now, before);
    }
}

void TestTableWorkbench::revertToTheEcuAndItsValueOnHover()
{
    QTest::mouseClick(cell(0, 0), Qt::LeftButton);
    press(Qt::Key_Down, Qt::ShiftModifier);
    type("77");
    press(Qt::Key_Return);
    QTest::mouseClick(cell(7, 7), Qt::LeftButton);
    type("1");
    press(Qt::Key_Return);
    QCOMPARE(cell(0, 0)->toolTip(), QString("Centralina: 100"));
    QVERIFY(cell(0, 1)->toolTip().isEmpty());
    editor->applyCaptions(Language::English);
    QCOMPARE(cell(1, 0)->toolTip(), QString("ECU: 104"));
    editor->applyCaptions(Language::Turkish);
    QCOMPARE(cell(1, 0)->toolTip(), QString("Beyin: 104"));
    QCOMPARE(button("EditRevert")->text(), QString("Beyne geri don"));

    // the selection only, then the whole table with its axes when nothing is selected
    QTest::mouseClick(cell(0, 0), Qt::LeftButton);
    button("EditRevert")->click();
    QCOMPARE(text(0, 0), QString("100"));
    QCOMPARE(text(1, 0), QString("77"));
    grid->box(2)->setText("5");
    editor->select(std::nullopt);
    button("EditRevert")->click();
    QCOMPARE(text(1, 0), QString("104"));
    QCOMPARE(text(7, 7), QString("129"));
    QCOMPARE(grid->box(2)->text(), QString("1200"));
    for (int i = 0; i < TableGrid::kBoxes; ++i)
        QVERIFY(!grid->isBoxPending(i));
    button("EditUndo")->click();
    QCOMPARE(text(7, 7), QString("1"));
}

void TestTableWorkbench::heatColoursSpreadOverTheTable()
{
    // 100 .. 129 spans the whole scale: the ends are as far apart as its ends, blue and red
    QCOMPARE(grid->heatLow(), 100);
    QCOMPARE(grid->heatHigh(), 129);
    const QColor low = cell(0, 0)->palette().color(QPalette::Base);
    const QColor high = cell(7, 1)->palette().color(QPalette::Base);
    QCOMPARE(low, heatColour(0));
    QCOMPARE(high, heatColour(255));
    const int distance = std::abs(low.red() - high.red()) + std::abs(low.green() - high.green()) +
                         std::abs(low.blue() - high.blue());
    QCOMPARE(distance, 2 * 255);
    grid->moveMarker(1320 + 840 * 2, 840 + 480 * 5);
    grid->setOperatingCell(1 + 8 * 5 + 2);
    editor->select(CellBlock{1, 4, 3, 6});
    grabIfAsked(host, "table-workbench");
    // a new greatest value moves every colour
    cell(7, 7)->setText("255");
    QCOMPARE(cell(7, 1)->palette().color(QPalette::Base), heatColour(129, 100, 255));
    for (int k = 1; k <= 64; ++k) {
        const QPalette p = grid->cellBox(k)->palette();
        QVERIFY(contrastRatio(p.color(QPalette::Text), p.color(QPalette::Base)) >= 4.5);
    }
    // a flat table takes one colour, the middle of the scale
    for (int k = 1; k <= 64; ++k)
        grid->cellBox(k)->setText("120");
    QCOMPARE(cell(3, 3)->palette().color(QPalette::Base), heatColour(128));
    QCOMPARE(grid->heatLow(), grid->heatHigh());
}

void TestTableWorkbench::undoSurvivesAStore()
{
    delete host;
    host = nullptr;
    startOnFakeLink();
    link->open("/dev/ttyS0", "9600,n,8,1");
    SharedState& s = app->state;
    for (int k = 1; k <= 64; ++k)
        s.tableCells[k] = s.pendingTableCells[k] = startValue(k);
    app->navigator.open(WindowId::Calibration);
    auto* w = app->navigator.window<CalibrationWindow>(WindowId::Calibration);
    QLineEdit* cell10 = control<QLineEdit>("Form16", "Text6_25");
    QLineEdit* rpm3 = control<QLineEdit>("Form16", "Text6_3");
    const auto store = [&] {
        click("Form16", "Command7");
        // the ECU echoes every write at once
        for (int tick = 0; tick < 50 && w->phase() == CalibrationWindow::Phase::WritingBack; ++tick) {
            const qsizetype sent = link->sent.size();
            w->writeBackTick();
            if (link->sent.size() > sent) emit link->received(link->sent.last());
        }
        QCOMPARE(w->phase(), CalibrationWindow::Phase::Polling);
    };

    QTest::mouseClick(cell10, Qt::LeftButton);
    QTest::keyClicks(cell10, "77");
    QTest::keyClick(cell10, Qt::Key_Return);
    const QString rpmBefore = rpm3->text();
    QTest::mouseClick(rpm3, Qt::LeftButton);
    QTest::keyClicks(rpm3, "2100");
    QTest::keyClick(rpm3, Qt::Key_Return);
    store();
    QCOMPARE(s.tableCells[10], 77);
    QCOMPARE(s.parameterValues[param::mapRpmAxis + 3], 2100);

    // a store is a point in the history: undo brings back the texts before it, marked to be written
    auto* grid = w->findChild<TableGrid*>();
    click("Form16", "EditUndo");
    QCOMPARE(rpm3->text(), rpmBefore);
    QVERIFY(grid->isBoxPending(3));
    click("Form16", "EditUndo");
    QCOMPARE(cell10->text(), QString::number(startValue(10)));
    QVERIFY(grid->isPending(10));
    // an edit undone is an edit: coming back to the window does not put the ECU's value over it
    app->context.showMessage("ORVANE", "over the window");
    click("Form12", "Command1");
    QCOMPARE(cell10->text(), QString::number(startValue(10)));
    store();
    QCOMPARE(s.tableCells[10], startValue(10));
    QCOMPARE(QString::number(s.parameterValues[param::mapRpmAxis + 3]), rpmBefore);
    // and redo puts the stored edit back, to be written again
    click("Form16", "EditRedo");
    QCOMPARE(cell10->text(), QString("77"));
    QVERIFY(grid->isPending(10));
}

QTEST_MAIN(TestTableWorkbench)
#include "test_table_workbench.moc"
