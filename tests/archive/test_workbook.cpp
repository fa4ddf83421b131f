#include "archive/workbook_file.h"
#include "biff_stream_builder.h"
#include "link/number_text.h"
#include "link/parameter_catalogue.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>

#include <cstdio>
#include <functional>
#include <random>

#include <unistd.h>

using B = BiffStreamBuilder;

namespace {

VehicleSet sampleSet(unsigned seed)
{
    std::mt19937 random(seed);
    VehicleSet set;
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        set.parameters[id] = std::uniform_int_distribution(0, 65535)(random);
    for (int k = 1; k <= kTableCellCount; ++k)
        set.cells[k] = std::uniform_int_distribution(0, 255)(random);
    set.parameters[param::calibrationTemperature] = 28028; // easy to see which row holds which
    set.parameters[param::calibrationPressure] = 29029;
    set.parameters[1] = 0;
    set.parameters[60] = 65535;
    return set;
}

QByteArray sha(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A sheet with every parameter 1 and every table cell 2, as RK records, then `extra`.
QByteArray onesAndTwos(const QByteArray& extra)
{
    QByteArray records;
    for (int row = 0; row < 60; ++row)
        records += B::rec(0x027E, B::cell(row, 0) + B::u32((1u << 2) | 2));
    for (int row = 0; row < 8; ++row)
        for (int c = 2; c < 10; ++c)
            records += B::rec(0x027E, B::cell(row, c) + B::u32((2u << 2) | 2));
    return records + extra;
}

// A FORMULA at (row, column) whose cached result is text, to be found in a STRING record.
QByteArray textResultFormula(int row, int column)
{
    return B::rec(0x0006, B::cell(row, column) + QByteArray("\x00\x00\x00\x00\x00\x00\xff\xff", 8) +
                              B::u16(0) + B::u32(0) + B::u16(0));
}

// Where the first worksheet begins, as the globals' first BOUNDSHEET says.
qsizetype firstSheetOffset(const QByteArray& stream)
{
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const auto type = qFromLittleEndian<quint16>(stream.constData() + at);
        const auto length = qFromLittleEndian<quint16>(stream.constData() + at + 2);
        if (type == 0x0085) return qFromLittleEndian<quint32>(stream.constData() + at + 4);
        at += 4 + length;
    }
    return -1;
}

// What `run` writes on the terminal's error stream.
QByteArray stderrOf(const std::function<void()>& run)
{
    QTemporaryFile capture;
    if (!capture.open()) qFatal("no temporary file");
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir.isValid()); }

    void roundTripKeepsEveryValue();
    void rows28And29HoldParameters29And28();
    void readingLeavesTheFileAlone();
    void writingOverAnOldFileReplacesItWhole();
    void savingLeavesNothingOfItsOwnBehind();
    void cutShortFileIsRefusedQuietly();
    void recordsOtherProgramsWrite();
    void formulaTextResultAfterItsSharedPart();
    void commaInNumberText();
    void numberShownAsAWord();
    void refusals_data();
    void refusals();
    void refusedFileLeavesPendingValuesAlone();
    void emptyParameterBlockIsNoVehicle();
    void spreadsheetProgramReadsOurFile();
    void filesTheSpreadsheetProgramWrites();
    void secondSheetNamesTheRows();
    void problemTexts();

private:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    VehicleSet readBack(const QByteArray& stream)
    {
        const QString p = path("hand.xls");
        if (writeWorkbookStreamFile(p, stream)) qFatal("cannot write");
        auto result = readWorkbookFile(p);
        if (auto* problem = std::get_if<WorkbookProblem>(&result))
            qFatal("refused: %s", qPrintable(workbookProblemText(*problem, Language::English)));
        return std::get<VehicleSet>(result);
    }
    QTemporaryDir dir;
};

void TestWorkbook::roundTripKeepsEveryValue()
{
    for (unsigned seed : {1u, 2u, 3u}) {
        const VehicleSet set = sampleSet(seed);
        QVERIFY(!writeWorkbookFile(path("car.xls"), set));
        auto result = readWorkbookFile(path("car.xls"));
        QVERIFY(std::holds_alternative<VehicleSet>(result));
        QCOMPARE(std::get<VehicleSet>(result), set);
    }
    // the stream parser agrees with itself without the container too
    const VehicleSet set = sampleSet(9);
    QCOMPARE(std::get<VehicleSet>(parseWorkbookStream(buildWorkbookStream(set))), set);
}

void TestWorkbook::rows28And29HoldParameters29And28()
{
    VehicleSet set = sampleSet(4);
    const QByteArray stream = buildWorkbookStream(set);
    // find the RK records of column A at rows 27 and 28 (0-based)
    QMap<int, quint32> columnA;
    for (qsizetype pos = 0; pos + 4 <= stream.size();) {
        const int type = static_cast<quint8>(stream[pos]) | (static_cast<quint8>(stream[pos + 1]) << 8);
        const int length = static_cast<quint8>(stream[pos + 2]) | (static_cast<quint8>(stream[pos + 3]) << 8);
        if (type == 0x027E) {
            const auto* d = reinterpret_cast<const uchar*>(stream.constData() + pos + 4);
            if ((d[2] | (d[3] << 8)) == 0)
                columnA[d[0] | (d[1] << 8)] = qFromLittleEndian<quint32>(d + 6) >> 2;
        }
        pos += 4 + length;
    }
    QCOMPARE(columnA.size(), 60);
    QCOMPARE(columnA[27], 29029u);
    QCOMPARE(columnA[28], 28028u);
    QCOMPARE(columnA[26], quint32(set.parameters[27]));
}

void TestWorkbook::readingLeavesTheFileAlone()
{
    QVERIFY(!writeWorkbookFile(path("car.xls"), sampleSet(5)));
    const QByteArray before = sha(path("car.xls"));
    const QDateTime modified = QFileInfo(path("car.xls")).lastModified();
    QTest::qWait(20);
    QVERIFY(std::holds_alternative<VehicleSet>(readWorkbookFile(path("car.xls"))));
    QCOMPARE(sha(path("car.xls")), before);
    QCOMPARE(QFileInfo(path("car.xls")).lastModified(), modified);
}

void TestWorkbook::writingOverAnOldFileReplacesItWhole()
{
    QVERIFY(!writeWorkbookFile(path("car.xls"), sampleSet(6)));
    QVERIFY(!writeWorkbookFile(path("car.xls"), sampleSet(7)));
    QCOMPARE(std::get<VehicleSet>(readWorkbookFile(path("car.xls"))), sampleSet(7));
    // no temporary files left beside it
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"car.xls"});

    const auto problem = writeWorkbookFile(dir.filePath("no/such/folder/car.xls"), sampleSet(6));
    QVERIFY(problem);
    QCOMPARE(problem->kind, WorkbookProblem::Kind::WriteFailed);
    QVERIFY(!problem->detail.isEmpty());
}

void TestWorkbook::savingLeavesNothingOfItsOwnBehind()
{
    QDir folder(path("saves"));
    QVERIFY(folder.mkpath("."));
    const QString car = folder.filePath("car.xls");
    // temporary files killed saves left, ours and libgsf's, and one of a save still running
    const QDateTime twoMinutesAgo = QDateTime::currentDateTime().addSecs(-120);
    for (const char* name : {".orvane-save-1a2b3c4d", ".gsf-save-QX81ZP", ".orvane-save-running"}) {
        QFile stray(folder.filePath(name));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.write("half a workbook");
        stray.flush();
        if (!QByteArray(name).endsWith("running"))
            QVERIFY(stray.setFileTime(twoMinutesAgo, QFileDevice::FileModificationTime));
    }
    QVERIFY(!writeWorkbookFile(car, sampleSet(11)));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), (QStringList{".orvane-save-running", "car.xls"}));

    // the old file's permissions stay
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(car, readable));
    QVERIFY(!writeWorkbookFile(car, sampleSet(12)));
    QCOMPARE(QFile::permissions(car) & 0x7077, readable); // owner, group, others
    QCOMPARE(std::get<VehicleSet>(readWorkbookFile(car)), sampleSet(12));

    // failures name the user's file, not a temporary one
    QStringList failing{path("no/such/folder/car.xls"), folder.path()};
    if (::geteuid() != 0) { // root may write into a read-only folder
        QVERIFY(folder.mkdir("locked"));
        QVERIFY(
            QFile::setPermissions(folder.filePath("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        failing << folder.filePath("locked/car.xls");
    }
    for (const QString& target : failing) {
        const auto problem = writeWorkbookFile(target, sampleSet(6));
        QVERIFY2(problem, qPrintable(target));
        QCOMPARE(problem->kind, WorkbookProblem::Kind::WriteFailed);
        QVERIFY2(problem->detail.startsWith(target + ": "), qPrintable(problem->detail));
        QVERIFY(!problem->detail.contains("-save-"));
    }
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), (QStringList{".orvane-save-running", "car.xls"}));
}

void TestWorkbook::cutShortFileIsRefusedQuietly()
{
    QVERIFY(!writeWorkbookFile(path("car.xls"), sampleSet(13)));
    QFile whole(path("car.xls"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    // libgsf asserts and warns on such files; the refusal is ours to tell
    for (const qsizetype length : {qsizetype(1536), bytes.size() - 600, bytes.size() - 1, qsizetype(100)}) {
        QFile cut(path("cut.xls"));
        QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cut.write(bytes.left(length));
        cut.close();
        std::variant<VehicleSet, WorkbookProblem> result;
        QCOMPARE(stderrOf([&] { result = readWorkbookFile(path("cut.xls")); }), QByteArray());
        QVERIFY(std::holds_alternative<WorkbookProblem>(result));
        QCOMPARE(std::get<WorkbookProblem>(result).kind, WorkbookProblem::Kind::Damaged);
    }
}

void TestWorkbook::recordsOtherProgramsWrite()
{
    // SST with a string split over a CONTINUE, the second half in 16-bit characters
    const QByteArray sst1 = B::u32(3) + B::u32(3) + B::u16(3) + QByteArray(1, '\0') + "123" + B::u16(6) +
                            QByteArray(1, '\0') + " 4";
    const QByteArray sst2 = QByteArray(1, '\x01') +
                            QByteArray("5\0"
                                       "6\0"
                                       "7\0"
                                       " \0",
                                       8) +
                            B::u16(3) + QByteArray(1, '\0') + "2,5";
    QByteArray extra;
    extra += B::rec(0x00FD, B::cell(0, 0) + B::u32(0));                // A1 "123"
    extra += B::rec(0x00FD, B::cell(1, 0) + B::u32(1));                // A2 " 4567 "
    extra += B::rec(0x00FD, B::cell(2, 0) + B::u32(2));                // A3 "2,5" -> 2
    extra += B::rec(0x0204, B::cell(3, 0) + B::string8("3.5"));        // A4 LABEL -> 4
    extra += B::rec(0x0203, B::cell(4, 0) + B::f64(2.5));              // A5 NUMBER -> 2
    extra += B::rec(0x027E, B::cell(5, 0) + B::u32((1250u << 2) | 3)); // A6 RK x100: 12.5 -> 12
    extra += B::rec(0x0201, B::cell(6, 0));                            // A7 BLANK -> 0
    extra += B::rec(0x00BE, B::u16(7) + B::u16(0) + B::u16(15) + B::u16(15) + B::u16(1)); // A8:B8 blank
    // FORMULA with a cached number, and one with a text result in the STRING after it
    extra += B::rec(0x0006, B::cell(8, 0) + B::f64(42.0) + B::u16(0) + B::u32(0) + B::u16(0));
    extra += textResultFormula(9, 0) + B::rec(0x0207, B::string8(" 77"));
    // MULRK across C1:E1
    extra += B::rec(0x00BD, B::u16(0) + B::u16(2) + B::u16(15) + B::u32((10u << 2) | 2) + B::u16(15) +
                                B::u32((11u << 2) | 2) + B::u16(15) + B::u32((12u << 2) | 2) + B::u16(4));
    // cells outside the block are ignored, whatever they hold
    extra += B::rec(0x0204, B::cell(70, 0) + B::string8("notes"));
    extra += B::rec(0x0205, B::cell(0, 1) + QByteArray("\x07\x01", 2));
    const VehicleSet set = readBack(B().workbook({sst1, sst2}, onesAndTwos(extra)));
    QCOMPARE(set.parameters[1], 123);
    QCOMPARE(set.parameters[2], 4567);
    QCOMPARE(set.parameters[3], 2);
    QCOMPARE(set.parameters[4], 4);
    QCOMPARE(set.parameters[5], 2);
    QCOMPARE(set.parameters[6], 12);
    QCOMPARE(set.parameters[7], 0);
    QCOMPARE(set.parameters[8], 0);
    QCOMPARE(set.parameters[9], 42);
    QCOMPARE(set.parameters[10], 77);
    QCOMPARE(set.parameters[11], 1);
    QCOMPARE(set.cells[1], 10);
    QCOMPARE(set.cells[3], 12);
    QCOMPARE(set.cells[4], 2);
}

void TestWorkbook::formulaTextResultAfterItsSharedPart()
{
    // what LibreOffice writes for =TEXT(L1;"0") filled down: FORMULA, SHRFMLA, STRING
    const QByteArray shared = B::rec(0x04BC, B::u16(0) + B::u16(59) + QByteArray("\x00\x00\x00\x3c", 4) +
                                                 B::u16(3) + QByteArray("\x1e\x07\x00", 3));
    const QByteArray array = B::rec(0x0221, B::u16(1) + B::u16(1) + QByteArray(2, '\0') + B::u16(0) +
                                                B::u32(0) + B::u16(3) + QByteArray("\x1e\x08\x00", 3));
    const QByteArray table =
        B::rec(0x0236, B::u16(2) + B::u16(2) + QByteArray(2, '\0') + QByteArray(10, '\0'));
    const QByteArray extra = textResultFormula(0, 0) + shared + B::rec(0x0207, B::string8("7")) +
                             textResultFormula(1, 0) + array + B::rec(0x0207, B::string8("8")) +
                             textResultFormula(2, 0) + table + B::rec(0x0207, B::string8("9"));
    const VehicleSet set = readBack(B().workbook({B::u32(0) + B::u32(0)}, onesAndTwos(extra)));
    QCOMPARE(set.parameters[1], 7);
    QCOMPARE(set.parameters[2], 8);
    QCOMPARE(set.parameters[3], 9);
    QCOMPARE(set.parameters[4], 1);
}

void TestWorkbook::commaInNumberText()
{
    // a comma that could separate thousands is not taken for a decimal point
    const auto read = [](const char* text) { return readDecimal(text, number_syntax::kWorkbookText); };
    for (const char* text : {"1,500", "-2,500", ",500", "1,500,000", "1.500,5"})
        QVERIFY2(!read(text), text);
    QCOMPARE(read("1,5")->fraction, QString("5"));
    QCOMPARE(read("1,50")->fraction, QString("50"));
    QCOMPARE(read("1,5000")->fraction, QString("5000"));
    QCOMPARE(read("1.500")->fraction, QString("500")); // a point stays a decimal point
}

void TestWorkbook::numberShownAsAWord()
{
    // TRUE typed in LibreOffice may be a number whose format shows a word: XFs 16, 17 and 18 use
    // LibreOffice's logical format in Italian, its BOOLEAN code and a plain number format
    QByteArray globals;
    for (int format : {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 164, 165, 166})
        globals += B::rec(0x00E0, B::u16(0) + B::u16(format) + QByteArray(16, '\0'));
    globals += B::rec(0x041E, B::u16(164) + B::string8("\"VERO\";\"VERO\";\"FALSO\""));
    globals += B::rec(0x041E, B::u16(165) + B::string8("BOOLEAN"));
    globals += B::rec(0x041E, B::u16(166) + B::string8("0.0\" bar\""));
    const auto read = [&](const QByteArray& extra) {
        if (writeWorkbookStreamFile(path("logical.xls"),
                                    B().workbook({B::u32(0) + B::u32(0)}, onesAndTwos(extra), globals)))
            qFatal("cannot write");
        return readWorkbookFile(path("logical.xls"));
    };
    const auto refusedAs = [&](const QByteArray& extra, const char* cell, const char* shown) {
        const auto result = read(extra);
        QVERIFY(std::holds_alternative<WorkbookProblem>(result));
        const WorkbookProblem& p = std::get<WorkbookProblem>(result);
        QCOMPARE(p.kind, WorkbookProblem::Kind::TextInCell);
        QCOMPARE(p.cell, QString(cell));
        QCOMPARE(p.detail, QString(shown));
    };
    refusedAs(B::rec(0x0203, B::u16(4) + B::u16(0) + B::u16(16) + B::f64(0)), "A5", "FALSO");
    refusedAs(B::rec(0x027E, B::u16(0) + B::u16(2) + B::u16(17) + B::u32((1u << 2) | 2)), "C1", "TRUE");
    refusedAs(B::rec(0x00BD, B::u16(1) + B::u16(3) + B::u16(15) + B::u32((5u << 2) | 2) + B::u16(16) +
                                 B::u32((1u << 2) | 2) + B::u16(4)),
              "E2", "VERO");
    const auto result = read(B::rec(0x0203, B::u16(5) + B::u16(0) + B::u16(18) + B::f64(2.5)));
    QVERIFY(std::holds_alternative<VehicleSet>(result));
    QCOMPARE(std::get<VehicleSet>(result).parameters[6], 2);
}

void TestWorkbook::refusals_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cell");
    using K = WorkbookProblem::Kind;
    QTest::newRow("text word") << B::rec(0x0204, B::cell(4, 0) + B::string8("abc")) << int(K::TextInCell)
                               << "A5";
    QTest::newRow("thousands separator")
        << B::rec(0x0204, B::cell(4, 0) + B::string8("1,500")) << int(K::TextInCell) << "A5";
    QTest::newRow("logical") << B::rec(0x0205, B::cell(4, 0) + QByteArray("\x01\x00", 2))
                             << int(K::TextInCell) << "A5";
    QTest::newRow("error value") << B::rec(0x0205, B::cell(0, 3) + QByteArray("\x07\x01", 2))
                                 << int(K::ErrorInCell) << "D1";
    QTest::newRow("formula error") << B::rec(0x0006, B::cell(2, 0) +
                                                         QByteArray("\x02\x00\x2a\x00\x00\x00\xff\xff", 8) +
                                                         B::u16(0) + B::u32(0) + B::u16(0))
                                   << int(K::ErrorInCell) << "A3";
    QTest::newRow("parameter 65536") << B::rec(0x0203, B::cell(59, 0) + B::f64(65536))
                                     << int(K::ParameterOutOfRange) << "A60";
    QTest::newRow("negative parameter")
        << B::rec(0x0203, B::cell(0, 0) + B::f64(-1)) << int(K::ParameterOutOfRange) << "A1";
    QTest::newRow("parameter 65535.5 rounds to 65536")
        << B::rec(0x0203, B::cell(0, 0) + B::f64(65535.5)) << int(K::ParameterOutOfRange) << "A1";
    QTest::newRow("table cell 256") << B::rec(0x0203, B::cell(7, 9) + B::f64(256)) << int(K::CellOutOfRange)
                                    << "J8";
    QTest::newRow("formula text result not a number")
        << textResultFormula(3, 0) + B::rec(0x04BC, QByteArray(10, '\0')) + B::rec(0x0207, B::string8("x"))
        << int(K::TextInCell) << "A4";
    QTest::newRow("formula text result missing")
        << textResultFormula(3, 0) + B::rec(0x04BC, QByteArray(10, '\0')) +
               B::rec(0x027E, B::cell(4, 0) + B::u32(2))
        << int(K::Damaged) << "";
    QTest::newRow("string index beyond the table")
        << B::rec(0x00FD, B::cell(0, 0) + B::u32(5)) << int(K::Damaged) << "";
    QTest::newRow("record cut short") << QByteArray("\x03\x02\x0e\x00\x01", 5) << int(K::Damaged) << "";
}

void TestWorkbook::refusals()
{
    QFETCH(QByteArray, extra);
    QFETCH(int, kind);
    QFETCH(QString, cell);
    QVERIFY(
        !writeWorkbookStreamFile(path("bad.xls"), B().workbook({B::u32(0) + B::u32(0)}, onesAndTwos(extra))));
    auto result = readWorkbookFile(path("bad.xls"));
    QVERIFY(std::holds_alternative<WorkbookProblem>(result));
    const WorkbookProblem& p = std::get<WorkbookProblem>(result);
    QCOMPARE(int(p.kind), kind);
    QCOMPARE(p.cell, cell);
}

void TestWorkbook::refusedFileLeavesPendingValuesAlone()
{
    SharedState state;
    state.pendingParameterValues.fill(7);
    state.pendingTableCells.fill(9);
    const SharedState before = state;
    QVERIFY(loadWorkbookIntoPending(path("missing.xls"), state)->kind == WorkbookProblem::Kind::FileMissing);
    QFile text(path("notes.xls"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("this is not a workbook\n");
    text.close();
    QCOMPARE(loadWorkbookIntoPending(path("notes.xls"), state)->kind, WorkbookProblem::Kind::NotAWorkbook);
    // a good parameter block and a bad table: nothing of it is taken
    QVERIFY(!writeWorkbookStreamFile(
        path("half.xls"),
        B().workbook({B::u32(0) + B::u32(0)}, onesAndTwos(B::rec(0x0203, B::cell(7, 9) + B::f64(300))))));
    QCOMPARE(loadWorkbookIntoPending(path("half.xls"), state)->kind, WorkbookProblem::Kind::CellOutOfRange);
    QVERIFY(state == before);

    QVERIFY(!writeWorkbookFile(path("good.xls"), sampleSet(8)));
    QVERIFY(!loadWorkbookIntoPending(path("good.xls"), state));
    QCOMPARE(state.pendingParameterValues[29], 29029);
    QCOMPARE(state.pendingParameterValues[61], 7); // not archived, not touched
    QCOMPARE(state.pendingTableCells, sampleSet(8).cells);
}

void TestWorkbook::emptyParameterBlockIsNoVehicle()
{
    QByteArray table;
    for (int row = 0; row < 8; ++row)
        for (int c = 2; c < 10; ++c)
            table += B::rec(0x027E, B::cell(row, c) + B::u32((2u << 2) | 2));
    const QByteArray blankText = B::rec(0x0204, B::cell(0, 0) + B::string8("  "));
    const QByteArray outside =
        B::rec(0x0203, B::cell(60, 0) + B::f64(5)) + B::rec(0x0203, B::cell(0, 1) + B::f64(5));
    // a new empty sheet, the table alone, blank text and numbers just outside column A's 60 rows
    for (const QByteArray& sheet : {QByteArray(), table, blankText + table, outside + table}) {
        const auto result = parseWorkbookStream(B().workbook({B::u32(0) + B::u32(0)}, sheet));
        QVERIFY(std::holds_alternative<WorkbookProblem>(result));
        QCOMPARE(std::get<WorkbookProblem>(result).kind, WorkbookProblem::Kind::NotAVehicle);
    }
    // one number is enough: the empty cells around it load as 0
    const auto result = parseWorkbookStream(
        B().workbook({B::u32(0) + B::u32(0)}, B::rec(0x0203, B::cell(59, 0) + B::f64(0))));
    QVERIFY(std::holds_alternative<VehicleSet>(result));
    QCOMPARE(std::get<VehicleSet>(result), VehicleSet{});

    const WorkbookProblem p{WorkbookProblem::Kind::NotAVehicle, {}, {}};
    QCOMPARE(workbookProblemText(p, Language::English), QString("The file holds no vehicle's parameters"));
    QCOMPARE(workbookProblemText(p, Language::Italian),
             QString("Il file non contiene i parametri di una vettura"));
    QCOMPARE(workbookProblemText(p, Language::Turkish), QString("Dosyada bir aracin parametreleri yok"));
}

void TestWorkbook::spreadsheetProgramReadsOurFile()
{
    const QString ssconvert = QStandardPaths::findExecutable("ssconvert");
    if (ssconvert.isEmpty()) QSKIP("ssconvert (gnumeric) is not installed");
    const VehicleSet set = sampleSet(10);
    QVERIFY(!writeWorkbookFile(path("car.xls"), set));
    QProcess p;
    p.start(ssconvert, {path("car.xls"), path("car.csv")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(p.readAllStandardError().trimmed().isEmpty(), "ssconvert complained");
    QFile csv(path("car.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    for (int row = 0; row < 60; ++row) {
        const QList<QByteArray> fields = lines[row].split(',');
        QCOMPARE(fields[0].toInt(), set.parameters[parameterAtWorkbookRow(row + 1)]);
        if (row < 8)
            for (int c = 0; c < 8; ++c)
                QCOMPARE(fields[2 + c].toInt(), set.cells[8 * row + c + 1]);
    }
}

void TestWorkbook::filesTheSpreadsheetProgramWrites()
{
    const QString ssconvert = QStandardPaths::findExecutable("ssconvert");
    if (ssconvert.isEmpty()) QSKIP("ssconvert (gnumeric) is not installed");
    const auto convert = [&](const QByteArray& csvText, const char* name) {
        QFile csv(path("in.csv"));
        csv.open(QIODevice::WriteOnly);
        csv.write(csvText);
        csv.close();
        QProcess p;
        p.start(ssconvert, {"--export-type=Gnumeric_Excel:excel_biff8", path("in.csv"), path(name)});
        p.waitForFinished(60000);
        return readWorkbookFile(path(name));
    };
    QByteArray good;
    for (int row = 1; row <= 60; ++row) {
        QByteArray line = QByteArray::number(row * 10);
        if (row == 2) line = "2.5";
        if (row == 3) line = "3.5";
        if (row == 4) line = "";
        if (row == 5) line = "\"=6*7\"";
        if (row <= 8) line += ",x," + QByteArray("1,2,3,4,5,6,7,") + QByteArray::number(200 + row);
        good += line + "\n";
    }
    auto result = convert(good, "good.xls");
    if (auto* problem = std::get_if<WorkbookProblem>(&result))
        QFAIL(qPrintable(workbookProblemText(*problem, Language::English)));
    const VehicleSet set = std::get<VehicleSet>(result);
    QCOMPARE(set.parameters[1], 10);
    QCOMPARE(set.parameters[2], 2);
    QCOMPARE(set.parameters[3], 4);
    QCOMPARE(set.parameters[4], 0);
    QCOMPARE(set.parameters[5], 42);
    QCOMPARE(set.parameters[28], 290); // row 29 holds parameter 28
    QCOMPARE(set.parameters[29], 280);
    QCOMPARE(set.cells[8], 201);
    QCOMPARE(set.cells[64], 208);

    // a word in the block is refused and named
    QByteArray word = good;
    word.replace("450\n", "ottanta\n");
    result = convert(word, "word.xls");
    QVERIFY(std::holds_alternative<WorkbookProblem>(result));
    QCOMPARE(std::get<WorkbookProblem>(result).kind, WorkbookProblem::Kind::TextInCell);
    QCOMPARE(std::get<WorkbookProblem>(result).cell, QString("A45"));
    QCOMPARE(std::get<WorkbookProblem>(result).parameterId, 45);
}

void TestWorkbook::secondSheetNamesTheRows()
{
    const VehicleSet set = sampleSet(14);
    const QByteArray plain = buildWorkbookStream(set);
    const QByteArray named = buildWorkbookStream(set, Language::English);
    // the vehicle's sheet is the same byte for byte; only the globals name one more sheet
    const QByteArray vehicleSheet = plain.mid(firstSheetOffset(plain));
    QCOMPARE(named.mid(firstSheetOffset(named), vehicleSheet.size()), vehicleSheet);
    QVERIFY(named.size() > plain.size() + vehicleSheet.size());
    QVERIFY(!writeWorkbookFile(path("named.xls"), set, Language::English));
    auto read = readWorkbookFile(path("named.xls"));
    QVERIFY(std::holds_alternative<VehicleSet>(read));
    QCOMPARE(std::get<VehicleSet>(read), set);

    const QString ssconvert = QStandardPaths::findExecutable("ssconvert");
    if (ssconvert.isEmpty()) QSKIP("ssconvert (gnumeric) is not installed");
    const auto run = [&](const QStringList& arguments) {
        QProcess p;
        p.start(ssconvert, arguments);
        return p.waitForFinished(60000) && p.exitCode() == 0 && p.readAllStandardError().trimmed().isEmpty();
    };
    QVERIFY(!writeWorkbookFile(path("plain.xls"), set));
    QVERIFY(run({path("plain.xls"), path("plain.csv")}));
    QVERIFY(run({"-S", path("named.xls"), path("sheet%n.csv")}));
    const auto linesOf = [this](const char* name) {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))
                                           : QStringList();
    };
    QCOMPARE(linesOf("sheet0.csv"), linesOf("plain.csv"));
    // the spreadsheet program quotes a text with blanks: its words are what counts here
    const QStringList names = linesOf("sheet1.csv").replaceInStrings(QStringLiteral("\""), QString());
    QCOMPARE(names.size(), 61); // 60 rows and the end of the last line
    QCOMPARE(names[0],
             QString("Number of injectors,,1,Columns C..J: KGB table, TINJ row 1 (RPM columns 1..8)"));
    QCOMPARE(
        names[3],
        QString(
            "OXYGEN SENSOR1 - Lean threshold,mV,4,Columns C..J: KGB table, TINJ row 4 (RPM columns 1..8)"));
    QCOMPARE(names[27], QString("Calibration pressure,mbar,29,"));
    QCOMPARE(names[28], QString("Calibration temperature,°C,28,"));
    QCOMPARE(names[59], QString("START filter,ms,60,"));

    // the spreadsheet program's own two-sheet file: its first sheet is the vehicle
    QVERIFY(run({"--export-type=Gnumeric_Excel:excel_biff8", path("named.xls"), path("resaved.xls")}));
    read = readWorkbookFile(path("resaved.xls"));
    QVERIFY(std::holds_alternative<VehicleSet>(read));
    QCOMPARE(std::get<VehicleSet>(read), set);
}

void TestWorkbook::problemTexts()
{
    const WorkbookProblem p{WorkbookProblem::Kind::CellOutOfRange, "J8", "%1 300"};
    QCOMPARE(workbookProblemText(p, Language::English), QString("Table cell J8 is outside 0..255: %1 300"));
    QVERIFY(workbookProblemText(p, Language::Italian).startsWith("La cella J8"));
    QVERIFY(workbookProblemText(p, Language::Turkish).startsWith("Tablo hucresi J8"));
    // a parameter's cell names the parameter too, the file's value going in last
    const WorkbookProblem q{WorkbookProblem::Kind::ParameterOutOfRange, "A28", "%1 70000", 29};
    QCOMPARE(
        workbookProblemText(q, Language::English),
        QString(
            "Calibration pressure (parameter 29): The parameter in cell A28 is outside 0..65535: %1 70000"));
    QCOMPARE(cellAddress(0, 0), QString("A1"));
    QCOMPARE(cellAddress(59, 0), QString("A60"));
    QCOMPARE(cellAddress(0, 26), QString("AA1"));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "test_workbook.moc"
