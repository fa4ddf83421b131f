// What every window gets from the window layer: captions in each language, typed ids, timers that
// stop with the window, activation by the program rather than the window manager, the input rule.
#include "link/input_rule.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/params/parameter_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// Texts that are rightly the same in English as in Italian, or blank. nullptr matches anything.
struct SameEverywhere {
    const char* window;
    const char* control;
    const char* text;
    const char* why;
};
const SameEverywhere kSameEverywhere[] = {
    {nullptr, nullptr, "EXIT", "the button reads EXIT in Italian too"},
    {nullptr, nullptr, "ORVANE", "the product's name"},
    {nullptr, nullptr, "Sequential Injection System", "the product's subtitle, English everywhere"},
    {"Form1", "Command1", "MENU", "the same word in both languages"},
    {"Form2", "Command2", "TEST EOL", "the production line's name for the test"},
    {"Form2", "HandshakeLine", nullptr, "a status line, blank until the handshake runs"},
    {"Form5", "TransferLine", nullptr, "a status line, blank until something runs"},
    {nullptr, "WriteLine", nullptr, "a page's write progress, blank until it writes"},
    {nullptr, "DatalogOpen", nullptr, "names the last recording, blank until one stops"},
    {"Form4", "SearchResult", nullptr, "what the search for the ECU found, blank until it runs"},
    {"Form6", "Emulation1", nullptr, "kept hidden, never shown nor sent"},
    {"Form6", "Emulation2", nullptr, "kept hidden, never shown nor sent"},
    {"Form3", "Label10", "x min", "a unit"},
    {"Form3", "Label12", "Gas", "the same word in both languages"},
    {"Form3", "Frame6", "KGBCOR", "the ECU's own name of the value"},
    {"Form3", "Frame9", "KGBTAB", "the ECU's own name of the value"},
    {"Form4", "Command1", "OK", "the same word in both languages"},
    {"Form16", "Frame3", "Tinj msec", "the ECU's own name of the value and a unit"},
    {"Form16", "Frame4", "Tinj Gas msec", "the ECU's own name of the value and a unit"},
    {"Form16", "Frame5", "RPM xmin", "a unit"},
    {"Form16", "Label22", "x min", "a unit"},
    {"Form16", "Label10", "RPM", "the grid's axis, a unit"},
    {"Form16", "Label9", "TINJ", "the grid's axis, the ECU's own name"},
    {"Form16", "Command3", "OK", "the same word in both languages"},
    {"Form16", "Text15", nullptr, "a status line, blank until the ECU or a calibration says something"},
    {"Form16", "Label5_*", nullptr, "an injector's number and ON or OFF"},
    {"Form16", nullptr, "Lambda1", "the sensor's name on the line"},
    {"Form16", "EditSet", "=", "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditAdd", "+", "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditSubtract", "-", "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditScale", "%", "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditRows", nullptr, "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditColumns", nullptr, "a block edit's symbol; its tip is in the language"},
    {"Form16", "EditBoth", nullptr, "a block edit's symbol; its tip is in the language"},
    {"Form4", "Command2", "Cancel", "left in English by design"},
    {"Form7", "Label*", nullptr, "the Turkish download steps are the English ones"},
    {"Form9", nullptr, nullptr, "the production line reads Italian in every language"},
    {"Form12", nullptr, nullptr, "title and text are each message's own"},
    {"Form15", "Label1", nullptr, "the readout's axis, a unit; blank in Turkish by design"},
    {"Form15", "Label2", nullptr, "the readout's axis, the ECU's own name; blank in Turkish by design"},
    {"Form15", "Label3", "", "the axis title is blank in Turkish by design"},
    {"Form15", "Label4", "KGB", "the ECU's own name of the value"},
    {"Form15", "Label29", "KGB", "the ECU's own name of the value"},
    {"Form10", "Label6", "rpm", "a unit"},
    {"Form10", "Label7", "msec", "a unit"},
    {"Form10", "Label4", "KGB in CUTOFF", "the ECU's own name of the value"},
    {"Form11", "Option6", "TRX 310", "a switch model's name"},
    {"Form11", "Option7", "TRX 410", "a switch model's name"},
    {"Form13", "Option3", "PRS 210", "a pressure sensor model's name"},
    {"Form13", "Option4", "PRS 620", "a pressure sensor model's name"},
    {"Form14", "Label3", "SOGLIA Ris -> 1/3", "without a gauge the thresholds keep their designed captions"},
    {"Form14", "Label4", "SOGLIA 1/3 -> 2/3", "without a gauge the thresholds keep their designed captions"},
    {"Form14", "Label5", "SOGLIA 2/3 -> 3/3", "without a gauge the thresholds keep their designed captions"},
    {"Form14", "Label13", nullptr, "a threshold's reading in mV"},
    {"Form14", "Label14", nullptr, "a threshold's reading in mV"},
    {"Form14", "Label17", nullptr, "a threshold's reading in mV"},
    {"Form14", "Label16", "%", "a unit"},
    {"Form8", "Frame2", "Tinj Gas", "the ECU's own name of the value"},
    {"Form8", "Frame8", "RPM", "a unit"},
    {"Form8", "Frame9", "TInj", "the ECU's own name of the value"},
    {"Form8", "Label11", "SAFETY", "the ECU's own name of the state"},
    {"Form8", "Command2", "OK", "the same word in both languages"},
    {"Form8", "procedureState", nullptr, "a status line, blank until sampling runs"},
    {"Form8", "lastDecision", nullptr, "a status line, blank while not connected"},
    {"Form17", "Scales", nullptr, "the ranges of the units shown, blank until a datalog is open"},
};

bool sameByDesign(const QString& window, const QString& control, const QString& text)
{
    // the graphical view's axis labels and breakpoints are numbers in every language
    bool number = false;
    text.toInt(&number);
    if (number && window == QLatin1String("Form15")) return true;
    const auto matches = [](const char* want, const QString& have) {
        return !want || have == QLatin1String(want);
    };
    // a control name ending in '*' stands for a control array
    const auto matchesControl = [&matches](const char* want, const QString& have) {
        const QLatin1String name(want ? want : "");
        if (name.endsWith(QLatin1Char('*'))) return have.startsWith(name.chopped(1));
        return matches(want, have);
    };
    for (const SameEverywhere& s : kSameEverywhere)
        if (matches(s.window, window) && matchesControl(s.control, control) && matches(s.text, text))
            return true;
    return false;
}

// The title and the text of every named button, label and frame the window shows, by design name.
// Value boxes and lists hold values, not captions; an image has no text.
QHash<QString, QString> shownTexts(Form* form)
{
    QHash<QString, QString> texts{{QStringLiteral("#title"), form->windowTitle()}};
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (!button->text().isEmpty() || button->icon().isNull())
                texts.insert(w->objectName(), button->text());
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->pixmap().isNull()) texts.insert(w->objectName(), label->text());
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            texts.insert(w->objectName(), group->title());
        }
    }
    return texts;
}

} // namespace

class TestWindowLayer : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init() { startOnFakeLink(); }
    void cleanup() { stopAll(); }

    void everyCaptionIsSetAndTranslated();
    void aChosenLanguageReachesEveryOpenWindow();
    void everyOptionIsNamedAndTakesAClickOnItsWords();
    void unknownWindowIsAProgrammingError();
    void menuSaysWhenAWindowIsMissing();
    void closingAWindowStopsItsTimers();
    void titleBarCloseWorksLikeExit();
    void clickActivatesAWindowBelow();
    void endingTheProgramUnloadsEveryWindowFrontFirst();
    void boxReadingAcceptsWholeNumbersAndRounds();
    void boxReadingRefusesNamingTheField();
    void noCaptionIsCut();

private:
    // Opens the window alone as the user would find it in this language and mode.
    Form* openIn(WindowId id, int language, int offline)
    {
        app->state.languageIndex = language;
        app->state.offlineMode = offline;
        app->navigator.open(id);
        Form* f = app->navigator.window(id);
        if (id == WindowId::Start) {
            // the start window begins the run afresh; both choices are made on it
            click("Form1", qPrintable(QStringLiteral("Command%1").arg(2 + language)));
            if (offline == 1) click("Form1", "Command7");
        }
        return f;
    }
};

void TestWindowLayer::everyCaptionIsSetAndTranslated()
{
    QStringList problems;
    int windows = 0;
    for (WindowId id : kAllWindows) {
        if (!app->navigator.has(id)) continue;
        ++windows;
        for (int offline : {0, 1}) {
            QHash<QString, QString> italian;
            for (int language : {1, 2, 3}) {
                Form* f = openIn(id, language, offline);
                const QHash<QString, QString> texts = shownTexts(f);
                grabIfAsked(f, QStringLiteral("%1_%2%3")
                                   .arg(designName(id))
                                   .arg(language)
                                   .arg(offline ? "_offline" : ""));
                app->navigator.close(f);
                for (auto t = texts.begin(); t != texts.end(); ++t) {
                    if (sameByDesign(designName(id), t.key(), t.value())) continue;
                    const QString where = QStringLiteral("%1.%2 (language %3, offline %4): ")
                                              .arg(designName(id), t.key())
                                              .arg(language)
                                              .arg(offline);
                    if (t.value().trimmed().isEmpty())
                        problems << where + QStringLiteral("blank");
                    else if (language == 2 && t.value() == italian.value(t.key()))
                        problems << where + QStringLiteral("Italian in English: ") + t.value();
                }
                if (language == 1) italian = texts;
            }
        }
    }
    QVERIFY(windows >= 7);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestWindowLayer::aChosenLanguageReachesEveryOpenWindow()
{
    QList<WindowId> ids;
    for (WindowId id : kAllWindows)
        if (app->navigator.has(id) && id != WindowId::Messages) ids << id;
    QVERIFY(ids.size() >= 7);
    QStringList problems;
    for (int offline : {1, 0}) {
        // what each window shows when it opens in English and in Turkish
        QHash<WindowId, QHash<QString, QString>> fresh[4];
        for (int language : {2, 3}) {
            for (WindowId id : ids) {
                Form* f = openIn(id, language, offline);
                fresh[language][id] = shownTexts(f);
                app->navigator.close(f);
            }
        }
        // all open at once in Italian; the language is chosen on the start window
        app->navigator.open(WindowId::Start);
        if (offline == 1) click("Form1", "Command7");
        for (WindowId id : ids)
            app->navigator.open(id);
        for (int language : {2, 3}) {
            click("Form1", qPrintable(QStringLiteral("Command%1").arg(2 + language)));
            for (WindowId id : ids) {
                const QHash<QString, QString> shown = shownTexts(app->navigator.window(id));
                for (auto t = fresh[language][id].begin(); t != fresh[language][id].end(); ++t)
                    if (shown.value(t.key()) != t.value())
                        problems << QStringLiteral(
                                        "%1.%2 (language %3, offline %4): \"%5\", opened afresh \"%6\"")
                                        .arg(designName(id), t.key(), QString::number(language),
                                             QString::number(offline), shown.value(t.key()), t.value());
            }
        }
        for (WindowId id : ids)
            if (id != WindowId::Start) app->navigator.close(app->navigator.window(id));
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));

    // Qt's own dialogs follow, where the machine has Qt's translations
    const bool translated =
        !QCoreApplication::translate("QPlatformTheme", "&Yes").startsWith(QLatin1String("&Yes"));
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_tr.qm")))
        QVERIFY(translated);
    click("Form1", "Command4");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Yes"));
}

void TestWindowLayer::everyOptionIsNamedAndTakesAClickOnItsWords()
{
    QStringList unnamed;
    for (WindowId id : kAllWindows) {
        if (!app->navigator.has(id)) continue;
        for (int language : {1, 3}) {
            Form* f = openIn(id, language, 0);
            for (QAbstractButton* b : f->findChildren<QAbstractButton*>()) {
                const bool option = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
                const bool picture = b->text().isEmpty() && !b->icon().isNull();
                if ((option || picture) && b->accessibleName().trimmed().isEmpty())
                    unnamed << designName(id) + QLatin1Char('.') + b->objectName();
                if (qobject_cast<QRadioButton*>(b) && b->accessibleName() != b->text() &&
                    id != WindowId::EndOfLine)
                    unnamed << designName(id) + QLatin1Char('.') + b->objectName() +
                                   QStringLiteral(" says ") + b->text() + QStringLiteral(", named ") +
                                   b->accessibleName();
            }
            app->navigator.close(f);
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));

    // the words of an option are part of it
    Form* page = openIn(WindowId::CommutationPage, 1, 0);
    control<QRadioButton>("Form11", "Option2")->click();
    auto* option = page->findChild<QRadioButton*>("Option7");
    QVERIFY(option->width() > 40);
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->width() - 8, option->height() / 2));
    QVERIFY(option->isChecked());
    QCOMPARE(option->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

void TestWindowLayer::unknownWindowIsAProgrammingError()
{
    Navigator navigator;
    QList<WindowId> missing;
    navigator.missingWindow = [&missing](WindowId id) { missing << id; };
    navigator.registerWindow(WindowId::Status, [this] { return new Form(app->context, WindowId::Status); });
    QVERIFY(navigator.open(WindowId::Status));
    QVERIFY(!navigator.open(WindowId::LevelPage));
    QCOMPARE(missing, QList<WindowId>{WindowId::LevelPage});
    QCOMPARE(navigator.active()->id(), WindowId::Status);
    QVERIFY(!navigator.window(WindowId::Archive));
    QCOMPARE(missing.last(), WindowId::Archive);
    QVERIFY(!navigator.isOpen(WindowId::Archive));
}

void TestWindowLayer::menuSaysWhenAWindowIsMissing()
{
    bool missingCalled = false;
    app->navigator.missingWindow = [&missingCalled](WindowId) { missingCalled = true; };
    app->start();
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    menu()->handshakeTick();
    const bool archiveExists = app->navigator.has(WindowId::Archive);
    const qsizetype sent = link->sent.size();
    click("Form2", "Command4");
    QVERIFY(!missingCalled);
    QCOMPARE(activeName(), QString(archiveExists ? "Form5" : "Form12"));
    if (archiveExists) return;
    QCOMPARE(link->sent.size(), sent);
    QVERIFY(control<QLabel>("Form12", "Label1")->text().contains("non e' ancora disponibile"));
    click("Form12", "Command1");
    QCOMPARE(activeName(), QString("Form2"));
}

void TestWindowLayer::closingAWindowStopsItsTimers()
{
    for (WindowId id : kAllWindows) {
        if (!app->navigator.has(id)) continue;
        app->navigator.open(id);
        Form* f = app->navigator.window(id);
        for (QTimer* t : f->timers())
            t->start();
        app->navigator.close(f);
        QVERIFY2(!f->isLoaded(), qPrintable(designName(id)));
        for (QTimer* t : f->timers())
            QVERIFY2(!t->isActive(), qPrintable(designName(id) + QLatin1Char('.') + t->objectName()));
    }
}

void TestWindowLayer::titleBarCloseWorksLikeExit()
{
    app->start();
    click("Form1", "Command1"); // connected: the menu's handshake is under way
    QVERIFY(menu()->findChild<QTimer*>("Timer1")->isActive());
    menu()->close();
    QVERIFY(!menu()->isLoaded());
    QVERIFY(!menu()->isVisible());
    QVERIFY(!app->navigator.isOpen(WindowId::MainMenu));
    QCOMPARE(activeName(), QString("Form1"));
    for (QTimer* t : menu()->timers())
        QVERIFY(!t->isActive());
    QCOMPARE(menu()->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!ended);

    // the window is kept and opens again
    click("Form1", "Command1");
    QCOMPARE(activeName(), QString("Form2"));

    form("Form2")->close();
    form("Form1")->close();
    QVERIFY(ended);
}

void TestWindowLayer::endingTheProgramUnloadsEveryWindowFrontFirst()
{
    app->start();
    click("Form1", "Command1");
    app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
    menu()->handshakeTick();
    app->navigator.open(WindowId::Archive);
    app->navigator.open(WindowId::CutoffPage);
    control<QRadioButton>("Form10", "Option2")->click();
    auto* rpm = control<QLineEdit>("Form10", "Text1");
    rpm->selectAll();
    QTest::keyClicks(rpm, "1300");
    click("Form10", "Command2");
    app->navigator.window<ParameterPage>(WindowId::CutoffPage)->writeTick(); // one write on the line
    QCOMPARE(link->count(2), 1);

    QStringList unloaded;
    Navigator* navigator = &app->navigator;
    for (const char* name : {"Form1", "Form2", "Form5", "Form10"})
        connect(form(name), &Form::unloaded, this, [navigator, &unloaded, name] {
            unloaded << QString::fromLatin1(name);
            // nothing opens on the way out: no message waits for a reader
            QVERIFY(!navigator->isOpen(WindowId::Messages));
        });
    const qsizetype sent = link->sent.size();
    const qsizetype told = messages.size();
    FakeLink* line = link.get();
    endApp();
    QCOMPARE(unloaded, QStringList({"Form10", "Form5", "Form2", "Form1"}));
    // the page's report of the write it left ran; on the line only what the page's EXIT sends (the
    // ECU read back after an unfinished write), then the start window closed the port
    QCOMPARE(messages.size(), told + 1);
    QVERIFY2(messages.last().contains("(parametro 31)"), qPrintable(messages.last()));
    QCOMPARE(line->sent.mid(sent), QList<QByteArray>{frames::readAllParameters()});
    QVERIFY(!line->isOpen());
}

void TestWindowLayer::clickActivatesAWindowBelow()
{
    app->start();
    click("Form1", "Command7");
    click("Form1", "Command1");
    click("Form2", "Command3");
    QCOMPARE(activeName(), QString("Form3"));
    // a click that lands on a control of a window below
    QTest::mouseClick(control<QLabel>("Form2", "Label3"), Qt::LeftButton);
    QCOMPARE(activeName(), QString("Form2"));
    // closing it returns to the one last active, not to the one it was opened from
    click("Form2", "Command1");
    QCOMPARE(activeName(), QString("Form3"));
    QTest::mouseClick(control<QLabel>("Form1", "Label16"), Qt::LeftButton);
    QCOMPARE(activeName(), QString("Form1"));
    QTest::mouseClick(control<QLabel>("Form3", "Label10"), Qt::LeftButton);
    QCOMPARE(activeName(), QString("Form3"));
    QVERIFY(!ended);
}

void TestWindowLayer::boxReadingAcceptsWholeNumbersAndRounds()
{
    const FieldRule whole{{"Giri"}};
    FieldRule rounding = whole;
    rounding.roundsFractions = true;
    const FieldRule narrow{{"Giri"}, 10, 20, true};
    const struct {
        const char* text;
        const FieldRule& rule;
        long long value;
    } accepted[] = {
        {" 350 ", whole, 350},   {"0", whole, 0},
        {"65535", whole, 65535}, {"007", whole, 7},
        {"2.5", rounding, 2},    {"3.5", rounding, 4},
        {"2,5", rounding, 2},    {"0.5000001", rounding, 1},
        {"0.5", rounding, 0},    {"65535.4", rounding, 65535},
        {"10", narrow, 10},      {"20.5", narrow, 20},
        {"9.6", narrow, 10},
    };
    for (const auto& a : accepted) {
        const BoxReading r = readWholeNumber(QString::fromUtf8(a.text), a.rule, Language::English);
        QVERIFY2(r.value && *r.value == a.value, a.text);
        QVERIFY(r.refusal.isEmpty());
    }
}

void TestWindowLayer::boxReadingRefusesNamingTheField()
{
    const FieldRule whole{{"Giri motore", "Engine speed", "Motor devri"}};
    FieldRule rounding = whole;
    rounding.roundsFractions = true;
    const FieldRule narrow{whole.name, 10, 20, true};
    const QString huge(1000, QLatin1Char('7'));
    const struct {
        QString text;
        const FieldRule& rule;
    } refused[] = {
        {"", rounding},          {"   ", rounding},
        {"-1", rounding},        {"+1", rounding},
        {"1e3", rounding},       {"1,000", rounding},
        {"65536", rounding},     {"99999999999999999999999", rounding},
        {"abc", rounding},       {"1 2", rounding},
        {"2.5", whole},          {"65535.5", rounding},
        {"9.4", narrow},         {"20.6", narrow},
        {"21", narrow},          {huge, rounding},
        {huge + ".5", rounding}, {QStringLiteral("３５０"), rounding}, // digits of another script
    };
    for (const auto& r : refused) {
        for (Language language : {Language::Italian, Language::English, Language::Turkish}) {
            const BoxReading reading = readWholeNumber(r.text, r.rule, language);
            const QString what =
                QStringLiteral("\"%1\" in language %2").arg(r.text.left(30)).arg(int(language));
            QVERIFY2(!reading.value, qPrintable(what));
            QVERIFY2(reading.refusal.contains(r.rule.name.in(language)),
                     qPrintable(what + ": " + reading.refusal));
            QVERIFY2(!reading.refusalTitle.isEmpty(), qPrintable(what));
            QVERIFY2(reading.refusal.size() < 200, qPrintable(what));
        }
    }
    // the words are the chosen language's, not only the name
    QVERIFY(readWholeNumber("abc", whole, Language::English).refusal.contains("Nothing was sent"));
}

QTEST_MAIN(TestWindowLayer)
void TestWindowLayer::noCaptionIsCut()
{
    QStringList cut;
    for (WindowId id : kAllWindows) {
        if (!app->navigator.has(id)) continue;
        for (int language : {1, 2, 3}) {
            Form* f = openIn(id, language, 0);
            if (f->layout()) f->layout()->activate();
            for (QWidget* w : f->findChildren<QWidget*>()) {
                if (!w->isVisibleTo(f) || w->objectName().isEmpty()) continue;
                QString shown;
                int room = w->width();
                if (auto* b = qobject_cast<QPushButton*>(w)) {
                    shown = b->text();
                    room -= 6; // the frame of the button
                } else if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap() && l->pixmap().isNull()) {
                    shown = l->text();
                }
                if (shown.isEmpty() || shown.contains(QLatin1Char('\n')) ||
                    shown.startsWith(QLatin1Char('<')))
                    continue;
                if (w->fontMetrics().horizontalAdvance(shown) > room)
                    cut << QStringLiteral("%1.%2 (language %3): \"%4\" in %5 px")
                               .arg(designName(id), w->objectName())
                               .arg(language)
                               .arg(shown)
                               .arg(w->width());
            }
            app->navigator.close(f);
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

#include "test_window_layer.moc"
