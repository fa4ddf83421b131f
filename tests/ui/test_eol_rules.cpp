#include "link/eol_rules.h"

#include <QTest>

#include <map>

namespace {
std::map<int, bool> asMap(const std::vector<std::pair<int, bool>>& v)
{
    return {v.begin(), v.end()};
}
} // namespace

class TestEolRules : public QObject {
    Q_OBJECT
private slots:
    void cylinderBytesAndPairs();
    void checkRows();
    void bitChainIsNotPlainBitTesting();
};

void TestEolRules::cylinderBytesAndPairs()
{
    EolResults r;
    r.eolCylinderResults[1] = 0x05;
    r.eolCylinderResults[2] = 0x04;
    r.eolCylinderResults[3] = 0x0F;
    r.eolCylinderResults[4] = 0x00;
    OneBased<int, kCylinderCount> marks;
    marks.fill(1);
    const auto painted = asMap(eolResultIndicators(r, marks));
    // 0x05: EMUL and IN red, STAT and OUT green
    QCOMPARE(painted.at(0), false);
    QCOMPARE(painted.at(1), true);
    QCOMPARE(painted.at(2), false);
    QCOMPARE(painted.at(3), true);
    QCOMPARE(painted.at(8), true); // cylinder 3, 0x0F: all four red
    QCOMPARE(painted.at(11), true);
    QCOMPARE(marks[1], 1);
    QCOMPARE(marks[2], 1);
    QCOMPARE(marks[3], 1);
    QCOMPARE(marks[4], 0);
    QCOMPARE(painted.at(57), true);       // both 1 and 2 marked
    QCOMPARE(painted.at(58), false);      // 4 clear
    QCOMPARE(painted.size(), size_t(59)); // 55 and 56 belong to the reset phases
    QVERIFY(!painted.count(55) && !painted.count(56));
}

void TestEolRules::checkRows()
{
    EolResults r;
    r.eolChecks[1] = 1;
    r.eolChecks[2] = 2; // "value = 1" rows: anything else is green
    r.eolChecks[3] = 0x1F;
    r.eolChecks[5] = 0x04;
    r.eolChecks[7] = 0x09;
    r.eolChecks[8] = 0x01;
    r.eolChecks[9] = 1;
    OneBased<int, kCylinderCount> marks;
    const auto p = asMap(eolResultIndicators(r, marks));
    QVERIFY(p.at(42) && p.at(32));
    QVERIFY(!p.at(51) && !p.at(43));
    for (int i : {41, 46, 45, 36, 47})
        QVERIFY(p.at(i));
    QVERIFY(p.at(35) && !p.at(34) && !p.at(49));
    QVERIFY(p.at(40) && !p.at(39) && !p.at(44) && p.at(33));
    QVERIFY(!p.at(52) && p.at(53));
    QVERIFY(p.at(54));
    QVERIFY(!p.at(48) && !p.at(38) && !p.at(50) && !p.at(37));
    QCOMPARE(eolIndicatorCaption(36), QString("TPS_ANALOGICO"));
    QCOMPARE(eolIndicatorCaption(56), QString("WATCH DOG"));
    QVERIFY(!eolIndicatorCaption(54).isEmpty()); // every indicator says what it stands for
}

void TestEolRules::bitChainIsNotPlainBitTesting()
{
    // bits above the listed ones stay in the remainder: 5 on a two-bit row gives bit 1 red and,
    // with 3 remaining, bit 0 green
    const auto row = decodeBitChain(5, 1, {52, 53});
    QCOMPARE(row[0].second, true);
    QCOMPARE(row[1].second, false);
    const auto three = decodeBitChain(3, 1, {52, 53});
    QCOMPARE(three[0].second, true);
    QCOMPARE(three[1].second, true);
}

QTEST_APPLESS_MAIN(TestEolRules)
#include "test_eol_rules.moc"
