#include "link/number_text.h"
#include "link/rounding.h"

#include <QTest>

#include <cmath>
#include <limits>

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void inputsByContext();
    void exactDigits();
    void oneRounding();
};

namespace {
constexpr long long no = std::numeric_limits<long long>::min(); // refused
} // namespace

void TestNumberText::inputsByContext()
{
    using namespace number_syntax;
    const QString huge(1000, QLatin1Char('7'));
    const struct {
        QString text;
        long long whole, rounded, workbook;
    } rows[] = {
        {"350", 350, 350, 350},
        {" 350 ", 350, 350, 350},
        {"007", 7, 7, 7},
        {"0", 0, 0, 0},
        {"65535", 65535, 65535, 65535},
        {"2.5", no, 2, 2},
        {"3.5", no, 4, 4},
        {"2,5", no, 2, 2},
        {"0.5", no, 0, 0},
        {"0.5000001", no, 1, 1},
        {"2.5000000000000000001", no, 3, 3}, // more than a half, though no double can tell
        {"65535.4", no, 65535, 65535},
        {"-2.5", no, no, -2},
        {"-3.5", no, no, -4},
        {"-1", no, no, -1},
        {"+1", no, no, 1},
        {"-0", no, no, 0},
        {".5", no, no, 0},
        {"1.", no, no, 1},
        {"+.5", no, no, 0},
        // a comma that could separate thousands is not taken for a decimal point
        {"1,5", no, 2, 2},
        {"1,50", no, 2, 2},
        {"1,5000", no, 2, 2},
        {"1.500", no, 2, 2},
        {"1,000", no, no, no},
        {"1,500", no, no, no},
        {"-2,500", no, no, no},
        {",500", no, no, no},
        {"1,500,000", no, no, no},
        {"1.500,5", no, no, no},
        {"9000000000000000000", 9'000'000'000'000'000'000LL, 9'000'000'000'000'000'000LL,
         9'000'000'000'000'000'000LL},
        {"9000000000000000001", no, no, no},
        {"99999999999999999999999", no, no, no},
        {huge, no, no, no},
        {huge + ".5", no, no, no},
        {"", no, no, no},
        {"   ", no, no, no},
        {"+", no, no, no},
        {"-", no, no, no},
        {".", no, no, no},
        {"- 5", no, no, no},
        {"+-5", no, no, no},
        {"1..5", no, no, no},
        {"1.5.", no, no, no},
        {"1e3", no, no, no},
        {"abc", no, no, no},
        {"1 2", no, no, no},
        {"0x10", no, no, no},
        {QStringLiteral("３５０"), no, no, no}, // digits of another script
    };
    for (const auto& row : rows) {
        const std::pair<const NumberSyntax&, long long> contexts[] = {
            {kWhole, row.whole}, {kRounded, row.rounded}, {kWorkbookText, row.workbook}};
        int context = 0;
        for (const auto& [syntax, expected] : contexts) {
            const std::optional<long long> read = wholeNumberFromText(row.text, syntax);
            const QString what = QStringLiteral("\"%1\" in context %2").arg(row.text.left(30)).arg(context++);
            if (expected == no)
                QVERIFY2(!read, qPrintable(what));
            else
                QVERIFY2(read && *read == expected, qPrintable(what));
        }
    }
}

void TestNumberText::exactDigits()
{
    // a percentage of a cell needs the value as written, not rounded
    const std::optional<Decimal> d = readDecimal(" 12,0500 ", number_syntax::kRounded);
    QVERIFY(d);
    QCOMPARE(d->whole, 12);
    QCOMPARE(d->fraction, QString("0500"));
    QVERIFY(!d->negative);
    QCOMPARE(d->rounded(), 12);
    // a comma is a decimal point only where the context takes one
    NumberSyntax pointOnly = number_syntax::kRounded;
    pointOnly.comma = false;
    QVERIFY(!readDecimal("1,5", pointOnly));
    QVERIFY(readDecimal("1.5", pointOnly));
}

void TestNumberText::oneRounding()
{
    const struct {
        long long numerator, denominator, quotient;
    } quotients[] = {
        {5, 2, 2},     {7, 2, 4},     {-5, 2, -2},   {-7, 2, -4},   {-6, 4, -2},     {1, 3, 0},
        {2, 3, 1},     {-1, 3, 0},    {-2, 3, -1},   {0, 7, 0},     {25, 10, 2},     {35, 10, 4},
        {-25, 10, -2}, {-35, 10, -4}, {-26, 10, -3}, {150, 100, 2}, {-150, 100, -2},
    };
    for (const auto& q : quotients)
        QVERIFY2(divideHalfEven(q.numerator, q.denominator) == q.quotient,
                 qPrintable(QStringLiteral("%1 / %2").arg(q.numerator).arg(q.denominator)));

    const struct {
        double value;
        long long rounded;
    } values[] = {{2.5, 2},
                  {3.5, 4},
                  {-2.5, -2},
                  {-0.5, 0},
                  {-1.5, -2},
                  {0.49999999999999994, 0},
                  {2.5000000000000004, 3},
                  {-2.6, -3},
                  {1e15 + 0.5, 1'000'000'000'000'000}};
    for (const auto& v : values)
        QVERIFY2(roundHalfEven(v.value) == v.rounded, qPrintable(QString::number(v.value, 'g', 17)));
    QVERIFY(!roundHalfEven(std::nan("")));
    QVERIFY(!roundHalfEven(1e19));
    QVERIFY(!roundHalfEven(-std::numeric_limits<double>::infinity()));
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "test_number_text.moc"
