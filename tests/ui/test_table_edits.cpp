// Block edits of the KGB table without widgets: the results, their rounding, the refusal that
// names the cell, smoothing, pasted text, and undo and redo.
#include "ui/calibration/table_edits.h"

#include "support/contrast.h"

#include <QTest>

#include <cmath>

class TestTableEdits : public QObject {
    Q_OBJECT
private slots:
    void interpolationBetweenCorners();
    void setAddAndScaleRoundAndStayInsideTheBlock();
    void resultOutsideTheCellRangeIsRefusedNamingTheCell();
    void undoAndRedoWholeEdits();
    void heatScaleKeepsEveryValueReadable();
    void smoothingMovesHalfwayToTheNeighboursMean();
    void pastedTextIsReadWholeOrRefused();
};

namespace {

CellGrid ramp()
{
    CellGrid g{};
    for (int r = 0; r < kTableSide; ++r)
        for (int c = 0; c < kTableSide; ++c)
            g[r][c] = 10 * r + c;
    return g;
}

// Cells outside the block keep what they had.
bool onlyBlockChanged(const CellGrid& before, const CellGrid& after, const CellBlock& block)
{
    for (int r = 0; r < kTableSide; ++r)
        for (int c = 0; c < kTableSide; ++c)
            if (!block.contains(r, c) && before[r][c] != after[r][c]) return false;
    return true;
}

} // namespace

void TestTableEdits::interpolationBetweenCorners()
{
    CellGrid g = ramp();
    g[2][3] = 100;
    g[2][5] = 120;
    g[4][3] = 140;
    g[4][5] = 160;
    // the corners given in the other order make the same block
    const CellBlock block{4, 5, 2, 3};
    const BlockResult both = interpolateBlock(g, block, Interpolation::Both);
    QVERIFY(!both.refusal);
    const int bilinear[3][3] = {{100, 110, 120}, {120, 130, 140}, {140, 150, 160}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(both.grid[2 + r][3 + c], bilinear[r][c]);
    QVERIFY(onlyBlockChanged(g, both.grid, block));

    // each row between its own ends, each column between its own ends: the inner cells had ramp
    // values that must not count
    g[3][3] = 7;
    g[3][5] = 9;
    const BlockResult rows = interpolateBlock(g, block, Interpolation::Rows);
    QCOMPARE(rows.grid[2][4], 110);
    QCOMPARE(rows.grid[3][4], 8);
    QCOMPARE(rows.grid[4][4], 150);
    const BlockResult columns = interpolateBlock(g, block, Interpolation::Columns);
    QCOMPARE(columns.grid[3][3], 120);
    QCOMPARE(columns.grid[3][4], 34); // the column's own ends, 24 and 44
    QCOMPARE(columns.grid[3][5], 140);

    // halves go to the even whole number, as the table holds them
    CellGrid h{};
    h[0][0] = 100;
    h[0][2] = 101;
    h[1][0] = 101;
    h[1][2] = 102;
    const BlockResult halves = interpolateBlock(h, CellBlock{0, 0, 1, 2}, Interpolation::Rows);
    QCOMPARE(halves.grid[0][1], 100);
    QCOMPARE(halves.grid[1][1], 102);
    // a block one cell wide interpolates only along its length; a single cell stays
    const BlockResult line = interpolateBlock(h, CellBlock{0, 0, 1, 0}, Interpolation::Both);
    QCOMPARE(line.grid[0][0], 100);
    QCOMPARE(line.grid[1][0], 101);
    QCOMPARE(interpolateBlock(h, CellBlock{0, 1, 0, 1}, Interpolation::Both).grid, h);
}

void TestTableEdits::setAddAndScaleRoundAndStayInsideTheBlock()
{
    const CellGrid g = ramp();
    const CellBlock block{1, 1, 2, 6};
    const BlockResult set = setBlock(g, block, 255);
    QCOMPARE(set.grid[1][1], 255);
    QCOMPARE(set.grid[2][6], 255);
    QVERIFY(onlyBlockChanged(g, set.grid, block));

    const BlockResult down = addToBlock(g, block, -11);
    QVERIFY(!down.refusal);
    QCOMPARE(down.grid[1][1], 0);
    QCOMPARE(down.grid[2][6], 15);
    QVERIFY(onlyBlockChanged(g, down.grid, block));

    CellGrid s = g;
    s[0][0] = 10;
    s[0][1] = 30;
    const BlockResult scaled = scaleBlock(s, CellBlock{0, 0, 0, 1}, 105);
    QCOMPARE(scaled.grid[0][0], 10); // 10.5
    QCOMPARE(scaled.grid[0][1], 32); // 31.5
    QCOMPARE(scaleBlock(s, CellBlock{0, 0, 0, 1}, 0).grid[0][1], 0);
    // a typed percentage is kept exact: 30 × 97.5 % = 29.25, 10 × 97.5 % = 9.75
    const PercentReading percent = readPercent(" 97,5 ", "Valore", Language::Italian);
    QVERIFY(percent.refusal.isEmpty());
    const BlockResult fraction = scaleBlock(s, CellBlock{0, 0, 0, 1}, percent.numerator, percent.denominator);
    QCOMPARE(fraction.grid[0][0], 10);
    QCOMPARE(fraction.grid[0][1], 29);
    QVERIFY(readPercent("1001", "Valore", Language::Italian).refusal.startsWith("Valore: \"1001\""));
    QVERIFY(!readPercent("-5", "Valore", Language::Italian).refusal.isEmpty());
}

void TestTableEdits::resultOutsideTheCellRangeIsRefusedNamingTheCell()
{
    CellGrid g = ramp();
    g[1][2] = 250;
    g[1][3] = 251;
    const BlockResult scaled = scaleBlock(g, CellBlock{0, 0, 3, 3}, 110);
    QVERIFY(scaled.refusal);
    QCOMPARE(scaled.grid, g);
    QCOMPARE(scaled.refusal->row, 1);
    QCOMPARE(scaled.refusal->column, 2);
    QCOMPARE(scaled.refusal->value, 275);
    QCOMPARE(blockRefusalText(*scaled.refusal, Language::Italian),
             QString("Cella riga 2 colonna 3: il risultato 275 e' fuori da 0..255. La tabella non e' stata "
                     "cambiata."));
    QVERIFY(blockRefusalText(*scaled.refusal, Language::English).startsWith("Cell row 2 column 3"));
    QVERIFY(blockRefusalText(*scaled.refusal, Language::Turkish).startsWith("Hucre satir 2 sutun 3"));

    const BlockResult below = addToBlock(g, CellBlock{0, 0, 7, 7}, -1);
    QVERIFY(below.refusal);
    QCOMPARE(below.refusal->row, 0);
    QCOMPARE(below.refusal->column, 0);
    QCOMPARE(below.refusal->value, -1);
    QCOMPARE(addToBlock(g, CellBlock{1, 3, 1, 3}, 5).refusal->value, 256);
    QVERIFY(!addToBlock(g, CellBlock{1, 3, 1, 3}, 4).refusal);
}

void TestTableEdits::undoAndRedoWholeEdits()
{
    EditHistory<CellGrid> history;
    const CellGrid start = ramp();
    QVERIFY(!history.undo(start));
    const CellGrid interpolated = interpolateBlock(start, CellBlock{0, 0, 7, 7}, Interpolation::Both).grid;
    history.record(start);
    const CellGrid set = setBlock(interpolated, CellBlock{0, 0, 0, 0}, 9).grid;
    history.record(interpolated);

    QCOMPARE(*history.undo(set), interpolated);
    QCOMPARE(*history.undo(interpolated), start);
    QVERIFY(!history.canUndo());
    QCOMPARE(*history.redo(start), interpolated);
    QCOMPARE(*history.redo(interpolated), set);
    QVERIFY(!history.redo(set));

    // a new edit after an undo forgets what was undone
    history.undo(set);
    history.record(interpolated);
    QVERIFY(!history.canRedo());
    QVERIFY(history.canUndo());
    history.clear();
    QVERIFY(!history.canUndo());
}

void TestTableEdits::heatScaleKeepsEveryValueReadable()
{
    QCOMPARE(heatColour(0), QColor(0, 0, 255));
    QCOMPARE(heatColour(255), QColor(255, 0, 0));
    // out of range values (a KGB typed above 255) take the end colours, not a wrapped one
    QCOMPARE(heatColour(300), heatColour(255));
    QCOMPARE(heatColour(-5), heatColour(0));
    QColor previous = heatColour(0);
    for (int v = 0; v <= 255; ++v) {
        const QColor background = heatColour(v);
        QVERIFY2(contrastRatio(readableTextOn(background), background) >= 4.5,
                 qPrintable(QString::number(v)));
        // a smooth scale: neighbouring values look alike
        QVERIFY(std::abs(background.red() - previous.red()) +
                    std::abs(background.green() - previous.green()) +
                    std::abs(background.blue() - previous.blue()) <=
                8);
        previous = background;
    }
}

void TestTableEdits::smoothingMovesHalfwayToTheNeighboursMean()
{
    CellGrid g{};
    for (auto& row : g)
        row.fill(100);
    g[3][3] = 140;
    // a lone peak: its 8 neighbours' mean is 100, halfway from 140 is 120
    QCOMPARE(smoothBlock(g, CellBlock{3, 3, 3, 3}).grid[3][3], 120);
    // a block: every cell from the values before smoothing; (100 + 105) / 2 = 102.5 goes to 102
    const CellBlock block{2, 2, 4, 4};
    const BlockResult smoothed = smoothBlock(g, block);
    QCOMPARE(smoothed.grid[2][2], 102);
    QCOMPARE(smoothed.grid[2][3], 102); // 103 had it taken the smoothed 102 beside it
    QCOMPARE(smoothed.grid[3][3], 120);
    QVERIFY(onlyBlockChanged(g, smoothed.grid, block));
    // a corner has 3 neighbours, not 8 with zeros: (0 + 31 / 3) / 2 = 5.17
    g[0][0] = 0;
    g[0][1] = 10;
    g[1][0] = 10;
    g[1][1] = 11;
    QCOMPARE(smoothBlock(g, CellBlock{0, 0, 0, 0}).grid[0][0], 5);
    const CellGrid flat = setBlock(g, CellBlock{0, 0, 7, 7}, 77).grid;
    QCOMPARE(smoothBlock(flat, CellBlock{0, 0, 7, 7}).grid, flat);
}

void TestTableEdits::pastedTextIsReadWholeOrRefused()
{
    const CellGrid g = ramp();
    // as LibreOffice copies (\n) and as other spreadsheets do (\r\n), blanks around a value allowed
    for (const QString& text :
         {QString("1\t2\n3\t4\n"), QString(" 1 \t2\r\n3\t 4\r\n"), QString("1\t2\n3\t4")}) {
        const PasteResult p = pasteBlock(g, 6, 6, text);
        QVERIFY2(!p.refusal, qPrintable(text));
        QCOMPARE(QList<int>({p.grid[6][6], p.grid[6][7], p.grid[7][6], p.grid[7][7]}),
                 QList<int>({1, 2, 3, 4}));
        QCOMPARE(QList<int>({p.block.top(), p.block.left(), p.block.bottom(), p.block.right()}),
                 QList<int>({6, 6, 7, 7}));
        QVERIFY(onlyBlockChanged(g, p.grid, p.block));
    }
    struct Case {
        QString text;
        PasteRefusal::Kind kind;
        int row, column;
        QString field;
    };
    const Case refused[] = {
        {"1\t2\n3\t12a", PasteRefusal::Kind::NotACell, 6, 6, "12a"},
        {"256", PasteRefusal::Kind::NotACell, 5, 5, "256"},
        {"", PasteRefusal::Kind::NotACell, 5, 5, ""},
        {"1\n\n2", PasteRefusal::Kind::NotACell, 6, 5, ""},
        {"1\t2\t3\t4", PasteRefusal::Kind::DoesNotFit, 5, 5, ""},
        {"1\n2\n3\n4", PasteRefusal::Kind::DoesNotFit, 5, 5, ""},
        {QString(100000, QLatin1Char('7')), PasteRefusal::Kind::NotACell, 5, 5,
         QString(24, QLatin1Char('7')) + "…"},
    };
    for (const Case& c : refused) {
        const PasteResult p = pasteBlock(g, 5, 5, c.text);
        QVERIFY2(p.refusal, qPrintable(c.text.left(20)));
        QCOMPARE(p.grid, g);
        QCOMPARE(p.refusal->kind, c.kind);
        QCOMPARE(p.refusal->row, c.row);
        QCOMPARE(p.refusal->column, c.column);
        QCOMPARE(p.refusal->text, c.field);
    }
    QCOMPARE(pasteRefusalText(*pasteBlock(g, 5, 5, "1\t2\n3\t12a").refusal, Language::Italian),
             QString("Cella riga 7 colonna 7: \"12a\" non e' un numero intero da 0 a 255. La tabella non e' "
                     "stata cambiata."));
    QVERIFY(
        pasteRefusalText(*pasteBlock(g, 5, 5, "1\t2\t3\t4").refusal, Language::English)
            .startsWith("Cell row 6 column 6: from here the pasted block runs past the table (3 rows and 3 "
                        "columns at most)."));
    // copied back the way it was pasted
    TextGrid texts;
    for (int r = 0; r < kTableSide; ++r)
        for (int c = 0; c < kTableSide; ++c)
            texts[r][c] = QString::number(g[r][c]);
    QCOMPARE(blockText(texts, CellBlock{1, 2, 0, 4}), QString("2\t3\t4\n12\t13\t14\n"));
}

QTEST_APPLESS_MAIN(TestTableEdits)
#include "test_table_edits.moc"
