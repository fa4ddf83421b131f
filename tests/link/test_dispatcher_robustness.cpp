// A million random and mutated replies through the dispatcher: nothing may crash, nothing out of
// range may be stored, and a frame the rules reject must leave the shared state as it was.
#include "link/frames.h"
#include "link/reply_dispatcher.h"

#include <QTest>

#include <map>
#include <random>
#include <vector>

namespace {

// Layout lengths of the protocol, kept apart from the dispatcher's own table on purpose.
const std::map<int, int> kLayoutLength = {{1, 127}, {2, 9},   {3, 43},  {7, 8},   {8, 69},
                                          {9, 7},   {10, 25}, {13, 25}, {15, 23}, {16, 13}};

// Codes whose reply is ignored while their flag is set.
const std::map<int, int SharedState::*> kGuard = {
    {1, &SharedState::parametersReceived},
    {4, &SharedState::changeoverAcknowledged},
    {5, &SharedState::defaultsAcknowledged},
    {6, &SharedState::downloadAcknowledged},
    {7, &SharedState::versionReceived},
    {8, &SharedState::tableReceived},
    {11, &SharedState::calibrationOnAcknowledged},
    {12, &SharedState::calibrationOffAcknowledged},
    {14, &SharedState::eolCommandAcknowledged},
    {16, &SharedState::calibrationExtraReceived},
};

bool oneRejectedByRules(const QByteArray& f, const SharedState& s)
{
    const int code = frames::byteAt(f, 5);
    if (code < 1 || code > 16) return true;
    const auto layout = kLayoutLength.find(code);
    if (layout != kLayoutLength.end() && f.size() < layout->second) return true;
    const auto guard = kGuard.find(code);
    return guard != kGuard.end() && s.*(guard->second) != 0;
}

// A read of whole frames back to back is taken frame by frame; anything else is dropped whole.
bool rejectedByRules(const QByteArray& f, const SharedState& s)
{
    std::vector<QByteArray> chain;
    for (qsizetype p = 0; p < f.size();) {
        const int length = f.size() - p >= 5 ? frames::byteAt(f, static_cast<int>(p) + 4) : 0;
        if (length < 5 || p + length > f.size()) return true;
        chain.push_back(f.mid(p, length));
        p += length;
    }
    if (chain.empty()) return true;
    for (const QByteArray& frame : chain)
        if (!oneRejectedByRules(frame, s)) return false;
    return true;
}

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    QByteArray validFrame()
    {
        const int codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        const int code = codes[below(16)];
        const auto layout = kLayoutLength.find(code);
        const int length = layout != kLayoutLength.end() ? layout->second : 5 + below(4);
        QByteArray payload(length - 5, '\0');
        for (auto& b : payload)
            b = static_cast<char>(below(256));
        if (code == 2 && below(2)) payload[1] = static_cast<char>(1 + below(61));
        return frames::frame(code, payload);
    }

    QByteArray next()
    {
        QByteArray f = validFrame();
        switch (below(8)) {
        case 0: // pure noise
            f.resize(below(260));
            for (auto& b : f)
                b = static_cast<char>(below(256));
            break;
        case 1: // flip a few bytes, length byte included
            for (int i = below(4); i >= 0; --i)
                f[below(static_cast<int>(f.size()))] = static_cast<char>(below(256));
            break;
        case 2: // truncated, with the length byte made to match
            f.truncate(below(static_cast<int>(f.size())) + 1);
            if (f.size() >= 4) f[3] = static_cast<char>(f.size());
            break;
        case 3: // extended, with the length byte made to match
            f.append(QByteArray(below(20) + 1, static_cast<char>(below(256))));
            if (f.size() <= 255) f[3] = static_cast<char>(f.size());
            break;
        case 4: // two frames read together
            f += validFrame();
            break;
        case 5: // a different code on a valid body
            f[4] = static_cast<char>(below(256));
            break;
        default: // left valid
            break;
        }
        return f;
    }

private:
    std::mt19937 random_;
};

} // namespace

class TestDispatcherRobustness : public QObject {
    Q_OBJECT
private slots:
    void millionFrames();
};

void TestDispatcherRobustness::millionFrames()
{
    SharedState state;
    ReplyDispatcher dispatcher(state);
    Generator gen(20261208);
    int rejected = 0;
    int accepted = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        // flags come and go as windows clear them
        if (gen.below(4) == 0) {
            for (const auto& [code, flag] : kGuard)
                state.*flag = gen.below(2);
            for (int k = 1; k <= 2; ++k)
                state.pendingParameterValues[gen.below(61) + 1] = gen.below(65536);
            state.pendingTableCells[gen.below(64) + 1] = gen.below(256);
        }
        const QByteArray f = gen.next();
        const SharedState before = state;
        const bool mustReject = rejectedByRules(f, state);
        dispatcher.onSerialEvent(f);
        if (mustReject) {
            ++rejected;
            if (!(state == before)) QFAIL(qPrintable("state changed by rejected frame " + f.toHex(' ')));
        } else {
            ++accepted;
        }
        for (const int v : state.parameterValues)
            QVERIFY(v >= 0 && v <= 0xFFFF);
        for (const int v : state.tableCells)
            QVERIFY(v >= 0 && v <= 0xFF);
    }
    // the mix must exercise both sides
    QVERIFY(rejected > 100'000);
    QVERIFY(accepted > 100'000);
}

QTEST_GUILESS_MAIN(TestDispatcherRobustness)
#include "test_dispatcher_robustness.moc"
