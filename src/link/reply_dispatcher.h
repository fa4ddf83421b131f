#pragma once

#include "link/shared_state.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// Every reply from the ECU passes through here: validated by its length byte, stored into
// SharedState, and announced to whichever windows are listening. It never sends anything.
class ReplyDispatcher : public QObject {
    Q_OBJECT
public:
    explicit ReplyDispatcher(SharedState& state, QObject* parent = nullptr);

    // What the serial layer read: one whole frame or several back to back, each taken in turn.
    // Anything else (a partial frame, trailing bytes, noise) is dropped whole.
    void onSerialEvent(const QByteArray& bytes);

    // Shortest frame the layout of reply `code` can be read from.
    static int minimumLength(int code);

    // Where the whole frames that follow each other from `from` end (`from` when none is whole):
    // each frame as long as its length byte says, at least 5 bytes. `headed`: each also begins with
    // "PC\0" and holds no other beginning inside it, so that the rest of a lost frame glued to the
    // next reply is not taken for one frame.
    static qsizetype wholeFramesEnd(const QByteArray& bytes, qsizetype from = 0, bool headed = false);
    // Where a frame still arriving begins at the end of `bytes` (its beginning "PC\0" with fewer
    // bytes after it than its length byte says); bytes.size() when there is none.
    static qsizetype partialFrameStart(const QByteArray& bytes);
    // Where the first whole frame at or after `from` begins ("PC\0" that starts whole frames as
    // `wholeFramesEnd` takes them with `headed`); bytes.size() when there is none.
    static qsizetype wholeFrameStart(const QByteArray& bytes, qsizetype from = 0);

signals:
    // Any whole reply of a known kind, taken or not (a repeated acknowledgement): the ECU is there.
    void replyReceived(int code);
    // A frame passed validation and was taken (its flag or values are in SharedState).
    void frameHandled(int code);
    // An accepted write echo: the ECU now holds `value` for parameter `id`.
    void parameterConfirmed(int id, int value);
    void tableCellConfirmed(int cell, int value);
    // The version as the main menu shows it: "1.4.3".
    void versionReceived(const QString& text);
    void calibrationModeAcknowledged(bool on);

private:
    void dispatchOne(const QByteArray& frame);
    bool dispatch(const QByteArray& frame);
    void storeParameterDump(const QByteArray& frame);
    bool acceptParameterEcho(const QByteArray& frame);
    void storeStatus(const QByteArray& frame);
    void storeCalibrationFrame(const QByteArray& frame);
    bool acceptCellEcho(const QByteArray& frame);
    void storeEolResults(const QByteArray& frame);

    SharedState& state_;
};
