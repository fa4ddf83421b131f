#include "link/serial_link.h"

#include "link/reply_dispatcher.h"

#include <QMetaObject>
#include <QStringList>

#include <utility>

std::optional<SerialSettings> parseSerialSettings(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    SerialSettings settings;

    bool ok = false;
    settings.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || settings.baudRate <= 0) return std::nullopt;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        settings.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("o"))
        settings.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("e"))
        settings.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("m"))
        settings.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        settings.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8) return std::nullopt;
    settings.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        settings.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        settings.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return settings;
}

SerialLink::SerialLink(QObject* parent) : Link(parent)
{
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::open(const QString& portName, const QString& settingsText)
{
    close();
    problem_ = LinkProblem::None;
    errorText_.clear();
    portName_ = portName;
    if (portName.size() > kMaxPortNameLength) {
        problem_ = LinkProblem::NameTooLong;
        return false;
    }
    const std::optional<SerialSettings> settings = parseSerialSettings(settingsText);
    if (!settings) {
        problem_ = LinkProblem::SettingsRefused;
        errorText_ = settingsText;
        return false;
    }
    port_.setPortName(portName);
    if (!port_.open(QIODevice::ReadWrite)) {
        setProblem(port_.error());
        port_.clearError();
        return false;
    }
    // Applied one by one on the open port: each setter says whether the system took it, which
    // open() alone does not report for every setting.
    const bool applied = port_.setBaudRate(settings->baudRate) && port_.setParity(settings->parity) &&
                         port_.setDataBits(settings->dataBits) && port_.setStopBits(settings->stopBits) &&
                         port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        problem_ = LinkProblem::SettingsRefused;
        errorText_ = port_.errorString();
        port_.close();
        port_.clearError();
        return false;
    }
    port_.clearError();
    return true;
}

void SerialLink::close()
{
    // a frame still waiting in the write buffer leaves whole: the ECU never sees half of one
    if (port_.isOpen() && !closing_ && port_.bytesToWrite() > 0) {
        closing_ = true;
        port_.flush();
        closing_ = false;
    }
    if (port_.isOpen()) port_.close();
    buffer_.clear();
    beforeSend_.clear();
}

bool SerialLink::isOpen() const
{
    return port_.isOpen();
}

bool SerialLink::send(const QByteArray& frame)
{
    if (!port_.isOpen()) return false;
    // What came before this request is handed over once the sending handler has returned, which
    // clears out garbage and stale pieces. Only bytes already here are taken: the reply to this
    // request must not be cut in two when the handler is slow to return.
    buffer_.append(port_.readAll());
    beforeSend_.append(takeWholeFrames());
    // A reply still arriving stays for its rest: with two windows polling, the other window's
    // request often goes out while the reply to this one is on the line.
    const qsizetype partial = ReplyDispatcher::partialFrameStart(buffer_);
    if (partial > 0) {
        beforeSend_.append(buffer_.left(partial));
        buffer_.remove(0, partial);
    }
    if (!beforeSend_.isEmpty() && !flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &SerialLink::flushBeforeSend, Qt::QueuedConnection);
    }
    const qint64 written = port_.write(frame);
    if (written > 0) emit sent(written == frame.size() ? frame : frame.left(written));
    return written == frame.size();
}

QList<QByteArray> SerialLink::takeWholeFrames()
{
    // Whatever stands before a whole frame is a piece of its own: noise, or a reply that lost bytes
    // and would otherwise hold the reply behind it (inside its claimed length) until the next send.
    QList<QByteArray> pieces;
    for (qsizetype start = ReplyDispatcher::wholeFrameStart(buffer_); start < buffer_.size();
         start = ReplyDispatcher::wholeFrameStart(buffer_)) {
        if (start > 0) pieces.append(buffer_.left(start));
        const qsizetype end = ReplyDispatcher::wholeFramesEnd(buffer_, start, true);
        pieces.append(buffer_.sliced(start, end - start));
        buffer_.remove(0, end);
    }
    return pieces;
}

void SerialLink::onReadyRead()
{
    buffer_.append(port_.readAll());
    // Every whole reply at once, however many one read holds and whatever stands between them;
    // one still arriving waits for its rest.
    const QList<QByteArray> pieces = takeWholeFrames();
    if (!pieces.isEmpty()) flushBeforeSend();
    for (const QByteArray& piece : pieces)
        emit received(piece);
    if (buffer_.size() >= kDeliveryThreshold) deliver();
}

void SerialLink::flushBeforeSend()
{
    flushQueued_ = false;
    for (const QByteArray& piece : std::exchange(beforeSend_, {}))
        emit received(piece);
}

void SerialLink::deliver()
{
    flushBeforeSend(); // keeps the order in which the bytes came
    if (buffer_.isEmpty()) return;
    emit received(std::exchange(buffer_, QByteArray()));
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        break;
    default:
        return; // open failures are reported by open(); the others leave the port usable
    }
    if (!port_.isOpen()) return;
    // Close here: a vanished device keeps raising the error until the port is closed.
    setProblem(error);
    close();
    emit lost(problem_);
}

void SerialLink::setProblem(QSerialPort::SerialPortError error)
{
    errorText_ = port_.errorString();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        problem_ = LinkProblem::PortMissing;
        break;
    case QSerialPort::PermissionError:
        problem_ = LinkProblem::NoPermission;
        break;
    case QSerialPort::OpenError:
        problem_ = LinkProblem::PortBusy;
        break;
    case QSerialPort::UnsupportedOperationError:
        problem_ = LinkProblem::SettingsRefused;
        break;
    case QSerialPort::ResourceError:
        problem_ = LinkProblem::DeviceRemoved;
        break;
    case QSerialPort::ReadError:
        problem_ = LinkProblem::ReadFailed;
        break;
    case QSerialPort::WriteError:
        problem_ = LinkProblem::WriteFailed;
        break;
    default:
        problem_ = LinkProblem::Other;
        break;
    }
}
