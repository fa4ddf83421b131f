#include "archive/biff_workbook.h"

#include "link/number_text.h"
#include "link/parameter_catalogue.h"
#include "link/parameter_labels.h"
#include "link/rounding.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// BIFF8 in brief: the "Workbook" stream is a sequence of records, each a 16-bit type, a 16-bit
// length and that many bytes, all little-endian. It opens with the workbook globals (BOF ...
// EOF) and then one substream per sheet (BOF ... EOF), found through the BOUNDSHEET records.

namespace {

constexpr int kParameterRows = kArchivedParameterCount; // A1:A60
constexpr int kTableFirstColumn = 2;                    // C
constexpr int kTableRows = 8;                           // rows 1..8
constexpr int kCellXf = 16;                             // the one cell XF, after the 16 style XFs

enum RecordType : quint16 {
    BOF = 0x0809,
    EOF_ = 0x000A,
    CODEPAGE = 0x0042,
    WINDOW1 = 0x003D,
    FONT = 0x0031,
    XF = 0x00E0,
    STYLE = 0x0293,
    BOUNDSHEET = 0x0085,
    SST = 0x00FC,
    EXTSST = 0x00FF,
    CONTINUE = 0x003C,
    DIMENSIONS = 0x0200,
    ROW = 0x0208,
    DBCELL = 0x00D7,
    WINDOW2 = 0x023E,
    NUMBER = 0x0203,
    RK = 0x027E,
    MULRK = 0x00BD,
    FORMULA = 0x0006,
    SHRFMLA = 0x04BC,
    ARRAY = 0x0221,
    TABLE = 0x0236,
    STRING = 0x0207,
    LABEL = 0x0204,
    LABELSST = 0x00FD,
    RSTRING = 0x00D6,
    BLANK = 0x0201,
    MULBLANK = 0x00BE,
    BOOLERR = 0x0205,
    FORMAT = 0x041E,
    COLINFO = 0x007D,
};

// ---------------------------------------------------------------------------------------------
// Writing

class RecordWriter {
public:
    void u8(int v) { body_.append(static_cast<char>(v & 0xFF)); }
    void u16(int v)
    {
        u8(v);
        u8(v >> 8);
    }
    void u32(quint32 v)
    {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    void bytes(const char* data, int n) { body_.append(data, n); }
    void latin1(const char* text) { body_.append(text); }

    // Ends the record being built: type, length, body.
    void end(quint16 type)
    {
        const QByteArray body = std::exchange(body_, QByteArray());
        stream_.append(static_cast<char>(type & 0xFF));
        stream_.append(static_cast<char>(type >> 8));
        stream_.append(static_cast<char>(body.size() & 0xFF));
        stream_.append(static_cast<char>(body.size() >> 8));
        stream_.append(body);
    }
    qsizetype size() const { return stream_.size(); }
    QByteArray& stream() { return stream_; }

private:
    QByteArray body_;
    QByteArray stream_;
};

// BOF: vers 0x0600 (BIFF8), dt (0x0005 globals, 0x0010 worksheet), rupBuild 0x0DBB,
// rupYear 0x07CC, bfh 0 (file history), sfo 0x00000006 (lowest BIFF version that read it).
void writeBof(RecordWriter& w, int dt)
{
    w.u16(0x0600);
    w.u16(dt);
    w.u16(0x0DBB);
    w.u16(0x07CC);
    w.u32(0);
    w.u32(6);
    w.end(BOF);
}

// The workbook globals; `boundsheetOffsetsAt` gets where each sheet's BOF offset is to be patched.
void writeGlobals(RecordWriter& w, const QStringList& sheetNames, std::vector<qsizetype>& boundsheetOffsetsAt)
{
    writeBof(w, 0x0005);
    // CODEPAGE: 1200, strings are UTF-16
    w.u16(1200);
    w.end(CODEPAGE);
    // WINDOW1: position 0,0, size 0x3A5C x 0x2328 twips, grbit 0x0038 (scroll bars and tabs
    // shown), active sheet 0, first tab 0, one sheet selected, tab ratio 600/1000
    w.u16(0);
    w.u16(0);
    w.u16(0x3A5C);
    w.u16(0x2328);
    w.u16(0x0038);
    w.u16(0);
    w.u16(0);
    w.u16(1);
    w.u16(600);
    w.end(WINDOW1);
    // FONT x5 (index 4 is never referenced in BIFF, programs still expect five): height 200
    // twips (10 pt), grbit 0, colour 0x7FFF (automatic), weight 400, no escapement, no
    // underline, family 0, charset 0, reserved, name "Arial" as cch, flags (0: 8-bit), chars
    for (int i = 0; i < 5; ++i) {
        w.u16(200);
        w.u16(0);
        w.u16(0x7FFF);
        w.u16(400);
        w.u16(0);
        w.u8(0);
        w.u8(0);
        w.u8(0);
        w.u8(0);
        w.u8(5);
        w.u8(0);
        w.latin1("Arial");
        w.end(FONT);
    }
    // XF x16 style records then one cell record, 20 bytes each: font, format 0 (General),
    // 0xFFF5 (locked, style XF, no parent) or 0x0001 (locked, parent XF 0), alignment 0x20
    // (bottom), rotation 0, indent 0, attribute flags (style: 0xF4 none taken from the parent;
    // cell: 0), no borders (two 32-bit words), pattern colours 0x20C0 (foreground 64,
    // background 65: automatic)
    for (int i = 0; i <= 16; ++i) {
        const bool style = i < 16;
        const int font = (i >= 1 && i <= 2) ? 1 : (i >= 3 && i <= 4) ? 2 : 0;
        w.u16(font);
        w.u16(0);
        w.u16(style ? 0xFFF5 : 0x0001);
        w.u8(0x20);
        w.u8(0);
        w.u8(0);
        w.u8(style && i > 0 ? 0xF4 : 0);
        w.u32(0);
        w.u32(0);
        w.u16(0x20C0);
        w.end(XF);
    }
    // STYLE: built-in (0x8000 | XF 0), style 0 "Normal", outline level 0xFF
    w.u16(0x8000);
    w.u8(0);
    w.u8(0xFF);
    w.end(STYLE);
    // BOUNDSHEET per sheet: offset of the sheet's BOF (patched later), visible, worksheet, the
    // name's length, flags (0: 8-bit characters), the name
    for (const QString& name : sheetNames) {
        boundsheetOffsetsAt.push_back(w.size() + 4);
        const QByteArray latin1 = name.toLatin1();
        w.u32(0);
        w.u8(0);
        w.u8(0);
        w.u8(static_cast<int>(latin1.size()));
        w.u8(0);
        w.latin1(latin1.constData());
        w.end(BOUNDSHEET);
    }
    // SST: no strings (total 0, unique 0); EXTSST: 8 strings per bucket, no buckets
    w.u32(0);
    w.u32(0);
    w.end(SST);
    w.u16(8);
    w.end(EXTSST);
    w.end(EOF_);
}

// RK: row, column, XF, and the value as a 30-bit integer shifted left by 2 with bit 1 set
// (bit 0 clear: not divided by 100). Every value of the set fits.
void writeRk(RecordWriter& w, int row, int column, int value)
{
    w.u16(row);
    w.u16(column);
    w.u16(kCellXf);
    w.u32((static_cast<quint32>(value) << 2) | 0x2);
    w.end(RK);
}

// NUMBER: row, column, XF, IEEE double; for a value too large for an RK.
void writeNumber(RecordWriter& w, int row, int column, double value)
{
    w.u16(row);
    w.u16(column);
    w.u16(kCellXf);
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    w.u32(static_cast<quint32>(bits & 0xFFFFFFFFu));
    w.u32(static_cast<quint32>(bits >> 32));
    w.end(NUMBER);
}

void writeCell(RecordWriter& w, int row, int column, int value)
{
    if (value >= -(1 << 29) && value < (1 << 29))
        writeRk(w, row, column, value);
    else
        writeNumber(w, row, column, value);
}

// LABEL: row, column, XF, the text as a 16-bit count, flags 0x01 (16-bit characters), characters
void writeLabel(RecordWriter& w, int row, int column, const QString& text)
{
    w.u16(row);
    w.u16(column);
    w.u16(kCellXf);
    w.u16(static_cast<int>(text.size()));
    w.u8(0x01);
    for (const QChar c : text)
        w.u16(c.unicode());
    w.end(LABEL);
}

// Blocks of 32 rows as Excel writes them: the block's ROW records, its cells row by row, left to
// right, and a DBCELL. Closed in so, no cell record can lose its type unnoticed by a reader that
// takes a foreign record inside the cell table for damage. `columnsOf(row)` is the row's last
// column + 1; `writeRow(row)` writes its cells.
void writeCellTable(RecordWriter& w, int rows, const std::function<int(int)>& columnsOf,
                    const std::function<void(int)>& writeRow)
{
    for (int first = 0; first < rows; first += 32) {
        const int end = std::min(first + 32, rows);
        const qsizetype firstRowRecord = w.size();
        for (int row = first; row < end; ++row) {
            // ROW: row, first column, last column + 1, default height 255 twips, two reserved
            // words, flags 0x0100 (always set), XF 15 (unused: the row has no format)
            w.u16(row);
            w.u16(0);
            w.u16(columnsOf(row));
            w.u16(0x00FF);
            w.u32(0);
            w.u16(0x0100);
            w.u16(15);
            w.end(ROW);
        }
        std::vector<qsizetype> firstCells;
        for (int row = first; row < end; ++row) {
            firstCells.push_back(w.size());
            writeRow(row);
        }
        // DBCELL: back to the first ROW record; each row's first cell, the first one counted from
        // the second ROW record, the others from the row before's
        w.u32(static_cast<quint32>(w.size() - firstRowRecord));
        qsizetype from = firstRowRecord + 4 + 16;
        for (const qsizetype cell : firstCells)
            w.u16(static_cast<int>(cell - std::exchange(from, cell)));
        w.end(DBCELL);
    }
}

// WINDOW2: grbit 0x00B6 (grid, headers, zeros, default grid colour, outline symbols) and, for the
// sheet shown when the file opens, 0x0600 (selected, shown in window); top row 0, left column 0,
// grid colour 64, zooms default
void writeWindow2(RecordWriter& w, bool shown)
{
    w.u16(shown ? 0x06B6 : 0x00B6);
    w.u16(0);
    w.u16(0);
    w.u32(64);
    w.u16(0);
    w.u16(0);
    w.u32(0);
    w.end(WINDOW2);
}

// The vehicle: parameters in column A, the table in C1:J8, nothing else.
void writeVehicleSheet(RecordWriter& w, const VehicleSet& set)
{
    writeBof(w, 0x0010);
    // DIMENSIONS: first row 0, last row + 1 (60), first column 0, last column + 1 (J = 10);
    // without it LibreOffice drops A1
    w.u32(0);
    w.u32(kParameterRows);
    w.u16(0);
    w.u16(kTableFirstColumn + 8);
    w.u16(0);
    w.end(DIMENSIONS);
    writeCellTable(
        w, kParameterRows, [](int row) { return row < kTableRows ? kTableFirstColumn + 8 : 1; },
        [&](int row) {
            writeCell(w, row, 0, set.parameters[parameterAtWorkbookRow(row + 1)]);
            if (row < kTableRows)
                for (int c = 0; c < 8; ++c)
                    writeCell(w, row, kTableFirstColumn + c, set.cells[8 * row + c + 1]);
        });
    writeWindow2(w, true);
    w.end(EOF_);
}

// What each row of the vehicle sheet holds, for a person: label, unit and parameter id in A..C,
// and beside the table's rows what their columns C..J are.
void writeRowNamesSheet(RecordWriter& w, Language language)
{
    static constexpr LocalText kTableRow{"Colonne C..J: tabella KGB, riga TINJ %1 (colonne RPM 1..8)",
                                         "Columns C..J: KGB table, TINJ row %1 (RPM columns 1..8)",
                                         "C..J sutunlari: KGB tablosu, TINJ satiri %1 (RPM sutunlari 1..8)"};
    constexpr int kColumns = 4; // A..D
    writeBof(w, 0x0010);
    // COLINFO: first and last column, width in 1/256 of a character, XF, no options, reserved;
    // wide enough for the labels and the table's line
    const int widths[kColumns] = {50, 8, 12, 60};
    for (int c = 0; c < kColumns; ++c) {
        w.u16(c);
        w.u16(c);
        w.u16(widths[c] * 256);
        w.u16(kCellXf);
        w.u16(0);
        w.u16(0);
        w.end(COLINFO);
    }
    w.u32(0);
    w.u32(kParameterRows);
    w.u16(0);
    w.u16(kColumns);
    w.u16(0);
    w.end(DIMENSIONS);
    writeCellTable(
        w, kParameterRows, [](int row) { return row < kTableRows ? kColumns : kColumns - 1; },
        [&](int row) {
            const int id = parameterAtWorkbookRow(row + 1);
            writeLabel(w, row, 0, parameterLabel(id, language));
            if (const QString unit = parameterUnit(id); !unit.isEmpty()) writeLabel(w, row, 1, unit);
            writeRk(w, row, 2, id);
            if (row < kTableRows) writeLabel(w, row, 3, kTableRow.in(language).arg(row + 1));
        });
    writeWindow2(w, false);
    w.end(EOF_);
}

} // namespace

QByteArray buildWorkbookStream(const VehicleSet& set, std::optional<Language> rowNames)
{
    static constexpr LocalText kRowNamesSheet{"Legenda", "Legend", "Aciklama"};
    QStringList sheets{QStringLiteral("Sheet1")};
    if (rowNames) sheets << kRowNamesSheet.in(*rowNames);
    RecordWriter w;
    std::vector<qsizetype> boundsheetOffsetsAt;
    writeGlobals(w, sheets, boundsheetOffsetsAt);
    const auto startSheet = [&](size_t sheet) {
        qToLittleEndian<quint32>(static_cast<quint32>(w.size()),
                                 w.stream().data() + boundsheetOffsetsAt[sheet]);
    };
    startSheet(0);
    writeVehicleSheet(w, set);
    if (rowNames) {
        startSheet(1);
        writeRowNamesSheet(w, *rowNames);
    }
    return w.stream();
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

struct Record {
    quint16 type = 0;
    QByteArrayView data;
    qsizetype offset = 0;
};

int u8At(QByteArrayView d, qsizetype i)
{
    return static_cast<quint8>(d[i]);
}
int u16At(QByteArrayView d, qsizetype i)
{
    return u8At(d, i) | (u8At(d, i + 1) << 8);
}
quint32 u32At(QByteArrayView d, qsizetype i)
{
    return static_cast<quint32>(u16At(d, i)) | (static_cast<quint32>(u16At(d, i + 2)) << 16);
}
double doubleAt(QByteArrayView d, qsizetype i)
{
    const quint64 bits = static_cast<quint64>(u32At(d, i)) | (static_cast<quint64>(u32At(d, i + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double rkValue(quint32 rk)
{
    double value;
    if (rk & 0x2) {
        value = static_cast<double>(static_cast<qint32>(rk) >> 2);
    } else {
        const quint64 bits = static_cast<quint64>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x1) ? value / 100.0 : value;
}

QString errorName(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#ERR%1").arg(code);
    }
}

struct Damage {
    QString what;
};

// Reads the bytes of a string record that may run on into CONTINUE records: at each new piece
// the characters restart with a flags byte saying whether they are 8- or 16-bit.
class PieceReader {
public:
    explicit PieceReader(std::vector<QByteArrayView> pieces) : pieces_(std::move(pieces)) {}

    bool atEnd()
    {
        skipEmpty();
        return piece_ >= pieces_.size();
    }
    int u8()
    {
        need(1);
        return u8At(pieces_[piece_], pos_++);
    }
    int u16()
    {
        const int lo = u8();
        return lo | (u8() << 8);
    }
    quint32 u32()
    {
        const quint32 lo = static_cast<quint32>(u16());
        return lo | (static_cast<quint32>(u16()) << 16);
    }
    void skip(quint64 n)
    {
        while (n > 0) {
            need(1);
            const quint64 here = std::min<quint64>(n, static_cast<quint64>(pieces_[piece_].size() - pos_));
            pos_ += static_cast<qsizetype>(here);
            n -= here;
        }
    }
    QString chars(int count, bool wide)
    {
        QString out;
        while (count > 0) {
            if (pos_ >= pieces_[piece_].size()) {
                ++piece_;
                pos_ = 0;
                if (piece_ >= pieces_.size()) throw Damage{QStringLiteral("string cut short")};
                wide = (u8At(pieces_[piece_], pos_++) & 0x01) != 0;
                continue;
            }
            const int width = wide ? 2 : 1;
            const qsizetype available = (pieces_[piece_].size() - pos_) / width;
            if (available == 0) throw Damage{QStringLiteral("character split between records")};
            const int take = static_cast<int>(std::min<qsizetype>(available, count));
            for (int i = 0; i < take; ++i) {
                out.append(wide ? QChar(static_cast<char16_t>(u16At(pieces_[piece_], pos_)))
                                : QChar(static_cast<char16_t>(u8At(pieces_[piece_], pos_))));
                pos_ += width;
            }
            count -= take;
        }
        return out;
    }

private:
    void skipEmpty()
    {
        while (piece_ < pieces_.size() && pos_ >= pieces_[piece_].size()) {
            ++piece_;
            pos_ = 0;
        }
    }
    void need(qsizetype)
    {
        skipEmpty();
        if (piece_ >= pieces_.size()) throw Damage{QStringLiteral("record cut short")};
    }

    std::vector<QByteArrayView> pieces_;
    size_t piece_ = 0;
    qsizetype pos_ = 0;
};

// A BIFF8 unicode string: count (8 or 16 bits), flags, [runs], [extension], characters, then
// the runs and extension bytes, which are skipped.
QString unicodeString(PieceReader& r, bool countIs16)
{
    const int count = countIs16 ? r.u16() : r.u8();
    const int flags = r.u8();
    const int runs = (flags & 0x08) ? r.u16() : 0;
    const quint32 extension = (flags & 0x04) ? r.u32() : 0;
    QString text = r.chars(count, (flags & 0x01) != 0);
    r.skip(4ull * static_cast<quint64>(runs));
    r.skip(extension);
    return text;
}

// Bytes a string without rich text or extension takes at `at`: count (8 or 16 bits), flags,
// characters; -1 when not even the count and flags are there.
qsizetype plainStringSize(QByteArrayView d, qsizetype at, bool countIs16)
{
    const qsizetype head = countIs16 ? 3 : 2;
    if (d.size() < at + head) return -1;
    const qsizetype count = countIs16 ? u16At(d, at) : u8At(d, at);
    return head + count * ((u8At(d, at + head - 1) & 0x01) ? 2 : 1);
}

// The records of a worksheet's cell table: rows, cells and the parts of formulas.
bool inCellTable(quint16 type)
{
    switch (type) {
    case ROW:
    case DBCELL:
    case NUMBER:
    case RK:
    case MULRK:
    case FORMULA:
    case SHRFMLA:
    case ARRAY:
    case TABLE:
    case STRING:
    case CONTINUE:
    case LABEL:
    case LABELSST:
    case RSTRING:
    case BLANK:
    case MULBLANK:
    case BOOLERR:
        return true;
    default:
        return false;
    }
}

struct CellValue {
    enum class Kind { Number, Text, Error, Logical } kind = Kind::Number;
    double number = 0.0;
    QString text;
};

// The word a number format shows instead of the number, when it is made of quoted words only:
// LibreOffice writes its logical format so, "TRUE";"TRUE";"FALSE" in the user's language, and
// calls it BOOLEAN inside.
std::optional<QString> wordShown(const QString& format, double value)
{
    if (format.compare(QLatin1String("BOOLEAN"), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(value != 0.0 ? "TRUE" : "FALSE");
    // positive; negative; zero, the later ones optional
    static const QRegularExpression words(QStringLiteral(R"re(^"([^"]*)"(?:;"([^"]*)")?(?:;"([^"]*)")?$)re"));
    const QRegularExpressionMatch m = words.match(format);
    if (!m.hasMatch()) return std::nullopt;
    if (value < 0.0 && m.hasCaptured(2)) return m.captured(2);
    if (value == 0.0 && m.hasCaptured(3)) return m.captured(3);
    return m.captured(1);
}

class StreamParser {
public:
    explicit StreamParser(QByteArrayView stream) : s_(stream) {}

    std::variant<VehicleSet, WorkbookProblem> parse();

private:
    bool readRecord(qsizetype& pos, Record& out)
    {
        if (pos >= s_.size()) return false;
        if (pos + 4 > s_.size()) throw Damage{QStringLiteral("record header cut short")};
        out.type = static_cast<quint16>(u16At(s_, pos));
        const int length = u16At(s_, pos + 2);
        if (pos + 4 + length > s_.size()) throw Damage{QStringLiteral("record cut short")};
        out.data = s_.sliced(pos + 4, length);
        out.offset = pos;
        pos += 4 + length;
        return true;
    }
    static void require(const Record& r, qsizetype length)
    {
        if (r.data.size() < length)
            throw Damage{QStringLiteral("record 0x%1 too short").arg(r.type, 4, 16, QLatin1Char('0'))};
    }
    bool fits(const Record& r) const;
    void requireFit(const Record& r) const
    {
        if (!fits(r))
            throw Damage{QStringLiteral("record 0x%1 of %2 bytes")
                             .arg(r.type, 4, 16, QLatin1Char('0'))
                             .arg(r.data.size())};
    }
    void readGlobals(qsizetype& pos);
    void readSheet(qsizetype pos);
    // The sheet's DIMENSIONS, when it has them: rows and columns from first to end (exclusive).
    struct Area {
        qsizetype firstRow, endRow, firstColumn, endColumn;
    };
    void place(int row, int column) const
    {
        if (used_ && (row < used_->firstRow || row >= used_->endRow || column < used_->firstColumn ||
                      column >= used_->endColumn))
            throw Damage{
                QStringLiteral("cell %1 outside the sheet's dimensions").arg(cellAddress(row, column))};
    }
    void clear(int row, int column)
    {
        place(row, column);
        cells_.erase({row, column});
    }
    // A number whose format shows it as a word is a logical, as the user sees it.
    CellValue number(double value, int xf) const
    {
        if (xf < static_cast<int>(xfFormats_.size())) {
            const auto format = formats_.find(xfFormats_[xf]);
            if (format != formats_.end())
                if (auto word = wordShown(format->second, value))
                    return {CellValue::Kind::Logical, 0.0, *word};
        }
        return {CellValue::Kind::Number, value, {}};
    }
    void keep(int row, int column, const CellValue& value)
    {
        place(row, column);
        const bool inBlock =
            (column == 0 && row < kParameterRows) ||
            (row < kTableRows && column >= kTableFirstColumn && column < kTableFirstColumn + 8);
        if (inBlock) cells_[{row, column}] = value;
    }
    QString byteString(QByteArrayView d, qsizetype at, bool countIs16)
    {
        // BIFF5: a count and 8-bit characters in the file's code page
        const int count = countIs16 ? u16At(d, at) : u8At(d, at);
        const qsizetype start = at + (countIs16 ? 2 : 1);
        if (start + count > d.size()) throw Damage{QStringLiteral("string cut short")};
        return QString::fromLatin1(d.sliced(start, count));
    }
    // The value of one cell of the block into `out` (an empty cell gives 0); `numbered` is set
    // when the cell held a number.
    std::optional<WorkbookProblem> take(int row, int column, long long min, long long max, int& out,
                                        bool* numbered = nullptr) const;

    QByteArrayView s_;
    bool biff8_ = true;
    std::vector<QString> sst_;
    std::vector<qsizetype> sheetOffsets_;
    std::optional<Area> used_;
    std::vector<int> xfFormats_;     // the number format of each XF, in order
    std::map<int, QString> formats_; // the FORMAT records' codes by number
    std::map<std::pair<int, int>, CellValue> cells_;
};

// A flipped length byte shows here, before its record swallows the records after it or leaves
// its own tail to be read as records.
bool StreamParser::fits(const Record& r) const
{
    const QByteArrayView d = r.data;
    const qsizetype n = d.size();
    const auto endsWithString = [&](qsizetype at, bool countIs16) {
        const qsizetype size = plainStringSize(d, at, countIs16);
        return size >= 0 && n == at + size;
    };
    // the records of one size, in BIFF8 and in BIFF5
    static constexpr struct {
        quint16 type;
        qsizetype biff8, biff5;
    } kFixed[] = {{BOF, 16, 8},         {EOF_, 0, 0},      {CODEPAGE, 2, 2}, {WINDOW1, 18, 18}, {XF, 20, 16},
                  {DIMENSIONS, 14, 10}, {WINDOW2, 18, 10}, {ROW, 16, 16},    {NUMBER, 14, 14},  {RK, 10, 10},
                  {LABELSST, 10, 10},   {BLANK, 6, 6},     {BOOLERR, 8, 8}};
    for (const auto& fixed : kFixed)
        if (fixed.type == r.type) return n == (biff8_ ? fixed.biff8 : fixed.biff5);
    switch (r.type) {
    case FORMULA:
        return n >= 22 && n >= 22 + u16At(d, 20);
    case MULRK:
        return n >= 12 && (n - 6) % 6 == 0 && u16At(d, n - 2) - u16At(d, 2) + 1 == (n - 6) / 6;
    case MULBLANK:
        return n >= 8 && (n - 6) % 2 == 0 && u16At(d, n - 2) - u16At(d, 2) + 1 == (n - 6) / 2;
    case EXTSST:
        return n >= 2 && (n - 2) % 8 == 0;
    case DBCELL: // rows come in blocks of 32 at most
        return n >= 4 && n % 2 == 0 && n <= 4 + 2 * 32;
    case LABEL:
        return biff8_ ? endsWithString(6, true) : n >= 8 && n == 8 + u16At(d, 6);
    // the name closes the record; BIFF5 names, without the flags byte, are not checked
    case FONT:
        return !biff8_ || endsWithString(14, false);
    case BOUNDSHEET:
        return !biff8_ || endsWithString(6, false);
    case FORMAT:
        return !biff8_ || endsWithString(2, true);
    case STYLE:
        return n >= 4 && ((u16At(d, 0) & 0x8000) ? n == 4 : (!biff8_ || endsWithString(2, true)));
    default:
        return true;
    }
}

void StreamParser::readGlobals(qsizetype& pos)
{
    Record r;
    if (!readRecord(pos, r) || r.type != BOF || r.data.size() < 4)
        throw WorkbookProblem{WorkbookProblem::Kind::NotAWorkbook, {}, {}};
    const int version = u16At(r.data, 0);
    if (u16At(r.data, 2) != 0x0005) throw WorkbookProblem{WorkbookProblem::Kind::NotAWorkbook, {}, {}};
    biff8_ = version >= 0x0600;
    requireFit(r);
    while (readRecord(pos, r)) {
        requireFit(r);
        if (r.type == EOF_) return;
        if (r.type == BOF) throw Damage{QStringLiteral("workbook globals without end")};
        if (r.type == BOUNDSHEET) {
            require(r, 6);
            const int sheetType = u8At(r.data, 5);
            if (sheetType == 0) sheetOffsets_.push_back(static_cast<qsizetype>(u32At(r.data, 0)));
        } else if (r.type == XF) {
            xfFormats_.push_back(u16At(r.data, 2));
        } else if (r.type == FORMAT) {
            require(r, 3);
            if (biff8_) {
                PieceReader reader({r.data.sliced(2)});
                formats_[u16At(r.data, 0)] = unicodeString(reader, true);
            } else {
                formats_[u16At(r.data, 0)] = byteString(r.data, 2, false);
            }
        } else if (r.type == SST && biff8_) {
            std::vector<QByteArrayView> pieces{r.data};
            qsizetype next = pos;
            Record c;
            while (readRecord(next, c) && c.type == CONTINUE) {
                pieces.push_back(c.data);
                pos = next;
            }
            PieceReader reader(pieces);
            reader.u32(); // total references
            const quint32 unique = reader.u32();
            // stops at the data's end whatever the count claims
            for (quint32 i = 0; i < unique && !reader.atEnd(); ++i)
                sst_.push_back(unicodeString(reader, true));
            if (!reader.atEnd()) throw Damage{QStringLiteral("string table longer than its strings")};
        }
    }
    throw Damage{QStringLiteral("workbook globals without end")};
}

void StreamParser::readSheet(qsizetype pos)
{
    Record r;
    int depth = 0;
    // the cell of a formula whose text result is still to come; row -1 for none (an optional pair
    // here makes gcc 12 warn of a maybe-uninitialized read in an optimised build)
    std::pair<int, int> formulaWaitingForString{-1, -1};
    const auto waitingForString = [&] { return formulaWaitingForString.first >= 0; };
    // Spreadsheet programs write the cell table in one piece; a cell record after it has ended
    // means a record in between lost its type.
    bool cellTableOpen = false;
    bool cellTableEnded = false;
    quint16 previous = 0;
    while (readRecord(pos, r)) {
        if (depth == 1 || r.type == BOF || r.type == EOF_) requireFit(r);
        // the formula's shared or array part may stand between it and its text result
        if (waitingForString() && r.type != STRING && r.type != SHRFMLA && r.type != ARRAY && r.type != TABLE)
            throw Damage{QStringLiteral("formula without its text result")};
        if (r.type == BOF) {
            ++depth;
            continue;
        }
        if (r.type == EOF_) {
            if (--depth <= 0) return;
            continue;
        }
        if (depth != 1) continue; // a chart or other substream inside the sheet
        const quint16 before = std::exchange(previous, r.type);
        if ((r.type == SHRFMLA || r.type == ARRAY || r.type == TABLE) && before != FORMULA)
            throw Damage{QStringLiteral("formula part without its formula")};
        if (inCellTable(r.type)) {
            if (cellTableEnded) throw Damage{QStringLiteral("cell record after the cell table")};
            cellTableOpen = true;
        } else {
            cellTableEnded = cellTableOpen;
        }
        if (r.type == STRING) {
            if (!waitingForString()) throw Damage{QStringLiteral("text result without its formula")};
            PieceReader reader({r.data});
            CellValue v{CellValue::Kind::Text, 0.0,
                        biff8_ ? unicodeString(reader, true) : byteString(r.data, 0, true)};
            keep(formulaWaitingForString.first, formulaWaitingForString.second, v);
            formulaWaitingForString = {-1, -1};
            continue;
        }
        switch (r.type) {
        case NUMBER:
            keep(u16At(r.data, 0), u16At(r.data, 2), number(doubleAt(r.data, 6), u16At(r.data, 4)));
            break;
        case RK:
            keep(u16At(r.data, 0), u16At(r.data, 2), number(rkValue(u32At(r.data, 6)), u16At(r.data, 4)));
            break;
        case MULRK: {
            const int row = u16At(r.data, 0);
            const int first = u16At(r.data, 2);
            const qsizetype count = (r.data.size() - 6) / 6;
            for (qsizetype i = 0; i < count; ++i)
                keep(row, first + static_cast<int>(i),
                     number(rkValue(u32At(r.data, 4 + 6 * i + 2)), u16At(r.data, 4 + 6 * i)));
            break;
        }
        case FORMULA: {
            const int row = u16At(r.data, 0);
            const int column = u16At(r.data, 2);
            if (u16At(r.data, 12) != 0xFFFF) {
                keep(row, column, number(doubleAt(r.data, 6), u16At(r.data, 4)));
                break;
            }
            switch (u8At(r.data, 6)) {
            case 0: // the text follows in a STRING record
                formulaWaitingForString = {row, column};
                keep(row, column, {CellValue::Kind::Text, 0.0, {}});
                break;
            case 1:
                keep(row, column, {CellValue::Kind::Logical, 0.0, u8At(r.data, 8) ? "TRUE" : "FALSE"});
                break;
            case 2:
                keep(row, column, {CellValue::Kind::Error, 0.0, errorName(u8At(r.data, 8))});
                break;
            default: // empty text
                keep(row, column, {CellValue::Kind::Text, 0.0, {}});
                break;
            }
            break;
        }
        case LABEL:
        case RSTRING: {
            require(r, 8);
            QString text;
            if (biff8_) {
                PieceReader reader({r.data.sliced(6)});
                text = unicodeString(reader, true);
            } else {
                text = byteString(r.data, 6, true);
            }
            keep(u16At(r.data, 0), u16At(r.data, 2), {CellValue::Kind::Text, 0.0, text});
            break;
        }
        case LABELSST: {
            const quint32 index = u32At(r.data, 6);
            if (index >= sst_.size()) throw Damage{QStringLiteral("string index beyond the string table")};
            keep(u16At(r.data, 0), u16At(r.data, 2), {CellValue::Kind::Text, 0.0, sst_[index]});
            break;
        }
        case BLANK:
            clear(u16At(r.data, 0), u16At(r.data, 2));
            break;
        case MULBLANK: {
            const int row = u16At(r.data, 0);
            const int first = u16At(r.data, 2);
            const int last = u16At(r.data, r.data.size() - 2);
            for (int c = first; c <= last; ++c)
                clear(row, c);
            break;
        }
        case DIMENSIONS:
            if (biff8_)
                used_ = Area{u32At(r.data, 0), u32At(r.data, 4), u16At(r.data, 8), u16At(r.data, 10)};
            else
                used_ = Area{u16At(r.data, 0), u16At(r.data, 2), u16At(r.data, 4), u16At(r.data, 6)};
            break;
        case BOOLERR: {
            const int value = u8At(r.data, 6);
            const bool error = u8At(r.data, 7) != 0;
            keep(u16At(r.data, 0), u16At(r.data, 2),
                 error ? CellValue{CellValue::Kind::Error, 0.0, errorName(value)}
                       : CellValue{CellValue::Kind::Logical, 0.0, value ? "TRUE" : "FALSE"});
            break;
        }
        default:
            break;
        }
    }
    throw Damage{QStringLiteral("worksheet without end")};
}

std::optional<WorkbookProblem> StreamParser::take(int row, int column, long long min, long long max, int& out,
                                                  bool* numbered) const
{
    out = 0;
    const auto found = cells_.find({row, column});
    if (found == cells_.end()) return std::nullopt; // an empty cell gives 0
    const CellValue& cell = found->second;
    const QString address = cellAddress(row, column);
    const int held = column == 0 ? parameterAtWorkbookRow(row + 1) : 0;
    std::optional<long long> whole;
    QString shown;
    switch (cell.kind) {
    case CellValue::Kind::Error:
        return WorkbookProblem{WorkbookProblem::Kind::ErrorInCell, address, cell.text, held};
    case CellValue::Kind::Logical:
        return WorkbookProblem{WorkbookProblem::Kind::TextInCell, address, cell.text, held};
    case CellValue::Kind::Text:
        if (cell.text.trimmed().isEmpty()) return std::nullopt;
        whole = wholeNumberFromText(cell.text, number_syntax::kWorkbookText);
        shown = cell.text.left(40);
        if (!whole) return WorkbookProblem{WorkbookProblem::Kind::TextInCell, address, shown, held};
        break;
    case CellValue::Kind::Number:
        whole = roundHalfEven(cell.number);
        shown = QString::number(cell.number, 'g', 15);
        break;
    }
    const bool parameter = column == 0;
    if (!whole || *whole < min || *whole > max)
        return WorkbookProblem{parameter ? WorkbookProblem::Kind::ParameterOutOfRange
                                         : WorkbookProblem::Kind::CellOutOfRange,
                               address, shown, held};
    out = static_cast<int>(*whole);
    if (numbered) *numbered = true;
    return std::nullopt;
}

std::variant<VehicleSet, WorkbookProblem> StreamParser::parse()
{
    qsizetype pos = 0;
    readGlobals(pos);
    // the first worksheet: where its BOUNDSHEET says, or else the substream after the globals
    qsizetype sheet = pos;
    if (!sheetOffsets_.empty()) {
        const qsizetype at = sheetOffsets_.front();
        if (at >= pos && at + 8 <= s_.size() && u16At(s_, at) == BOF) sheet = at;
    }
    {
        Record bof;
        qsizetype probe = sheet;
        if (!readRecord(probe, bof) || bof.type != BOF) throw Damage{QStringLiteral("no worksheet")};
    }
    readSheet(sheet);

    VehicleSet set;
    bool anyParameter = false;
    for (int row = 0; row < kParameterRows; ++row) {
        if (auto problem =
                take(row, 0, 0, 0xFFFF, set.parameters[parameterAtWorkbookRow(row + 1)], &anyParameter))
            return *problem;
    }
    // an empty sheet would otherwise load as a car whose every parameter is 0
    if (!anyParameter) return WorkbookProblem{WorkbookProblem::Kind::NotAVehicle, {}, {}};
    for (int row = 0; row < kTableRows; ++row)
        for (int c = 0; c < 8; ++c)
            if (auto problem = take(row, kTableFirstColumn + c, 0, 0xFF, set.cells[8 * row + c + 1]))
                return *problem;
    return set;
}

} // namespace

std::variant<VehicleSet, WorkbookProblem> parseWorkbookStream(const QByteArray& stream)
{
    try {
        return StreamParser(stream).parse();
    } catch (const Damage& damage) {
        return WorkbookProblem{WorkbookProblem::Kind::Damaged, {}, damage.what};
    } catch (const WorkbookProblem& problem) {
        return problem;
    }
}
