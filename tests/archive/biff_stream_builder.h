#pragma once

#include <QByteArray>
#include <QString>

#include <cstring>
#include <vector>

// Hand-made BIFF8 streams with the records other spreadsheet programs write.
class BiffStreamBuilder {
public:
    BiffStreamBuilder& record(int type, const QByteArray& body)
    {
        put16(stream_, type);
        put16(stream_, static_cast<int>(body.size()));
        stream_.append(body);
        return *this;
    }

    static QByteArray u16(int v)
    {
        QByteArray b;
        put16(b, v);
        return b;
    }
    static QByteArray u32(quint32 v)
    {
        return u16(static_cast<int>(v & 0xFFFF)) + u16(static_cast<int>(v >> 16));
    }
    static QByteArray f64(double v)
    {
        QByteArray b(8, '\0');
        std::memcpy(b.data(), &v, 8);
        return b;
    }
    static QByteArray cell(int row, int column) { return u16(row) + u16(column) + u16(15); }
    // count, flags (0: 8-bit), characters
    static QByteArray string8(const QByteArray& text)
    {
        return u16(static_cast<int>(text.size())) + QByteArray(1, '\0') + text;
    }

    BiffStreamBuilder& bof(int dt) { return record(0x0809, u16(0x0600) + u16(dt) + QByteArray(12, '\0')); }
    BiffStreamBuilder& eof() { return record(0x000A, {}); }

    // Globals with `globalRecords` and an SST made of `sstPieces` (the SST body, then CONTINUE
    // bodies); the sheet follows with `sheetRecords`.
    QByteArray workbook(const std::vector<QByteArray>& sstPieces, const QByteArray& sheetRecords,
                        const QByteArray& globalRecords = {})
    {
        stream_.clear();
        bof(0x0005);
        const qsizetype boundsheet = stream_.size() + 4;
        record(0x0085, u32(0) + QByteArray(2, '\0') + QByteArray("\x06\x00", 2) + "Sheet1");
        stream_.append(globalRecords);
        for (size_t i = 0; i < sstPieces.size(); ++i)
            record(i == 0 ? 0x00FC : 0x003C, sstPieces[i]);
        eof();
        const quint32 sheet = static_cast<quint32>(stream_.size());
        std::memcpy(stream_.data() + boundsheet, u32(sheet).constData(), 4);
        bof(0x0010);
        stream_.append(sheetRecords);
        eof();
        return stream_;
    }

    static QByteArray rec(int type, const QByteArray& body)
    {
        return BiffStreamBuilder().record(type, body).stream_;
    }

private:
    static void put16(QByteArray& b, int v)
    {
        b.append(static_cast<char>(v & 0xFF));
        b.append(static_cast<char>((v >> 8) & 0xFF));
    }
    QByteArray stream_;
};
