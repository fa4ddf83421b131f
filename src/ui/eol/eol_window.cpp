#include "ui/eol/eol_window.h"

#include "link/eol_rules.h"
#include "link/frames.h"
#include "ui/common/colours.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/segment_bar.h"
#include "ui/common/write_report.h"

#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
const QColor kGrey{225, 225, 225};
// an indicator the test has not reached yet: neither passed nor failed
const QColor kUntested{160, 160, 160};

// Italian in every language: the production line's own words
const Caption kCaptions[] = {
    {kTitle, {"ORVANE - EndOfLine"}},
    {kOfflineTitle, {"ORVANE - EndOfLine Non Connesso"}},
    {"Frame1", {"CILINDRI"}},
    {"Command2", {"EOL"}},
    {"Command1", {"EXIT"}},
    {"Label12", {"SELEZIONARE IL NUMERO DI CILINDRI PRIMA DI INIZIARE IL TEST"}},
    {"SaveReport", {"SALVA RAPPORTO"}},
};

QLabel* caption(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
    return label;
}
} // namespace

EolWindow::EolWindow(AppContext& context) : Form(context, WindowId::EndOfLine), sequence(state, ctx.link)
{
    for (int i = 0; i < kEolIndicatorCount; ++i) {
        indicators[static_cast<size_t>(i)] = new Lamp(QStringLiteral("Shape1_%1").arg(i), this);
        indicators[static_cast<size_t>(i)]->setFixedSize(20, 20);
    }

    cylinderFrame = new QGroupBox(this);
    cylinderFrame->setObjectName(QStringLiteral("Frame1"));
    fourCylinders = new QRadioButton(QStringLiteral("4"), cylinderFrame);
    fourCylinders->setObjectName(QStringLiteral("Option1"));
    sixCylinders = new QRadioButton(QStringLiteral("6"), cylinderFrame);
    sixCylinders->setObjectName(QStringLiteral("Option2"));
    eightCylinders = new QRadioButton(QStringLiteral("8"), cylinderFrame);
    eightCylinders->setObjectName(QStringLiteral("Option3"));
    auto* options = new QHBoxLayout(cylinderFrame);
    for (QRadioButton* o : {fourCylinders, sixCylinders, eightCylinders}) {
        // the production line reads Italian in every language
        o->setAccessibleName(o->text() + QStringLiteral(" CILINDRI"));
        options->addWidget(o);
    }

    startButton = new QPushButton(this);
    startButton->setObjectName(QStringLiteral("Command2"));
    startButton->setEnabled(false);
    exitButton = new QPushButton(this);
    exitButton->setObjectName(QStringLiteral("Command1"));
    instruction = new QLabel(this);
    instruction->setObjectName(QStringLiteral("Label12"));
    verdictLine = new QLabel(this);
    verdictLine->setObjectName(QStringLiteral("EolVerdict"));
    verdictLine->setWordWrap(true);
    saveButton = new QPushButton(this);
    saveButton->setObjectName(QStringLiteral("SaveReport"));
    QFont bold = instruction->font();
    bold.setBold(true);
    instruction->setFont(bold);

    // cylinder grid: a row per cylinder, then its pair's relay indicator every second row
    auto* grid = new QGridLayout;
    grid->addWidget(caption(this, QStringLiteral("STAT EMUL OUT  IN")), 0, 1, 1, 4);
    grid->addWidget(caption(this, QStringLiteral("RELE EMUL INJ")), 0, 5);
    for (int cylinder = 1; cylinder <= 8; ++cylinder) {
        auto* row = new QLabel(QString::number(cylinder), this);
        row->setObjectName(QStringLiteral("Label%1").arg(cylinder + 3));
        rowLabels[static_cast<size_t>(cylinder - 1)] = row;
        grid->addWidget(row, cylinder, 0);
        for (int k = 0; k < 4; ++k)
            grid->addWidget(indicators[static_cast<size_t>(cylinderIndicator(cylinder) + k)], cylinder,
                            1 + k);
        if (cylinder % 2 == 1)
            grid->addWidget(indicators[static_cast<size_t>(pairIndicator(cylinder))], cylinder, 5, 2, 1,
                            Qt::AlignCenter);
    }

    // the other checks, each indicator with its caption
    auto* checks = new QGridLayout;
    int n = 0;
    for (int indicator = 32; indicator <= 56; ++indicator, ++n) {
        checks->addWidget(indicators[static_cast<size_t>(indicator)], n % 13, (n / 13) * 2);
        checks->addWidget(caption(this, eolIndicatorCaption(indicator)), n % 13, (n / 13) * 2 + 1);
    }

    // rows packed under their heading, not spread over the height of the checks beside them
    grid->setRowStretch(9, 1);
    auto* body = new QHBoxLayout;
    body->addLayout(grid);
    body->addSpacing(20);
    body->addLayout(checks);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cylinderFrame);
    buttons->addStretch(1);
    buttons->addWidget(startButton);
    buttons->addWidget(exitButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(body);
    layout->addWidget(instruction);
    auto* verdictRow = new QHBoxLayout;
    verdictRow->addWidget(verdictLine, 1);
    verdictRow->addWidget(saveButton);
    layout->addLayout(verdictRow);

    setUpTimer(testTimer, "Timer1", EolSequence::kTickMs, &EolWindow::testTick);
    connect(fourCylinders, &QRadioButton::clicked, this, [this] { chooseCylinders(4); });
    connect(sixCylinders, &QRadioButton::clicked, this, [this] { chooseCylinders(6); });
    connect(eightCylinders, &QRadioButton::clicked, this, [this] { chooseCylinders(8); });
    // rows hidden for fewer cylinders keep their place: nothing the user aims at moves
    for (QWidget* w : findChildren<QWidget*>()) {
        QSizePolicy keepPlace = w->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        w->setSizePolicy(keepPlace);
    }
    connect(startButton, &QPushButton::clicked, this, &EolWindow::pressStart);
    connect(saveButton, &QPushButton::clicked, this, &EolWindow::saveReport);
    connect(exitButton, &QPushButton::clicked, this, &Form::closeForm);
}

void EolWindow::onLoad()
{
    QPalette grey = palette();
    grey.setColor(QPalette::Window, kGrey);
    grey.setColor(QPalette::Button, kGrey);
    setPalette(grey);
    setAutoFillBackground(true);

    fourCylinders->setChecked(true);
    shownCylinders = 0;
    chooseCylinders(4);
    testCylinders = 4;
    tested = false;
    paintAll(true, 0, kEolIndicatorCount - 1);
    verdictLine->clear();
    saveButton->setEnabled(false);
    startButton->setEnabled(state.offlineMode == 0);
}

std::span<const Caption> EolWindow::captions() const
{
    return kCaptions;
}

void EolWindow::onActivate()
{
    testTimer.setInterval(EolSequence::kTickMs);
}

void EolWindow::chooseCylinders(int count)
{
    // a result shown for another count would mix with this one's rows
    if (count != shownCylinders) {
        tested = false;
        paintAll(true, 0, kEolIndicatorCount - 1);
    }
    shownCylinders = count;
    for (int cylinder = 1; cylinder <= 8; ++cylinder) {
        const bool shown = cylinder <= count;
        rowLabels[static_cast<size_t>(cylinder - 1)]->setVisible(shown);
        for (int k = 0; k < 4; ++k)
            indicators[static_cast<size_t>(cylinderIndicator(cylinder) + k)]->setVisible(shown);
        if (cylinder % 2 == 1) indicators[static_cast<size_t>(pairIndicator(cylinder))]->setVisible(shown);
        if (shown) {
            paintAll(true, cylinderIndicator(cylinder), cylinderIndicator(cylinder) + 3);
            paint(pairIndicator(cylinder), true);
        }
    }
}

void EolWindow::paint(int indicator, bool red)
{
    const QColor colour = !tested ? kUntested : red ? colours::brightRed : colours::brightGreen;
    indicators[static_cast<size_t>(indicator)]->setColour(colour);
}

void EolWindow::paintAll(bool red, int first, int last)
{
    for (int i = first; i <= last; ++i)
        paint(i, red);
}

void EolWindow::pressStart()
{
    // the test ends in a reset of the ECU's parameters: not under another writer, and the ECU's
    // values are read again after it
    if (!ctx.writes.ownedBy(this) && !claimEcu(ctx, {this, LocalText{"ORVANE - EndOfLine"}})) return;
    // the count the ECU is told stays the test's, whatever is clicked before it acknowledges
    testCylinders = shownCylinders;
    tested = false;
    verdictLine->clear();
    saveButton->setEnabled(false);
    sequence.start(testCylinders);
    showSequence();
    testTimer.start();
}

void EolWindow::testTick()
{
    testTimer.stop();
    const bool going = sequence.tick();
    showSequence();
    if (!going) {
        endTest(); // the test is over
        showVerdict();
        return;
    }
    testTimer.start();
}

void EolWindow::showSequence()
{
    // grey until the ECU has sent its first results: red before then would read as failed
    if (sequence.phase() == 2) tested = true;
    for (int i = 0; i < kEolIndicatorCount; ++i)
        paint(i, sequence.red(i));
    if (!sequence.instruction().isEmpty()) instruction->setText(sequence.instruction());
}

void EolWindow::endTest()
{
    if (!ctx.writes.ownedBy(this)) return;
    ctx.writes.release(this);
    ctx.writes.startReadBack();
}

void EolWindow::showVerdict()
{
    const EolVerdict verdict = eolVerdict(sequence);
    verdictLine->setText(verdict.passed() ? verdict.line()
                                          : verdict.line() + QStringLiteral(": ") +
                                                verdict.failing.join(QStringLiteral(", ")));
    QPalette palette = verdictLine->palette();
    palette.setColor(QPalette::WindowText, verdict.passed() ? colours::darkGreen : colours::brightRed);
    verdictLine->setPalette(palette);
    saveButton->setEnabled(true);
}

void EolWindow::saveReport()
{
    const QString path =
        ctx.fileDialogs->saveFile(this, QStringLiteral("ORVANE - EndOfLine"),
                                  QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                  QStringLiteral("Rapporto (*.txt);;CSV (*.csv)"), QStringLiteral("txt"));
    if (path.isEmpty()) return;
    const QString version =
        QStringLiteral("%1.%2.%3").arg(state.ecuVersion[1]).arg(state.ecuVersion[2]).arg(state.ecuVersion[3]);
    const QString report = eolReport(sequence,
                                     {QDateTime::currentDateTime().toString(Qt::ISODate),
                                      QStringLiteral("orvane 1.4.3"), version, ctx.link.portName()},
                                     path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive));
    // whole or not at all: a report is never half a file
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(report.toUtf8()) < 0 || !file.commit())
        ctx.showMessage(
            QStringLiteral("ORVANE - EndOfLine"),
            QStringLiteral("Impossibile salvare il rapporto %1: %2").arg(path, file.errorString()));
}

void EolWindow::onUnload()
{
    endTest();
}
