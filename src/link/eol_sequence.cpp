#include "link/eol_sequence.h"

#include "link/frames.h"

void EolSequence::start(int cylinders)
{
    cylinders_ = cylinders;
    paint(0, kEolIndicatorCount - 1, true);
    instruction_.clear();
    over_ = false;
    state_.eolCommandAcknowledged = 0;
    state_.eolResults.eolPreviousPhase = 0;
    keyOffTicks_ = 0;
    keyOffSeconds_ = 10;
    resetTicks_ = 0;
    resetSeconds_ = 0;
    link_.send(*frames::eolCommand(cylinders_));
}

void EolSequence::paint(int first, int last, bool red)
{
    for (int i = first; i <= last; ++i)
        red_[static_cast<size_t>(i)] = red;
}

bool EolSequence::tick()
{
    if (over_) return false;
    unansweredTicks_ = state_.eolResultsPending == 1 ? unansweredTicks_ + 1 : 0;
    if (link_.isOpen() && state_.eolCommandAcknowledged == 0) {
        link_.send(*frames::eolCommand(cylinders_));
    } else if (state_.eolCommandAcknowledged == 1) {
        link_.send(frames::readEolResults());
        state_.eolResultsPending = 1;
    }

    const EolResults& results = state_.eolResults;
    switch (results.eolPhase) {
    case 2:
        for (const auto& [indicator, red] : eolResultIndicators(results, state_.eolCylinderMarks))
            red_[static_cast<size_t>(indicator)] = red;
        if (++keyOffTicks_ == 5) {
            --keyOffSeconds_;
            keyOffTicks_ = 0;
        }
        if (unansweredTicks_ >= 10) {
            instruction_ = QStringLiteral("CHIAVE OFF - PORTARLA SU ON");
        } else if (keyOffSeconds_ > 0) {
            instruction_ = QStringLiteral("CHIAVE OFF ENTRO %1 SEC").arg(keyOffSeconds_);
        } else {
            instruction_ = QStringLiteral("SEGNALE DI CHIAVE NON ABBASSATO. RIPROVARE");
            keyOffTicks_ = 0;
            keyOffSeconds_ = 10;
        }
        break;
    case 3:
        red_[kEolPowerLatch] = false;
        instruction_ = QStringLiteral("RESET PARAMETRI EEPROM");
        break;
    case 4:
        red_[kEolPowerLatch] = false;
        if (++resetTicks_ == 5) {
            ++resetSeconds_;
            resetTicks_ = 0;
        }
        instruction_ = QStringLiteral("ATTENDERE RESET ECU %1").arg(resetSeconds_);
        break;
    default:
        if (results.eolPhase == 0 && results.eolPreviousPhase == 4) {
            instruction_ = QStringLiteral("RESET OK");
            red_[kEolWatchDog] = false;
            over_ = true;
            return false;
        }
        instruction_ = QStringLiteral("TEST IN CORSO");
        paint(0, kEolIndicatorCount - 1, true);
        break;
    }
    return true;
}

QString EolVerdict::line() const
{
    if (passed()) return QStringLiteral("PASSED");
    return QStringLiteral("FAILED: %1 of %2 checks")
        .arg(QString::number(failing.size()), QString::number(static_cast<qsizetype>(checks.size())));
}

EolVerdict eolVerdict(const EolSequence& sequence)
{
    EolVerdict verdict;
    verdict.checks = eolShownIndicators(sequence.cylinders());
    for (const int indicator : verdict.checks)
        if (sequence.red(indicator)) verdict.failing << eolCheckName(indicator);
    return verdict;
}

namespace {
QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}
} // namespace

QString eolReport(const EolSequence& sequence, const EolReportHeading& heading, bool csv)
{
    const EolVerdict verdict = eolVerdict(sequence);
    const QString cylinders = QString::number(sequence.cylinders());
    QString report;
    if (csv) {
        report = QStringLiteral("date,program,ecuVersion,port,cylinders,verdict,check,result\n");
        for (const int indicator : verdict.checks)
            report += QStringList{csvField(heading.date),
                                  csvField(heading.program),
                                  csvField(heading.ecuVersion),
                                  csvField(heading.port),
                                  cylinders,
                                  verdict.passed() ? QStringLiteral("PASSED") : QStringLiteral("FAILED"),
                                  eolCheckName(indicator),
                                  sequence.red(indicator) ? QStringLiteral("FAIL") : QStringLiteral("PASS")}
                          .join(QLatin1Char(',')) +
                      QLatin1Char('\n');
        return report;
    }
    // every value at once: a port or version holding "%1" stays as it is
    report =
        QStringLiteral("ORVANE end-of-line test\ndate: %1\nprogram: %2\nECU version: %3\nport: %4\n"
                       "cylinders: %5\nverdict: %6\n")
            .arg(heading.date, heading.program, heading.ecuVersion, heading.port, cylinders, verdict.line());
    for (const int indicator : verdict.checks)
        report += eolCheckName(indicator) +
                  (sequence.red(indicator) ? QStringLiteral(": FAIL\n") : QStringLiteral(": PASS\n"));
    return report;
}
