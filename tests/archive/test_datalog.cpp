// The datalog file: what the writer puts down reads back the same, in any of the languages;
// damaged, foreign and cut files are told apart; a full disk is noticed.
#include "archive/datalog.h"

#include "support/file_size_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestDatalog : public QObject {
    Q_OBJECT
private slots:
    void roundTripInEveryLanguage();
    void neverWritesOverAnExistingFile();
    void cutMidRowReadsUpToTheLastWholeRow();
    void foreignFilesAreRefused();
    void fullDiskIsReported();
    void fullDiskAtStartLeavesNoFile();
    void unpluggedSensorsAreEmptyCells();
    void quittingWhileRecordingKeepsTheRows();

private:
    QTemporaryDir dir;
};

void TestDatalog::roundTripInEveryLanguage()
{
    for (DatalogSource source : {DatalogSource::Status, DatalogSource::Calibration}) {
        for (Language language : {Language::Italian, Language::English, Language::Turkish}) {
            const QString path = dir.filePath(
                QStringLiteral("rt_%1_%2.csv").arg(static_cast<int>(source)).arg(static_cast<int>(language)));
            DatalogWriter writer;
            QCOMPARE(writer.open(path, source, language), DatalogWriter::Result::Ok);
            const size_t columns = datalogChannels(source).size();
            std::vector<int> row(columns);
            for (int r = 0; r < 50; ++r) {
                for (size_t c = 0; c < columns; ++c)
                    row[c] = r * 100 - static_cast<int>(c) * 7 - 40; // negatives too (temperature 2)
                writer.append(r * 300 + (r == 49 ? 2'000'000'000LL : 0), row);
                if (r == 20) QVERIFY(writer.flush());
            }
            QVERIFY(writer.close());

            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = file.readAll().split('\n');
            // the header speaks the recording user's language and names units
            QVERIFY(lines[1].startsWith(datalogTimeTitle(language).toUtf8() + ','));
            QVERIFY(QString::fromUtf8(lines[1]).contains(
                datalogColumnTitle(datalogChannels(source)[0], language)));

            const Datalog log = readDatalog(path);
            QCOMPARE(log.status, Datalog::Status::Ok);
            QCOMPARE(log.source, source);
            QCOMPARE(log.rowCount(), 50);
            QCOMPARE(log.timesMs[49], 49 * 300 + 2'000'000'000.0);
            for (size_t c = 0; c < columns; ++c)
                QCOMPARE(log.values[c][33], 3300.0 - static_cast<double>(c) * 7 - 40);
        }
    }
}

void TestDatalog::neverWritesOverAnExistingFile()
{
    const QString path = dir.filePath(QStringLiteral("taken.csv"));
    DatalogWriter first;
    QCOMPARE(first.open(path, DatalogSource::Status, Language::Italian), DatalogWriter::Result::Ok);
    first.append(0, std::vector<int>(datalogChannels(DatalogSource::Status).size(), 1));
    QVERIFY(first.close());
    DatalogWriter second;
    QCOMPARE(second.open(path, DatalogSource::Status, Language::English), DatalogWriter::Result::Exists);
    QCOMPARE(readDatalog(path).rowCount(), 1);
    QCOMPARE(second.open(dir.filePath(QStringLiteral("no/such/folder.csv")), DatalogSource::Status,
                         Language::English),
             DatalogWriter::Result::Failed);
}

void TestDatalog::cutMidRowReadsUpToTheLastWholeRow()
{
    const QString path = dir.filePath(QStringLiteral("cut.csv"));
    DatalogWriter writer;
    QCOMPARE(writer.open(path, DatalogSource::Calibration, Language::English), DatalogWriter::Result::Ok);
    const std::vector<int> row(datalogChannels(DatalogSource::Calibration).size(), 1234);
    for (int r = 0; r < 10; ++r)
        writer.append(r * 300, row);
    QVERIFY(writer.close());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();

    // cut anywhere inside the last row, even right after a digit that makes a plausible number
    const qsizetype lastRow = whole.lastIndexOf('\n', whole.size() - 2) + 1;
    for (qsizetype cut : {lastRow + 1, lastRow + 6, whole.size() - 2, whole.size() - 1}) {
        const Datalog log = parseDatalog(whole.left(cut));
        QCOMPARE(log.status, Datalog::Status::Truncated);
        QCOMPARE(log.rowCount(), 9);
        QCOMPARE(log.values[0][8], 1234.0);
    }
    // a whole row that is not ours ends the reading there, and is told apart from a cut
    QByteArray damaged = whole;
    damaged.replace(lastRow - 10, 4, "x,?,");
    const Datalog d = parseDatalog(damaged);
    QCOMPARE(d.status, Datalog::Status::Damaged);
    QCOMPARE(d.rowCount(), 8);
    QCOMPARE(d.damagedRow, 9);
    QByteArray backwards = whole;
    backwards.replace(lastRow, 4, "0000"); // 2700 ms back to 0
    QCOMPARE(parseDatalog(backwards).status, Datalog::Status::Damaged);
    QCOMPARE(parseDatalog(backwards).rowCount(), 9);
    QCOMPARE(parseDatalog(backwards).damagedRow, 10);
    const qsizetype firstRow = whole.indexOf('\n', whole.indexOf('\n') + 1) + 1;
    for (const char* time : {"-5", ""}) {
        QByteArray bad = whole;
        bad.replace(firstRow, 1, time); // "0" of the first row
        QCOMPARE(parseDatalog(bad).status, Datalog::Status::Damaged);
        QCOMPARE(parseDatalog(bad).rowCount(), 0);
    }
    QCOMPARE(parseDatalog(whole).status, Datalog::Status::Ok);
    // a spreadsheet that saved it with Windows line ends
    QByteArray crlf = whole;
    crlf.replace("\n", "\r\n");
    QCOMPARE(parseDatalog(crlf).rowCount(), 10);
}

void TestDatalog::foreignFilesAreRefused()
{
    QFile file(dir.filePath(QStringLiteral("full.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QByteArray good;
    {
        DatalogWriter writer;
        const QString path = dir.filePath(QStringLiteral("good.csv"));
        QCOMPARE(writer.open(path, DatalogSource::Status, Language::Turkish), DatalogWriter::Result::Ok);
        QVERIFY(writer.close());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        good = f.readAll();
    }
    const QByteArray header = good.mid(good.indexOf('\n') + 1);
    const QByteArray foreign[] = {
        QByteArray(),
        QByteArray("time,rpm,lambda\n0,800,450\n"),
        QByteArray("ORVANE datalog,1,status\n"),               // no header
        QByteArray("ORVANE datalog,2,status\n") + header,      // a version we do not know
        QByteArray("ORVANE datalog,1,eol\n") + header,         // a window that records nothing
        QByteArray("ORVANE datalog,1,calibration\n") + header, // columns of another window
        QByteArray("ORVANE datalog,1,status\n") + QByteArray(header).replace("Lambda1", "Lambda9"),
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11),
    };
    for (const QByteArray& bytes : foreign)
        QCOMPARE(parseDatalog(bytes).status, Datalog::Status::NotDatalog);
    QCOMPARE(parseDatalog(good).status, Datalog::Status::Ok);
    QCOMPARE(parseDatalog(good).rowCount(), 0);
    QCOMPARE(readDatalog(dir.filePath(QStringLiteral("missing.csv"))).status, Datalog::Status::Unreadable);
}

void TestDatalog::fullDiskIsReported()
{
    if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
    DatalogWriter writer;
    QCOMPARE(writer.open(QStringLiteral("/dev/full"), DatalogSource::Status, Language::Italian),
             DatalogWriter::Result::Failed);
    QCOMPARE(writer.errorText(Language::Italian), QStringLiteral("disco pieno"));
    QVERIFY(!writer.isOpen());

    // filling up later: the rows already on disk stay whole, and their count is known
    const QString path = dir.filePath(QStringLiteral("filling.csv"));
    DatalogWriter filling;
    QCOMPARE(filling.open(path, DatalogSource::Status, Language::Turkish), DatalogWriter::Result::Ok);
    const std::vector<int> row(datalogChannels(DatalogSource::Status).size(), 1234);
    for (int r = 0; r < 5; ++r)
        filling.append(r * 300, row);
    QVERIFY(filling.flush());
    {
        FileSizeLimit limit(QFileInfo(path).size() + 300);
        QVERIFY(limit.ok());
        for (int r = 5; r < 50; ++r)
            filling.append(r * 300, row);
        QVERIFY(!filling.flush());
    }
    QCOMPARE(filling.errorText(Language::English), QStringLiteral("disk full"));
    QCOMPARE(filling.savedRows(), 5);
    QVERIFY(!filling.close());
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), 5);
}

void TestDatalog::fullDiskAtStartLeavesNoFile()
{
    const QString path = dir.filePath(QStringLiteral("no_room.csv"));
    DatalogWriter writer;
    {
        FileSizeLimit limit(20); // not even the header fits
        QVERIFY(limit.ok());
        QCOMPARE(writer.open(path, DatalogSource::Calibration, Language::English),
                 DatalogWriter::Result::Failed);
    }
    QCOMPARE(writer.errorText(Language::Turkish), QStringLiteral("disk dolu"));
    QVERIFY(!QFile::exists(path));

    // with room, the header is on disk before the first row: a datalog with no rows yet
    QCOMPARE(writer.open(path, DatalogSource::Calibration, Language::English), DatalogWriter::Result::Ok);
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), 0);
}

void TestDatalog::unpluggedSensorsAreEmptyCells()
{
    const QString path = dir.filePath(QStringLiteral("nc.csv"));
    DatalogWriter writer;
    QCOMPARE(writer.open(path, DatalogSource::Status, Language::Italian), DatalogWriter::Result::Ok);
    const size_t columns = datalogChannels(DatalogSource::Status).size();
    std::vector<int> row(columns, 5);
    row.front() = kDatalogNoValue;
    row.back() = kDatalogNoValue;
    row[3] = kDatalogNoValue;
    writer.append(0, row);
    writer.append(300, std::vector<int>(columns, kDatalogNoValue));
    QVERIFY(writer.close());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines[2].startsWith("0,,5,5,,5"));
    QVERIFY(lines[2].endsWith(",5,"));
    QCOMPARE(lines[3], "300" + QByteArray(static_cast<int>(columns), ','));

    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), 2);
    QVERIFY(std::isnan(log.values[0][0]));
    QCOMPARE(log.values[1][0], 5.0);
    QVERIFY(std::isnan(log.values[3][0]));
    QVERIFY(std::isnan(log.values[columns - 1][0]));
    for (size_t c = 0; c < columns; ++c)
        QVERIFY(std::isnan(log.values[c][1]));
}

void TestDatalog::quittingWhileRecordingKeepsTheRows()
{
    const QString path = dir.filePath(QStringLiteral("quit.csv"));
    {
        DatalogWriter writer;
        QCOMPARE(writer.open(path, DatalogSource::Status, Language::English), DatalogWriter::Result::Ok);
        for (int r = 0; r < 3; ++r)
            writer.append(r * 300, std::vector<int>(datalogChannels(DatalogSource::Status).size(), r));
    }
    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), 3);
}

QTEST_GUILESS_MAIN(TestDatalog)
#include "test_datalog.moc"
