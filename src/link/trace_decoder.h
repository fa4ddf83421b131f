#pragma once

#include <QByteArray>
#include <QString>

// The request kind's name for a command code ("WriteParameter"), empty for a code the protocol
// does not have.
QString requestName(int code);

enum class TraceDirection { ToEcu, FromEcu };

// Words one chunk of one direction of the line for a person reading a trace: "ReadVersion",
// "ReadStatus reply", "noise (3 bytes) + ReadVersion reply", "partial ReadTable reply (40 of 69
// bytes)". Keeps what the previous chunk left unfinished, so one decoder per direction.
class TraceDecoder {
public:
    explicit TraceDecoder(TraceDirection direction) : direction_(direction) {}

    QString describe(const QByteArray& chunk);

private:
    QString frameName(const QByteArray& chunk, qsizetype at, int length) const;

    TraceDirection direction_;
    int owed_ = 0; // bytes still missing from the frame the previous chunk began
    QString owedName_;
};
