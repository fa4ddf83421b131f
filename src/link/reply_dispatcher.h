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

    // The whole receive buffer as the serial layer read it; at most one frame is taken from it.
    void onSerialEvent(const QByteArray& bytes);

    // Shortest frame the layout of reply `code` can be read from.
    static int minimumLength(int code);

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
    bool dispatch(const QByteArray& frame);
    void storeParameterDump(const QByteArray& frame);
    bool acceptParameterEcho(const QByteArray& frame);
    void storeStatus(const QByteArray& frame);
    void storeCalibrationFrame(const QByteArray& frame);
    bool acceptCellEcho(const QByteArray& frame);
    void storeEolResults(const QByteArray& frame);

    SharedState& state_;
};
