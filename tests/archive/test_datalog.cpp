// The datalog file: what the writer puts down reads back the same, in any of the languages, and a
// spreadsheet program opens it as it is; damaged rows are skipped and counted, foreign and cut
// files are told apart; a full disk is noticed.
#include "archive/datalog.h"

#include "support/file_size_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

int column(DatalogSource source, std::string_view key)
{
    const auto channels = datalogChannels(source);
    for (size_t c = 0; c < channels.size(); ++c)
        if (key == channels[c].key) return static_cast<int>(c);
    qFatal("no column %s", key.data());
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One line of CSV as a spreadsheet program writes it: quoted cells may hold separators and "".
QStringList csvFields(const QByteArray& line)
{
    QStringList fields{QString()};
    bool quoted = false;
    const QString text = QString::fromUtf8(line);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
            fields.last() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields << QString();
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

} // namespace

class TestDatalog : public QObject {
    Q_OBJECT
private slots:
    void roundTripInEveryLanguage();
    void headerOnLineOneOpensInGnumeric();
    void markersAndEqualTimesReadBackWhole();
    void damagedRowsAreSkippedAndCounted();
    void firstVersionFilesStillRead();
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
            QVERIFY(lines[0].startsWith(datalogTimeTitle(language).toUtf8() + ','));
            QVERIFY(QString::fromUtf8(lines[0]).contains(
                datalogColumnTitle(datalogChannels(source)[0], language)));

            const Datalog log = readDatalog(path);
            QCOMPARE(log.status, Datalog::Status::Ok);
            QCOMPARE(log.source, source);
            QCOMPARE(log.rowCount(), 50);
            QCOMPARE(log.timesMs[49], 49 * 300 + 2'000'000'000.0);
            for (size_t c = 0; c < columns; ++c)
                if (!log.channels[c].text)
                    QCOMPARE(log.values[c][33], 3300.0 - static_cast<double>(c) * 7 - 40);
        }
    }
}

void TestDatalog::headerOnLineOneOpensInGnumeric()
{
    const QString path = dir.filePath(QStringLiteral("gnumeric.csv"));
    DatalogWriter writer;
    DatalogInfo info;
    info.port = QStringLiteral("/dev/ttyUSB0");
    info.ecuVersion = QStringLiteral("1.4.3");
    info.rpmAxis = std::array<int, 8>{800, 1200, 1600, 2000, 2500, 3000, 3500, 4000};
    std::array<int, 64> table{};
    for (int k = 0; k < 64; ++k)
        table[static_cast<size_t>(k)] = 100 + k;
    info.table = table;
    QCOMPARE(writer.open(path, DatalogSource::Calibration, Language::Italian, info),
             DatalogWriter::Result::Ok);
    const size_t columns = datalogChannels(DatalogSource::Calibration).size();
    std::vector<int> row(columns, 7);
    const QString texts[] = {QStringLiteral("B->G ATTESA TEMPERATURA  45"),
                             QStringLiteral("1, \"dopo\" la curva")};
    writer.append(0, row, texts);
    writer.append(300, row);
    QVERIFY(writer.close());

    // what the file is lives beside it; line 1 is the header
    const QByteArray bytes = contents(path);
    QVERIFY(bytes.startsWith("Tempo ms,Lambda1 mV,"));
    QVERIFY(QString::fromUtf8(bytes).contains(QStringLiteral(",Tinj raw,")));
    QVERIFY(!bytes.contains("msec"));
    const QMap<QString, QString> about = readDatalogInfo(path);
    QCOMPARE(datalogInfoPath(path), dir.filePath(QStringLiteral("gnumeric.info.txt")));
    QCOMPARE(about.value(QStringLiteral("source")), QStringLiteral("calibration"));
    QCOMPARE(about.value(QStringLiteral("port")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(about.value(QStringLiteral("ecuVersion")), QStringLiteral("1.4.3"));
    QCOMPARE(about.value(QStringLiteral("rpmAxis")),
             QStringLiteral("800,1200,1600,2000,2500,3000,3500,4000"));
    QCOMPARE(about.value(QStringLiteral("table8")), QStringLiteral("156,157,158,159,160,161,162,163"));
    QVERIFY(!about.contains(QStringLiteral("tinjAxis")));
    // a second recording under the same name is refused while either file is there
    QFile::remove(path);
    QCOMPARE(writer.open(path, DatalogSource::Status, Language::Italian), DatalogWriter::Result::Exists);
    QVERIFY(!QFile::exists(path));
    QFile restored(path);
    QVERIFY(restored.open(QIODevice::WriteOnly));
    restored.write(bytes);
    restored.close();

    const QString ssconvert = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    if (ssconvert.isEmpty()) QSKIP("ssconvert (gnumeric) is not installed");
    const QString out = dir.filePath(QStringLiteral("gnumeric_out.csv"));
    QProcess convert;
    convert.start(ssconvert, {path, out});
    QVERIFY(convert.waitForFinished(60000));
    QCOMPARE(convert.exitCode(), 0);
    const QList<QByteArray> lines = contents(out).split('\n');
    // Gnumeric took line 1 as the column names, every column apart, and the text cells whole
    QStringList header{datalogTimeTitle(Language::Italian)};
    for (const DatalogChannel& c : datalogChannels(DatalogSource::Calibration))
        header << datalogColumnTitle(c, Language::Italian);
    QCOMPARE(csvFields(lines[0]), header);
    const QStringList first = csvFields(lines[1]);
    QCOMPARE(first.size(), header.size());
    QCOMPARE(first[0], QStringLiteral("0"));
    QCOMPARE(first[1 + column(DatalogSource::Calibration, "ecuStateName")], texts[0]);
    QCOMPARE(first.last(), texts[1]);
    QCOMPARE(csvFields(lines[2]).value(0), QStringLiteral("300"));
}

void TestDatalog::markersAndEqualTimesReadBackWhole()
{
    const QString path = dir.filePath(QStringLiteral("markers.csv"));
    DatalogWriter writer;
    QCOMPARE(writer.open(path, DatalogSource::Status, Language::English), DatalogWriter::Result::Ok);
    const size_t columns = datalogChannels(DatalogSource::Status).size();
    std::vector<int> row(columns, 1);
    // two replies in the same millisecond, and markers with a separator and quotes in them
    writer.append(0, row, std::vector<QString>{QString(), QStringLiteral("1")});
    row[0] = 2;
    writer.append(0, row, std::vector<QString>{QStringLiteral("P->G WAITING OVERLAP TIME"), QString()});
    row[0] = 3;
    writer.append(300, row,
                  std::vector<QString>{QString(), QStringLiteral("Change-over, \"petrol\" -> gas")});
    QVERIFY(writer.close());

    const Datalog log = readDatalog(path);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.rowCount(), 3);
    QCOMPARE(log.timesMs[1], 0.0);
    QCOMPARE(log.values[0][1], 2.0);
    QCOMPARE(log.values[0][2], 3.0);
    QVERIFY(std::isnan(log.values[static_cast<size_t>(column(DatalogSource::Status, "ecuStateName"))][1]));
    QCOMPARE(log.values[static_cast<size_t>(column(DatalogSource::Status, "fuel"))][2], 1.0);
    QCOMPARE(log.markers.size(), size_t(2));
    QCOMPARE(log.markers[0].row, 0);
    QCOMPARE(log.markers[0].text, QStringLiteral("1"));
    QCOMPARE(log.markers[1].row, 2);
    QCOMPARE(log.markers[1].timeMs, 300.0);
    QCOMPARE(log.markers[1].text, QStringLiteral("Change-over, \"petrol\" -> gas"));
}

void TestDatalog::damagedRowsAreSkippedAndCounted()
{
    const QString path = dir.filePath(QStringLiteral("middle.csv"));
    DatalogWriter writer;
    QCOMPARE(writer.open(path, DatalogSource::Status, Language::Turkish), DatalogWriter::Result::Ok);
    const size_t columns = datalogChannels(DatalogSource::Status).size();
    for (int r = 0; r < 100; ++r)
        writer.append(r * 300, std::vector<int>(columns, r),
                      std::vector<QString>{QString(), QString::number(r)});
    QVERIFY(writer.close());
    QList<QByteArray> lines = contents(path).split('\n');
    lines[11].replace(",10,", ",99999999999999999999999,");   // a number out of range: row 11
    lines[31] = "9000000,1,2";                                // a row cut short in the middle: row 31
    lines[51].replace(0, lines[51].indexOf(','), "99999999"); // a time far ahead: row 51
    lines[71].replace(0, lines[71].indexOf(','), "3");        // a time back: row 71
    const Datalog log = parseDatalog(lines.join('\n'));
    QCOMPARE(log.status, Datalog::Status::Damaged);
    QCOMPARE(log.skippedRows, 4);
    QCOMPARE(log.firstSkippedRow, 11);
    QCOMPARE(log.rowCount(), 96);
    QCOMPARE(log.values[0][10], 11.0); // the rows after each damaged one are there
    QCOMPARE(log.values[0].back(), 99.0);
    QCOMPARE(log.markers.size(), size_t(96));
    QCOMPARE(log.markers[10].text, QStringLiteral("11"));
    QCOMPARE(log.markers[10].row, 10);
}

void TestDatalog::firstVersionFilesStillRead()
{
    // as the first version wrote them: a signature line, then the header with its units
    const QByteArray old =
        "ORVANE datalog,1,calibration\n"
        "Time ms,Oxygen sensor1 mV,Oxygen sensor2 mV,Avg OS1 mV,Avg OS2 mV,RPM x min,Tinj msec,"
        "Tinj Gas msec,Tinj Petrol msec,Pressure1 mbar,Pressure2 mbar,Temperature1 °C,"
        "Temperature2 °C,KGB calibration,KGB being used,ECU state\n"
        "0,450,460,455,455,2000,700,,710,1100,10,80,35,105,105,0\n"
        "300,451,461,455,455,2010,705,,710,1100,10,80,35,105,105,0\n";
    const Datalog log = parseDatalog(old);
    QCOMPARE(log.status, Datalog::Status::Ok);
    QCOMPARE(log.source, DatalogSource::Calibration);
    QCOMPARE(log.rowCount(), 2);
    QCOMPARE(log.values[static_cast<size_t>(log.channelIndex("tinj"))][1], 705.0);
    QCOMPARE(log.channelIndex("fuel"), -1);
    QVERIFY(log.markers.empty());
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
    // a whole row that is not ours is skipped, and told apart from a cut
    QByteArray damaged = whole;
    damaged.replace(lastRow - 10, 4, "x,?,");
    const Datalog d = parseDatalog(damaged);
    QCOMPARE(d.status, Datalog::Status::Damaged);
    QCOMPARE(d.rowCount(), 9);
    QCOMPARE(d.skippedRows, 1);
    QCOMPARE(d.firstSkippedRow, 9);
    QByteArray backwards = whole;
    backwards.replace(lastRow, 4, "0000"); // 2700 ms back to 0
    QCOMPARE(parseDatalog(backwards).status, Datalog::Status::Damaged);
    QCOMPARE(parseDatalog(backwards).rowCount(), 9);
    QCOMPARE(parseDatalog(backwards).firstSkippedRow, 10);
    const qsizetype firstRow = whole.indexOf('\n') + 1;
    for (const char* time : {"-5", ""}) {
        QByteArray bad = whole;
        bad.replace(firstRow, 1, time); // "0" of the first row
        QCOMPARE(parseDatalog(bad).status, Datalog::Status::Damaged);
        QCOMPARE(parseDatalog(bad).rowCount(), 9);
        QCOMPARE(parseDatalog(bad).firstSkippedRow, 1);
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
    const QByteArray header = good;
    const QByteArray foreign[] = {
        QByteArray(),
        QByteArray("time,rpm,lambda\n0,800,450\n"),
        QByteArray("ORVANE datalog,1,status\n"),          // no header
        QByteArray("ORVANE datalog,2,status\n") + header, // a version that never had a signature
        QByteArray("ORVANE datalog,1,eol\n") + header,    // a window that records nothing
        QByteArray("ORVANE datalog,1,status\n") + header, // columns of another version
        QByteArray(header).replace("Lambda1", "Lambda9"),
        QByteArray(header).replace(",Isaret", ""), // a column short
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
    QVERIFY(lines[1].startsWith("0,,5,5,,5"));
    QVERIFY(lines[1].endsWith(",5,"));
    QCOMPARE(lines[2], "300" + QByteArray(static_cast<int>(columns), ','));

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
