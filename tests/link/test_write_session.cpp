#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "link/reply_dispatcher.h"
#include "link/write_session.h"
#include "support/fake_link.h"
#include "support/read_back_replies.h"

#include <QSignalSpy>
#include <QTest>

// The one write session over a recording link, with the test playing the ECU through the real
// dispatcher: what it sends, what it keeps wanted, and what it says when a write does not complete.
class TestWriteSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void walksInOrderAndEndsOnTheLastEcho();
    void walkTakesFirstDifferenceInItsOwnOrder();
    void oneWriterAtATime();
    void abandonKeepsTheFrameOnTheWireAndReadsTheEcuBack();
    void lostPortStopsAndReportsEveryValue();

private:
    // The ECU echoes the frame it was sent, as it does for a write it takes.
    void echo(const QByteArray& frame) { dispatcher->onSerialEvent(frame); }
    void answerReadBack();
    std::vector<WriteValue> someValues() const;

    SharedState state;
    std::unique_ptr<FakeLink> link;
    std::unique_ptr<ReplyDispatcher> dispatcher;
    std::unique_ptr<WriteSession> session;
    const QObject owner;
    const QObject other;
};

void TestWriteSession::init()
{
    state = SharedState();
    link = std::make_unique<FakeLink>();
    link->open(QStringLiteral("ttyS0"), QStringLiteral("9600,n,8,1"));
    dispatcher = std::make_unique<ReplyDispatcher>(state);
    session = std::make_unique<WriteSession>(state, *link, *dispatcher);
    for (int id = 1; id <= kParameterCount; ++id)
        state.parameterValues[id] = state.pendingParameterValues[id] = 100 + id;
}

std::vector<WriteValue> TestWriteSession::someValues() const
{
    // two changes, one value equal to the ECU's (never sent), and a cell
    return {{{false, 4}, 350}, {{false, 5}, state.parameterValues[5]}, {{false, 21}, 7}, {{true, 3}, 9}};
}

void TestWriteSession::answerReadBack()
{
    for (const QByteArray& reply : readBackReplies(state))
        dispatcher->onSerialEvent(reply);
}

void TestWriteSession::walksInOrderAndEndsOnTheLastEcho()
{
    QSignalSpy ended(session.get(), &WriteSession::ended);
    QVERIFY(session->begin({&owner, {"Pagina"}}, someValues()));
    QCOMPARE(session->toWrite(), 3);
    QCOMPARE(session->progressLine(Language::Italian),
             QString("0 di 3 valori confermati - invio: LAMBDA1 - SOGLIA MAGRO (parametro 4)"));

    // no echo yet: the same frame again, nothing behind it
    QVERIFY(session->tick());
    QVERIFY(session->tick());
    QCOMPARE(link->sent,
             (QList<QByteArray>{*frames::writeParameter(4, 350), *frames::writeParameter(4, 350)}));
    echo(link->sent.last());
    // the line names what goes out next as soon as the echo is in
    QCOMPARE(
        session->progressLine(Language::English),
        QString("1 of 3 values confirmed - sending: Pressure Corrective Value - Variation (parameter 21)"));

    // an echo with another value confirms nothing; past the patience the line says what it waits for
    for (int i = 0; i <= WriteSession::kPatience; ++i)
        QVERIFY(session->tick());
    QCOMPARE(link->sent.last(), *frames::writeParameter(21, 7));
    echo(*frames::writeParameter(21, 8));
    QCOMPARE(state.parameterValues[21], 121);
    QVERIFY(session->waitingForEcu());
    QCOMPARE(
        session->progressLine(Language::Italian),
        QString("1 di 3 valori confermati - in attesa della centralina per Correttivo Pressione - Variazione "
                "(parametro 21) (inviato 11 volte)"));
    echo(*frames::writeParameter(21, 7));
    QVERIFY(session->tick());
    QCOMPARE(link->sent.last(), *frames::writeTableCell(3, 9));
    QCOMPARE(session->progressLine(Language::English),
             QString("2 of 3 values confirmed - sending: Cell row 1 column 3"));

    // the last echo ends the write at once, confirmed, and leaves nothing to read back
    echo(link->sent.last());
    QCOMPARE(ended.size(), 1);
    const auto report = ended.first().first().value<WriteReport>();
    QVERIFY(report.complete());
    QCOMPARE(report.confirmed.size(), size_t(3));
    QVERIFY(!session->busy());
    QVERIFY(!session->ecuUnverified());
    const qsizetype sent = link->sent.size();
    QVERIFY(!session->tick());
    QCOMPARE(link->sent.size(), sent);
    QVERIFY(state.pendingParameterValues == state.parameterValues);

    // nothing differing: the first tick ends it, sending nothing
    QVERIFY(session->begin({&owner, {"Pagina"}}, {{{false, 4}, 350}}));
    QVERIFY(!session->tick());
    QCOMPARE(link->sent.size(), sent);
    QCOMPARE(ended.size(), 2);
}

void TestWriteSession::walkTakesFirstDifferenceInItsOwnOrder()
{
    // a writer may go backwards, and what is wanted outside its order is not its to send
    state.pendingParameterValues[30] = 9;
    std::vector<WriteValue> cells;
    for (int k = 64; k >= 1; --k)
        cells.push_back({{true, k}, k == 10 || k == 40 ? 7 : 0});
    QVERIFY(session->begin({&owner, {"Tabella"}}, cells));
    session->tick();
    QCOMPARE(link->sent.last(), *frames::writeTableCell(40, 7));
    echo(link->sent.last());
    session->tick();
    QCOMPARE(link->sent.last(), *frames::writeTableCell(10, 7));
    echo(link->sent.last());
    QVERIFY(!session->busy());
    QCOMPARE(link->sent.size(), 2);
    QCOMPARE(state.pendingParameterValues[30], 9);

    // a value the writer left as it was, that differs once another ECU is read mid-write, is not sent
    QVERIFY(session->begin({&owner, {"Pagina"}}, {{{false, 3}, 103}, {{false, 4}, 350}}));
    state.parameterValues[3] = 77;
    session->tick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(4, 350));
    echo(link->sent.last());
    QVERIFY(!session->busy());
}

void TestWriteSession::oneWriterAtATime()
{
    QVERIFY(session->begin({&owner, {"Trasferimento archivio", "Archive transfer"}}, someValues()));
    const auto wanted = state.pendingParameterValues;
    // a second writer changes nothing of the first one's values
    QVERIFY(!session->begin({&other, {"Pagina"}}, {{{false, 4}, 351}}));
    QVERIFY(!session->claim({&other, {"Valori di default"}}));
    QVERIFY(state.pendingParameterValues == wanted);
    QCOMPARE(session->holderName(Language::English), QString("Archive transfer"));
    QVERIFY(session->ownedBy(&owner) && !session->ownedBy(&other));
    session->abandon();

    // a command sequence holds the ECU too, and only its owner lets it go
    answerReadBack();
    QVERIFY(session->claim({&other, {"EndOfLine"}}));
    QVERIFY(!session->running());
    QVERIFY(!session->begin({&owner, {"Pagina"}}, someValues()));
    session->release(&owner);
    QVERIFY(session->busy());
    session->release(&other);
    QVERIFY(session->begin({&owner, {"Pagina"}}, someValues()));
}

void TestWriteSession::abandonKeepsTheFrameOnTheWireAndReadsTheEcuBack()
{
    QSignalSpy ended(session.get(), &WriteSession::ended);
    QSignalSpy verified(session.get(), &WriteSession::ecuVerified);
    QVERIFY(session->begin({&owner, {"Pagina"}}, someValues()));
    session->tick();
    echo(link->sent.last()); // 4 confirmed
    session->tick();         // 21 on the wire
    session->abandon();
    QCOMPARE(ended.size(), 1);
    const auto report = ended.first().first().value<WriteReport>();
    QCOMPARE(report.end, WriteReport::End::Abandoned);
    QCOMPARE(report.confirmed, (std::vector<WriteItem>{{false, 4}}));
    QCOMPARE(report.maybeArrived, (std::vector<WriteItem>{{false, 21}}));
    QCOMPARE(report.notSent, (std::vector<WriteItem>{{true, 3}}));
    // nothing not sent stays wanted for another writer; the frame on the wire does
    QCOMPARE(state.pendingTableCells[3], state.tableCells[3]);
    QCOMPARE(state.pendingParameterValues[21], 7);

    // the ECU is read again at once, and nothing writes until that read is complete
    QVERIFY(session->ecuUnverified());
    QCOMPARE(link->sent.last(), frames::readAllParameters());
    QVERIFY(!session->begin({&other, {"Pagina"}}, {{{false, 4}, 1}}));

    // the late echo is still the ECU's value
    echo(*frames::writeParameter(21, 7));
    QCOMPARE(state.parameterValues[21], 7);
    answerReadBack();
    QCOMPARE(verified.size(), 1);
    QVERIFY(!session->ecuUnverified());
    QCOMPARE(link->sent.last(), frames::readTable()); // the table was asked for after the parameters
    QVERIFY(state.pendingParameterValues == state.parameterValues);
}

void TestWriteSession::lostPortStopsAndReportsEveryValue()
{
    QSignalSpy ended(session.get(), &WriteSession::ended);
    QVERIFY(session->begin({&owner, {"Pagina"}}, someValues()));
    session->tick();
    link->pull();
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.size(), 1);
    const auto report = ended.first().first().value<WriteReport>();
    QCOMPARE(report.end, WriteReport::End::PortLost);
    QCOMPARE(report.problem, LinkProblem::DeviceRemoved);
    // no echo comes through a port that is gone: nothing stays wanted
    QCOMPARE(report.maybeArrived, (std::vector<WriteItem>{{false, 4}}));
    QCOMPARE(report.notSent.size(), size_t(2));
    QVERIFY(state.pendingParameterValues == state.parameterValues);
    QVERIFY(!session->tick());
    // unverified until a new connection reads the ECU
    QVERIFY(session->ecuUnverified());
    QVERIFY(!session->begin({&owner, {"Pagina"}}, someValues()));
    link->open(QStringLiteral("ttyS0"), QStringLiteral("9600,n,8,1"));
    clearHandshakeFlags(state);
    answerReadBack();
    QVERIFY(!session->ecuUnverified());

    // a value its frame cannot carry is never sent, and is named once the patience is out
    QVERIFY(session->begin({&owner, {"Pagina"}}, {{{true, 5}, 300}}));
    const qsizetype sent = link->sent.size();
    for (int i = 0; i <= WriteSession::kPatience; ++i)
        QVERIFY(session->tick());
    QCOMPARE(link->sent.size(), sent);
    QVERIFY(session->progressLine(Language::English)
                .contains("waiting for the ECU to confirm Cell row 1 column 5"));
}

QTEST_GUILESS_MAIN(TestWriteSession)
#include "test_write_session.moc"
