// Mutated and truncated workbooks through the reader: each is refused or read, none crashes or
// hangs, and (under the sanitizers, with an allocation cap) none makes the reader allocate what
// the file does not hold.
#include "archive/workbook_file.h"
#include "biff_stream_builder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using B = BiffStreamBuilder;

class TestWorkbookRobustness : public QObject {
    Q_OBJECT
private slots:
    void mutatedFiles();
    void mutatedStreams();
    void damagedHeadersAndEnds();

private:
    QList<QByteArray> seeds(QTemporaryDir& dir);
};

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray mutate(QByteArray data, std::mt19937& random)
{
    auto below = [&random](qsizetype n) {
        return std::uniform_int_distribution<qsizetype>(0, std::max<qsizetype>(0, n - 1))(random);
    };
    switch (below(6)) {
    case 0: // a few random bytes
        for (int i = static_cast<int>(below(8)); i >= 0; --i)
            data[below(data.size())] = static_cast<char>(below(256));
        break;
    case 1: // cut short
        data.truncate(below(data.size()));
        break;
    case 2: // a run of 0xFF (sizes and sector numbers at their largest)
    {
        const qsizetype at = below(data.size());
        for (qsizetype i = at; i < std::min(data.size(), at + 1 + below(8)); ++i)
            data[i] = '\xff';
        break;
    }
    case 3: // bytes inserted
        data.insert(below(data.size()),
                    QByteArray(static_cast<int>(below(64)) + 1, static_cast<char>(below(256))));
        break;
    case 4: // a 16- or 32-bit field set to a large value
    {
        const qsizetype at = below(data.size() - 4);
        const quint32 v = std::uniform_int_distribution<quint32>()(random);
        for (int i = 0; i < 4 && at + i < data.size(); ++i)
            data[at + i] = static_cast<char>(v >> (8 * i));
        break;
    }
    default: // a block of the file zeroed
    {
        const qsizetype at = below(data.size());
        for (qsizetype i = at; i < std::min(data.size(), at + 512); ++i)
            data[i] = '\0';
        break;
    }
    }
    return data;
}

} // namespace

QList<QByteArray> TestWorkbookRobustness::seeds(QTemporaryDir& dir)
{
    QList<QByteArray> files;
    VehicleSet set;
    for (int id = 1; id <= 60; ++id)
        set.parameters[id] = id * 997 % 65536;
    for (int k = 1; k <= 64; ++k)
        set.cells[k] = k * 3;
    const QString ours = dir.filePath("ours.xls");
    writeWorkbookFile(ours, set);
    files << readAll(ours);

    // strings in a shared table run on over a CONTINUE
    const QByteArray sst1 = B::u32(2) + B::u32(2) + B::u16(3) + QByteArray(1, '\0') + "123" + B::u16(4) +
                            QByteArray(1, '\0') + "4";
    const QByteArray sst2 = QByteArray(1, '\x01') + QByteArray("5\0"
                                                               "6\0"
                                                               "7\0",
                                                               6);
    QByteArray sheet = B::rec(0x00FD, B::cell(0, 0) + B::u32(0)) + B::rec(0x00FD, B::cell(1, 0) + B::u32(1));
    const QString strings = dir.filePath("strings.xls");
    writeWorkbookStreamFile(strings, B().workbook({sst1, sst2}, sheet));
    files << readAll(strings);

    const QString ssconvert = QStandardPaths::findExecutable("ssconvert");
    if (!ssconvert.isEmpty()) {
        QFile csv(dir.filePath("in.csv"));
        csv.open(QIODevice::WriteOnly);
        for (int row = 1; row <= 60; ++row)
            csv.write(QByteArray::number(row) + (row < 9 ? ",a,1,2,3,4,5,6,7,8\n" : "\n"));
        csv.close();
        QProcess p;
        p.start(ssconvert,
                {"--export-type=Gnumeric_Excel:excel_biff8", dir.filePath("in.csv"), dir.filePath("gn.xls")});
        p.waitForFinished(60000);
        if (p.exitCode() == 0) files << readAll(dir.filePath("gn.xls"));
    }
    return files;
}

void TestWorkbookRobustness::mutatedFiles()
{
    QTemporaryDir dir;
    const QList<QByteArray> originals = seeds(dir);
    QVERIFY(!originals.isEmpty());
    std::mt19937 random(42);
    int read = 0;
    int refused = 0;
    qint64 slowest = 0;
    const QString path = dir.filePath("mutant.xls");
    for (int i = 0; i < 10'000; ++i) {
        const QByteArray data = mutate(originals[i % originals.size()], random);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        f.close();
        QElapsedTimer t;
        t.start();
        const auto result = readWorkbookFile(path);
        slowest = std::max(slowest, t.elapsed());
        if (std::holds_alternative<VehicleSet>(result))
            ++read;
        else
            ++refused;
    }
    qInfo("10000 mutated files: %d read, %d refused, slowest %lld ms", read, refused, slowest);
    QVERIFY(refused > 1000);
    QVERIFY(slowest < 5000);
}

void TestWorkbookRobustness::mutatedStreams()
{
    VehicleSet set;
    for (int id = 1; id <= 60; ++id)
        set.parameters[id] = id;
    const QByteArray stream = buildWorkbookStream(set);
    std::mt19937 random(7);
    int read = 0;
    for (int i = 0; i < 100'000; ++i)
        read += std::holds_alternative<VehicleSet>(parseWorkbookStream(mutate(stream, random)));
    QVERIFY(read > 0);
    QVERIFY(read < 100'000);
}

// A length byte that lies makes its record swallow the records after it, or leaves its tail to be
// read as records; a type byte that lies hides a cell: whatever comes of it, it must not load as
// other values (a lost cell reads as empty, 0). Every value of each of the four header bytes of
// every record of our own file, the length bytes swapped, the stream cut at every record, and a
// cell moved out of the sheet's dimensions.
void TestWorkbookRobustness::damagedHeadersAndEnds()
{
    VehicleSet set;
    for (int id = 1; id <= 60; ++id)
        set.parameters[id] = id * 997 % 65536;
    for (int k = 1; k <= 64; ++k)
        set.cells[k] = k * 3;
    const QByteArray stream = buildWorkbookStream(set);
    QStringList otherValues;
    // whether refused; notes the damage that loads as other values
    const auto check = [&](const QByteArray& damaged, const QString& what) {
        const auto result = parseWorkbookStream(damaged);
        const auto* read = std::get_if<VehicleSet>(&result);
        if (read && !(*read == set)) otherValues << what;
        return !read;
    };
    int records = 0;
    int tried = 0;
    int refused = 0;
    qsizetype lastCell = 0;
    for (qsizetype pos = 0; pos + 4 <= stream.size(); ++records) {
        const int type = static_cast<quint8>(stream[pos]) | (static_cast<quint8>(stream[pos + 1]) << 8);
        const int length = static_cast<quint8>(stream[pos + 2]) | (static_cast<quint8>(stream[pos + 3]) << 8);
        const QString where = QString("record %1 (type %2) at %3").arg(records).arg(type, 4, 16).arg(pos);
        if (type == 0x027E) lastCell = pos;
        QVERIFY2(check(stream.left(pos), where), "cut before a record, the stream loads");
        for (int at : {0, 1, 2, 3}) {
            for (int value = 0; value < 256; ++value) {
                if (static_cast<char>(value) == stream[pos + at]) continue;
                QByteArray damaged = stream;
                damaged[pos + at] = static_cast<char>(value);
                ++tried;
                refused += check(damaged, where + QString(": header byte %1 = %2").arg(at).arg(value));
            }
        }
        QByteArray swapped = stream;
        std::swap(swapped[pos + 2], swapped[pos + 3]);
        if (swapped != stream) {
            ++tried;
            refused += check(swapped, where + ": length bytes swapped");
        }
        pos += 4 + length;
    }
    QVERIFY2(otherValues.isEmpty(), qPrintable(otherValues.mid(0, 5).join('\n')));
    qInfo("%d records, %d damaged headers: %d refused, the others load unchanged", records, tried, refused);

    // the sheet's last cell (A60) moved to row 61, below the 60 rows its DIMENSIONS give
    QByteArray moved = stream;
    moved[lastCell + 4] = 60;
    const auto result = parseWorkbookStream(moved);
    QVERIFY(std::holds_alternative<WorkbookProblem>(result));
    QCOMPARE(std::get<WorkbookProblem>(result).kind, WorkbookProblem::Kind::Damaged);
}

QTEST_GUILESS_MAIN(TestWorkbookRobustness)
#include "test_workbook_robustness.moc"
