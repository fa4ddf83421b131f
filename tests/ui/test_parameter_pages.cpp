// The cutoff, commutation, other-parameters and level-indicator pages on a link the test plays the
// ECU on: what each sends, in which order, what it refuses and what it leaves alone.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/segment_bar.h"
#include "ui/params/level_page.h"
#include "ui/params/parameter_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

namespace {

const QColor kRed{255, 0, 0};
const QColor kBlue{0, 0, 255};

} // namespace

class TestParameterPages : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        app->start();
    }
    void cleanup() { stopAll(); }

    void cutoffWritesOneFramePerTickUntilEchoed();
    void sixteenBitPagesRefuseWhatTheyCannotConvert();
    void aRefusalKeepsWhatWasTyped();
    void commutationWritesItsNineFieldsInOrder();
    void commutationKeepsValuesNoOptionShows();
    void otherPageOrderUnitsAndRange();
    void readModeDropsEditsThatWereNotSent();
    void pagesNotConnected();
    void levelThresholdsAndGauge();
    void levelSetButtonsWaitForALiveReading();
    void levelWritesAndScrollBars();
    void levelFourStepFallingGauge();

private:
    void connectedMenu()
    {
        click("Form1", "Command1");
        app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
        menu()->handshakeTick();
    }
    // Option2 selects write mode on every page
    void writeMode(const char* formName) { control<QRadioButton>(formName, "Option2")->click(); }
    void offlineMenu()
    {
        click("Form1", "Command7");
        click("Form1", "Command1");
    }
    ParameterPage* open(WindowId id)
    {
        app->navigator.open(id);
        return app->navigator.window<ParameterPage>(id);
    }
    const char* name(WindowId id)
    {
        static QByteArray last;
        last = designName(id).toLatin1();
        return last.constData();
    }
    // what a user types into a box: everything it held replaced
    void type(const char* formName, const char* box, const QString& text)
    {
        auto* edit = control<QLineEdit>(formName, box);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
    }
    // the ECU's echo has the layout of the write it answers
    void echo(int id, int value) { app->dispatcher.onSerialEvent(*frames::writeParameter(id, value)); }
    void statusReply(int levelMv)
    {
        QByteArray payload(38, '\0');
        payload[18] = static_cast<char>(levelMv / 256); // positions 24-25
        payload[19] = static_cast<char>(levelMv % 256);
        app->dispatcher.onSerialEvent(frames::frame(3, payload));
    }
    // The indicator's ends and switch type, thresholds at 25, 50 and 75 %.
    OneBased<int, kParameterCount>& levelParameters(int minMv, int maxMv, int switchType)
    {
        auto& p = app->state.parameterValues;
        p[param::levelMinMv] = minMv;
        p[param::levelMaxMv] = maxMv;
        p[param::levelThresholdReserve] = 25;
        p[param::levelThresholdOneThird] = 50;
        p[param::levelThresholdTwoThirds] = 75;
        p[param::changeoverSwitchType] = switchType;
        return p;
    }
    // Ticks the page's write walk, the test's ECU echoing every write; the ids in the order sent.
    QList<int> walk(ParameterPage* page)
    {
        QList<int> ids;
        for (int tick = 0; tick < 20 && page->writing(); ++tick) {
            const qsizetype before = link->sent.size();
            page->writeTick();
            if (link->sent.size() == before) continue;
            const QByteArray& f = link->sent.last();
            ids << frames::byteAt(f, 7);
            echo(frames::byteAt(f, 7), frames::value16At(f, 8));
        }
        return ids;
    }
    QList<int> writesSent() const
    {
        QList<int> ids;
        for (const QByteArray& f : link->sent)
            if (frames::byteAt(f, 5) == 2) ids << frames::byteAt(f, 7);
        return ids;
    }
    QColor textColour(const char* formName, const char* option)
    {
        return control<QAbstractButton>(formName, option)->palette().color(QPalette::WindowText);
    }
    QColor lamp(const char* shape) { return control<Lamp>("Form14", shape)->colour(); }
    LevelPage* level() { return app->navigator.window<LevelPage>(WindowId::LevelPage); }
    QString message() { return control<QLabel>("Form12", "Label1")->text(); }
};

void TestParameterPages::cutoffWritesOneFramePerTickUntilEchoed()
{
    connectedMenu();
    app->state.parameterValues[param::cutoffRpmThreshold] = 1200;
    app->state.parameterValues[param::cutoffTinjThreshold] = 15;
    app->state.parameterValues[param::cutoffKgb] = 100;
    ParameterPage* page = open(WindowId::CutoffPage);
    QCOMPARE(page->windowTitle(), QString("ORVANE - Parametri cutoff"));
    QCOMPARE(control<QLineEdit>("Form10", "Text1")->text(), QString("1200"));
    QCOMPARE(control<QLineEdit>("Form10", "Text4")->text(), QString("100"));
    QVERIFY(control<QLineEdit>("Form10", "Text2")->isReadOnly());
    QVERIFY(!control<QPushButton>("Form10", "Command2")->isEnabled());
    QCOMPARE(page->findChild<QTimer*>("Timer1")->interval(), 1000);
    grabIfAsked(page, "form10");

    // nothing changed: done at the first tick, nothing sent
    writeMode("Form10");
    QVERIFY(!control<QLineEdit>("Form10", "Text2")->isReadOnly());
    click("Form10", "Command2");
    QVERIFY(page->writing());
    page->writeTick();
    QVERIFY(!page->writing());
    QVERIFY(link->sent.isEmpty());
    QVERIFY(control<QRadioButton>("Form10", "Option1")->isChecked());

    // all three: the speed first, resent until echoed, then the injection time and the coefficient
    writeMode("Form10");
    type("Form10", "Text4", " 120 ");
    type("Form10", "Text2", "16");
    type("Form10", "Text1", "1300");
    click("Form10", "Command2");
    QVERIFY(!control<QPushButton>("Form10", "Command2")->isEnabled());
    page->writeTick();
    page->writeTick();
    QCOMPARE(link->sent, QList<QByteArray>(2, QByteArray("PC\x00\x09\x02\x00\x1f\x05\x14", 9)));
    echo(param::cutoffRpmThreshold, 1299); // not what was asked: nothing moves on
    page->writeTick();
    QCOMPARE(writesSent(), QList<int>({31, 31, 31}));
    echo(param::cutoffRpmThreshold, 1300);
    QCOMPARE(control<QLineEdit>("Form10", "Text1")->text(), QString("1300"));
    QCOMPARE(walk(page), QList<int>({32, 33}));
    QCOMPARE(app->state.parameterValues[param::cutoffKgb], 120);
    QVERIFY(!page->writing());
    QVERIFY(control<QLineEdit>("Form10", "Text4")->isReadOnly());
    QVERIFY(!control<QPushButton>("Form10", "Command2")->isEnabled());
}

void TestParameterPages::sixteenBitPagesRefuseWhatTheyCannotConvert()
{
    connectedMenu();
    struct Case {
        WindowId page;
        const char* box;
        const char* field;
    };
    const Case cases[] = {
        {WindowId::CutoffPage, "Text2", "Soglia TINJ ingresso in cutoff"},
        {WindowId::CommutationPage, "Text3", "Tempo sovrapposizione B->G"},
        {WindowId::LevelPage, "Text2", "Livello massimo"},
    };
    for (const Case& c : cases) {
        ParameterPage* page = open(c.page);
        writeMode(name(c.page));
        type(name(c.page), c.box, "40000");
        click(name(c.page), "Command2");
        QVERIFY(!page->writing());
        QCOMPARE(activeName(), QString("Form12"));
        QVERIFY2(message().startsWith(QString(c.field) + ": \"40000\""), qPrintable(message()));
        QVERIFY(message().contains("32767"));
        click("Form12", "Command1");
        type(name(c.page), c.box, "32767");
        click(name(c.page), "Command2");
        QVERIFY(page->writing());
        page->writeTick();
        QCOMPARE(frames::value16At(link->sent.last(), 8), 32767);
        // left mid-write: the value on the wire may have arrived, so the ECU is read before the next
        click(name(c.page), "Command1");
        QVERIFY(message().contains("potrebbe averlo ricevuto"));
        answerReadBack();
    }
    QCOMPARE(link->count(2), 3); // the refused values sent nothing

    // English names the field in English; text that is not a number is refused the same way
    app->state.languageIndex = 2;
    open(WindowId::CutoffPage);
    writeMode("Form10");
    type("Form10", "Text1", "12a");
    click("Form10", "Command2");
    QVERIFY(message().startsWith("RPM threshold for entering CUTOFF: \"12a\""));
    QCOMPARE(link->count(2), 3);
}

void TestParameterPages::aRefusalKeepsWhatWasTyped()
{
    connectedMenu();
    app->state.parameterValues[param::changeoverRpm] = 1500;
    ParameterPage* page = open(WindowId::CommutationPage);
    writeMode("Form11");
    type("Form11", "Text1", "1800");
    control<QRadioButton>("Form11", "Option4")->click();
    type("Form11", "Text5", "-3");
    click("Form11", "Command2");
    click("Form12", "Command1"); // the page comes back to the front
    QCOMPARE(activeName(), QString("Form11"));
    QCOMPARE(control<QLineEdit>("Form11", "Text1")->text(), QString("1800"));
    QCOMPARE(control<QLineEdit>("Form11", "Text5")->text(), QString("-3"));
    QVERIFY(control<QRadioButton>("Form11", "Option4")->isChecked());
    type("Form11", "Text5", "900");
    click("Form11", "Command2");
    QCOMPARE(walk(page), QList<int>({12, 30, 59}));
}

void TestParameterPages::commutationWritesItsNineFieldsInOrder()
{
    connectedMenu();
    ParameterPage* page = open(WindowId::CommutationPage);
    QCOMPARE(page->findChild<QTimer*>("Timer1")->interval(), 1000);
    writeMode("Form11");
    const char* boxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6"};
    for (const char* box : boxes)
        type("Form11", box, "7");
    control<QRadioButton>("Form11", "Option4")->click();
    control<QRadioButton>("Form11", "Option7")->click();
    control<QCheckBox>("Form11", "Check1")->click();
    click("Form11", "Command2");
    QCOMPARE(walk(page), QList<int>({12, 14, 15, 13, 30, 59, 60, 58, 61}));
    QCOMPARE(app->state.parameterValues[param::changeoverSwitchType], 2);
    QCOMPARE(app->state.parameterValues[param::warmSwitching], 1);
    QCOMPARE(textColour("Form11", "Option7"), kRed);
    QCOMPARE(textColour("Form11", "Option5"), kBlue);
    QVERIFY(!control<QCheckBox>("Form11", "Check1")->isEnabled());
    QVERIFY(!control<QRadioButton>("Form11", "Option3")->isEnabled());
    // the mode selectors and the option groups are separate sets
    QVERIFY(control<QRadioButton>("Form11", "Option1")->isChecked());
    QVERIFY(!control<QRadioButton>("Form11", "Option2")->isChecked());
    QVERIFY(control<QRadioButton>("Form11", "Option4")->isChecked());
    writeMode("Form11");
    QVERIFY(control<QRadioButton>("Form11", "Option4")->isChecked());
    QVERIFY(control<QRadioButton>("Form11", "Option7")->isChecked());
    control<QRadioButton>("Form11", "Option1")->click();
    grabIfAsked(page, "form11");
}

void TestParameterPages::commutationKeepsValuesNoOptionShows()
{
    connectedMenu();
    app->state.parameterValues[param::changeoverMode] = 5;
    app->state.parameterValues[param::changeoverSwitchType] = 7;
    app->state.parameterValues[param::warmSwitching] = 3;
    app->state.parameterValues[param::startFilterTime] = 40;
    ParameterPage* page = open(WindowId::CommutationPage);
    for (const char* option : {"Option3", "Option4", "Option5", "Option6", "Option7"})
        QVERIFY(!control<QRadioButton>("Form11", option)->isChecked());
    for (const char* option : {"Option3", "Option4", "Option5", "Option6", "Option7"})
        QCOMPARE(textColour("Form11", option), kBlue);
    QVERIFY(!control<QCheckBox>("Form11", "Check1")->isChecked());

    // another field written: the three values no control shows are neither sent nor forgotten
    writeMode("Form11");
    type("Form11", "Text6", "60");
    click("Form11", "Command2");
    QCOMPARE(walk(page), QList<int>({60}));
    QCOMPARE(app->state.pendingParameterValues[param::changeoverMode], 5);
    QCOMPARE(app->state.pendingParameterValues[param::changeoverSwitchType], 7);
    QCOMPARE(app->state.pendingParameterValues[param::warmSwitching], 3);

    // the switch type alone: one write, after the seven fields before it are found equal
    link->sent.clear();
    writeMode("Form11");
    control<QRadioButton>("Form11", "Option6")->click();
    QCOMPARE(textColour("Form11", "Option6"), kRed);
    click("Form11", "Command2");
    QCOMPARE(walk(page), QList<int>({58}));
    QCOMPARE(app->state.parameterValues[param::changeoverSwitchType], 1);
    QCOMPARE(app->state.parameterValues[param::changeoverMode], 5);
}

void TestParameterPages::otherPageOrderUnitsAndRange()
{
    connectedMenu();
    app->state.parameterValues[param::pressureSensorType] = 4;
    app->state.parameterValues[param::calibrationPressure] = 1100;
    ParameterPage* page = open(WindowId::OtherPage);
    QCOMPARE(page->findChild<QTimer*>("Timer1")->interval(), 200);
    QVERIFY(!control<QRadioButton>("Form13", "Option3")->isChecked());
    QVERIFY(!control<QRadioButton>("Form13", "Option4")->isChecked());
    // the engine speed threshold is in rpm: the label to its right says so
    QLineEdit* speed = control<QLineEdit>("Form13", "Text7");
    page->layout()->activate();
    bool rpmBeside = false;
    for (QLabel* label : page->findChildren<QLabel*>())
        rpmBeside |= label->text() == "rpm" &&
                     qAbs(label->geometry().center().y() - speed->geometry().center().y()) < 4 &&
                     label->geometry().left() > speed->geometry().right();
    QVERIFY(rpmBeside);

    writeMode("Form13");
    const char* boxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"};
    for (const char* box : boxes)
        type("Form13", box, "65535"); // 32-bit conversion: the whole frame range
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>({2, 1, 28, 29, 10, 11, 23}));
    QCOMPARE(app->state.pendingParameterValues[param::pressureSensorType], 4);

    writeMode("Form13");
    type("Form13", "Text3", "65536");
    click("Form13", "Command2");
    QVERIFY(message().startsWith("Pressione di taratura: \"65536\""));
    click("Form12", "Command1");
    type("Form13", "Text3", "1200,5"); // halves go to the even number
    control<QRadioButton>("Form13", "Option4")->click();
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>({29, 57}));
    QCOMPARE(app->state.parameterValues[param::calibrationPressure], 1200);
    QCOMPARE(textColour("Form13", "Option4"), kRed);
    QCOMPARE(textColour("Form13", "Option3"), kBlue);
    grabIfAsked(page, "form13");
}

void TestParameterPages::readModeDropsEditsThatWereNotSent()
{
    connectedMenu();
    app->state.parameterValues[param::coilCount] = 4;
    ParameterPage* page = open(WindowId::OtherPage);
    writeMode("Form13");
    type("Form13", "Text1", "6");
    control<QRadioButton>("Form13", "Option1")->click();
    QCOMPARE(control<QLineEdit>("Form13", "Text1")->text(), QString("4"));
    writeMode("Form13");
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>{});

    // a write in progress keeps its write button off, even back in write mode
    writeMode("Form13");
    type("Form13", "Text1", "6");
    click("Form13", "Command2");
    writeMode("Form13");
    QVERIFY(!control<QPushButton>("Form13", "Command2")->isEnabled());
    QCOMPARE(walk(page), QList<int>({2}));
}

void TestParameterPages::pagesNotConnected()
{
    offlineMenu();
    app->state.languageIndex = 3;
    for (WindowId id :
         {WindowId::CutoffPage, WindowId::CommutationPage, WindowId::OtherPage, WindowId::LevelPage}) {
        ParameterPage* page = open(id);
        QVERIFY(page->windowTitle().endsWith("Beyne bagli degil", Qt::CaseInsensitive));
        QVERIFY(!control<QRadioButton>(name(id), "Option1")->isEnabled());
        QVERIFY(!control<QRadioButton>(name(id), "Option2")->isEnabled());
        QVERIFY(!control<QPushButton>(name(id), "Command2")->isEnabled());
        for (QLineEdit* box : page->findChildren<QLineEdit*>())
            QVERIFY(box->isReadOnly());
        grabIfAsked(page, designName(id).toLower() + "_offline_tr");
        click(name(id), "Command1");
    }
    QCOMPARE(control<QLabel>("Form10", "Label5")->text(), QString("MANAGEMENT CUTOFF"));
    QCOMPARE(control<QLabel>("Form14", "Label19")->text(), QString("Degerleri"));
    QVERIFY(!level()->findChild<QTimer*>("Timer2")->isActive()); // no gauge without an ECU
    QVERIFY(control<QLineEdit>("Form14", "Text6")->text().isEmpty());
    QVERIFY(link->sent.isEmpty());
}

void TestParameterPages::levelThresholdsAndGauge()
{
    connectedMenu();
    auto& p = levelParameters(500, 4500, 1);
    open(WindowId::LevelPage);
    QCOMPARE(control<QLabel>("Form14", "Label13")->text(), QString("1500"));
    QCOMPARE(control<QLabel>("Form14", "Label14")->text(), QString("2500"));
    QCOMPARE(control<QLabel>("Form14", "Label17")->text(), QString("3500"));
    QCOMPARE(control<QScrollBar>("Form14", "VScroll3")->value(), 25);
    QCOMPARE(control<QScrollBar>("Form14", "VScroll1")->value(), 75);
    QCOMPARE(control<QLabel>("Form14", "Label23")->text(), QString("TRX 310"));
    QCOMPARE(control<QLabel>("Form14", "Label4")->text(), QString("Soglia 1/2->2/3"));
    QVERIFY(control<Lamp>("Form14", "Shape5")->isHidden());
    QVERIFY(control<QLineEdit>("Form14", "Text7")->isHidden());

    // the gauge runs from the start: a status request each tick, the reading and the lamps
    QTimer* gaugeTimer = level()->findChild<QTimer*>("Timer2");
    QVERIFY(gaugeTimer->isActive());
    QCOMPARE(gaugeTimer->interval(), 300);
    statusReply(2500);
    level()->gaugeTick();
    QCOMPARE(link->sent.last(), frames::readStatus());
    QCOMPARE(control<QLineEdit>("Form14", "Text6")->text(), QString("2500"));
    QCOMPARE(lamp("Shape1"), kRed);
    QCOMPARE(lamp("Shape2"), QColor(0, 255, 0));
    QCOMPARE(lamp("Shape3"), QColor(0, 255, 0));
    QCOMPARE(lamp("Shape4"), QColor(0, 192, 0));
    grabIfAsked(level(), "form14");

    // the switch without a gauge: its name, the thresholds as designed, in every language
    click("Form14", "Command1");
    QVERIFY(!gaugeTimer->isActive());
    p[param::changeoverSwitchType] = 0;
    app->state.languageIndex = 2;
    open(WindowId::LevelPage);
    QCOMPARE(control<QLabel>("Form14", "Label23")->text(), QString("SWITCH"));
    QCOMPARE(control<QLabel>("Form14", "Label3")->text(), QString("SOGLIA Ris -> 1/3"));
    QCOMPARE(control<QPushButton>("Form14", "Command3")->text(), QString("Set as maximum value"));
    grabIfAsked(level(), "form14_switch_en");
}

void TestParameterPages::levelSetButtonsWaitForALiveReading()
{
    connectedMenu();
    auto& p = levelParameters(500, 4500, 0);
    app->state.liveStatus.levelMv = 3000; // left by an earlier visit
    open(WindowId::LevelPage);
    QCOMPARE(app->state.liveStatus.levelMv, 0);
    writeMode("Form14");
    QPushButton* setMax = control<QPushButton>("Form14", "Command3");
    QPushButton* setMin = control<QPushButton>("Form14", "Command4");
    QVERIFY(control<QPushButton>("Form14", "Command2")->isEnabled());
    QVERIFY(!setMax->isEnabled() && !setMin->isEnabled());
    level()->gaugeTick(); // no answer yet: the box shows the load-time 0
    QCOMPARE(control<QLineEdit>("Form14", "Text6")->text(), QString("0"));
    QVERIFY(!setMax->isEnabled());
    statusReply(3900);
    QVERIFY(!setMax->isEnabled()); // not before the box shows it
    level()->gaugeTick();
    QVERIFY(setMax->isEnabled() && setMin->isEnabled());

    // another window over the page and back: a new reading is awaited
    app->navigator.open(WindowId::Messages);
    click("Form12", "Command1");
    QVERIFY(!setMax->isEnabled());
    statusReply(3900);
    level()->gaugeTick();
    QVERIFY(setMax->isEnabled());

    // set maximum: parameter 20 alone, whatever the boxes hold
    type("Form14", "Text3", "30");
    type("Form14", "Text1", "700");
    link->sent.clear();
    setMax->click();
    QVERIFY(!setMax->isEnabled() && !setMin->isEnabled());
    QVERIFY(!control<QPushButton>("Form14", "Command2")->isEnabled());
    QVERIFY(!level()->findChild<QTimer*>("Timer2")->isActive());
    QCOMPARE(walk(level()), QList<int>({20}));
    QCOMPARE(link->sent.first(), *frames::writeParameter(20, 3900));
    QCOMPARE(p[param::levelMaxMv], 3900);
    QCOMPARE(p[param::levelMinMv], 500);
    QCOMPARE(control<QLineEdit>("Form14", "Text3")->text(), QString("25"));
    QCOMPARE(control<QLabel>("Form14", "Label13")->text(), QString("1350"));
    QVERIFY(level()->findChild<QTimer*>("Timer2")->isActive());
    QVERIFY(!setMax->isEnabled()); // read mode again

    // set minimum: parameter 19 alone, the live reading it shows
    writeMode("Form14");
    statusReply(420);
    level()->gaugeTick();
    link->sent.clear();
    setMin->click();
    QCOMPARE(walk(level()), QList<int>({19}));
    QCOMPARE(p[param::levelMinMv], 420);

    // a reading the 16-bit box could not hold is refused, naming the field it was meant for
    writeMode("Form14");
    statusReply(40000);
    level()->gaugeTick();
    link->sent.clear();
    setMax->click();
    QVERIFY(message().startsWith("Livello massimo: \"40000\""));
    QVERIFY(!level()->writing());
    QCOMPARE(link->count(2), 0);
}

void TestParameterPages::levelWritesAndScrollBars()
{
    connectedMenu();
    auto& p = levelParameters(500, 4500, 0);
    LevelPage* page = level();
    open(WindowId::LevelPage);
    QScrollBar* bar2 = control<QScrollBar>("Form14", "VScroll2");
    QVERIFY(!bar2->isEnabled());
    writeMode("Form14");
    QVERIFY(bar2->isEnabled());
    bar2->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(control<QLineEdit>("Form14", "Text4")->text(), QString("51"));
    QCOMPARE(control<QLabel>("Form14", "Label14")->text(), QString("2540"));
    // given up in read mode: the bar, its box and its reading show the ECU again
    control<QRadioButton>("Form14", "Option1")->click();
    QCOMPARE(bar2->value(), 50);
    QCOMPARE(control<QLineEdit>("Form14", "Text4")->text(), QString("50"));
    QCOMPARE(control<QLabel>("Form14", "Label14")->text(), QString("2500"));
    writeMode("Form14");
    bar2->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    type("Form14", "Text5", "80"); // typed: the bar and the reading follow
    QCOMPARE(control<QScrollBar>("Form14", "VScroll1")->value(), 80);
    QCOMPARE(control<QLabel>("Form14", "Label17")->text(), QString("3700"));
    click("Form14", "Command2");
    QCOMPARE(walk(page), QList<int>({17, 18}));
    QCOMPARE(p[param::levelThresholdOneThird], 51);

    // all five in their order: minimum, maximum, thresholds 1 to 3
    writeMode("Form14");
    for (const char* box : {"Text5", "Text4", "Text3", "Text2", "Text1"})
        type("Form14", box, "10");
    click("Form14", "Command2");
    QCOMPARE(page->findChild<QTimer*>("Timer1")->interval(), 300);
    QCOMPARE(walk(page), QList<int>({19, 20, 16, 17, 18}));
    QCOMPARE(control<QScrollBar>("Form14", "VScroll3")->value(), 10);
    QCOMPARE(control<QLabel>("Form14", "Label13")->text(), QString("10"));
}

void TestParameterPages::levelFourStepFallingGauge()
{
    connectedMenu();
    levelParameters(4500, 500, 2);
    open(WindowId::LevelPage);
    QCOMPARE(control<QLabel>("Form14", "Label13")->text(), QString("3500"));
    QCOMPARE(control<QLabel>("Form14", "Label23")->text(), QString("TRX 410"));
    QCOMPARE(control<QLabel>("Form14", "Label22")->text(), QString("Soglia Ris->1/4"));
    QCOMPARE(control<QLineEdit>("Form14", "Text7")->text(), QString("8"));
    QVERIFY(!control<Lamp>("Form14", "Shape5")->isHidden());
    QVERIFY(!control<QLabel>("Form14", "Label16")->isHidden());

    // above T(8) = 4180 on a falling sensor: reserve, blinking, every green lamp off
    QString blink;
    for (int tick = 0; tick < 6; ++tick) {
        statusReply(4300);
        level()->gaugeTick();
        blink += lamp("Shape1") == kRed ? 'B' : 'd';
        for (const char* green : {"Shape2", "Shape3", "Shape4", "Shape5"})
            QCOMPARE(lamp(green), QColor(0, 192, 0));
    }
    QCOMPARE(blink, QString("ddBBBd"));
    statusReply(4000);
    level()->gaugeTick();
    QCOMPARE(lamp("Shape5"), QColor(0, 255, 0));
    QCOMPARE(lamp("Shape2"), QColor(0, 192, 0));
    grabIfAsked(level(), "form14_trx410");
}

QTEST_MAIN(TestParameterPages)
#include "test_parameter_pages.moc"
