// The cutoff, commutation and other-parameters pages on a link the test plays the
// ECU on: what each sends, in which order, what it refuses and what it leaves alone.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/fake_link.h"
#include "support/grab.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/params/parameter_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

const QColor kRed{255, 0, 0};
const QColor kBlue{0, 0, 255};

QByteArray value16(int value)
{
    QByteArray out;
    out.append(static_cast<char>(value / 256));
    out.append(static_cast<char>(value % 256));
    return out;
}

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

private:
    void connectedMenu()
    {
        click("Form1", "Command1");
        app->state.versionReceived = app->state.parametersReceived = app->state.tableReceived = 1;
        menu()->handshakeTick();
    }
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
    void echo(int id, int value)
    {
        app->dispatcher.onSerialEvent(
            frames::frame(2, QByteArray(1, '\0') + QByteArray(1, char(id)) + value16(value)));
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
    QColor textColour(const char* formName, const char* label)
    {
        return control<QLabel>(formName, label)->palette().color(QPalette::WindowText);
    }
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
    control<QRadioButton>("Form10", "Option2")->click();
    QVERIFY(!control<QLineEdit>("Form10", "Text2")->isReadOnly());
    click("Form10", "Command2");
    QVERIFY(page->writing());
    page->writeTick();
    QVERIFY(!page->writing());
    QVERIFY(link->sent.isEmpty());
    QVERIFY(control<QRadioButton>("Form10", "Option1")->isChecked());

    // the coefficient and the speed: the speed first, resent until echoed, then the coefficient
    control<QRadioButton>("Form10", "Option2")->click();
    type("Form10", "Text4", " 120 ");
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
    QCOMPARE(walk(page), QList<int>({33}));
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
    };
    for (const Case& c : cases) {
        ParameterPage* page = open(c.page);
        control<QRadioButton>(name(c.page), "Option2")->click();
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
        click(name(c.page), "Command1");
    }
    QCOMPARE(link->count(2), 2); // the refused values sent nothing

    // English names the field in English; text that is not a number is refused the same way
    app->state.languageIndex = 2;
    open(WindowId::CutoffPage);
    control<QRadioButton>("Form10", "Option2")->click();
    type("Form10", "Text1", "12a");
    click("Form10", "Command2");
    QVERIFY(message().startsWith("RPM threshold for entering CUTOFF: \"12a\""));
    QCOMPARE(link->count(2), 2);
}

void TestParameterPages::aRefusalKeepsWhatWasTyped()
{
    connectedMenu();
    app->state.parameterValues[param::changeoverRpm] = 1500;
    ParameterPage* page = open(WindowId::CommutationPage);
    control<QRadioButton>("Form11", "Option2")->click();
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
    control<QRadioButton>("Form11", "Option2")->click();
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
    QCOMPARE(textColour("Form11", "Label21"), kRed);
    QCOMPARE(textColour("Form11", "Label19"), kBlue);
    QVERIFY(!control<QCheckBox>("Form11", "Check1")->isEnabled());
    QVERIFY(!control<QRadioButton>("Form11", "Option3")->isEnabled());
    // the mode selectors and the option groups are separate sets
    QVERIFY(control<QRadioButton>("Form11", "Option1")->isChecked());
    QVERIFY(!control<QRadioButton>("Form11", "Option2")->isChecked());
    QVERIFY(control<QRadioButton>("Form11", "Option4")->isChecked());
    control<QRadioButton>("Form11", "Option2")->click();
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
    for (const char* label : {"Label16", "Label17", "Label19", "Label20", "Label21"})
        QCOMPARE(textColour("Form11", label), kBlue);
    QVERIFY(!control<QCheckBox>("Form11", "Check1")->isChecked());

    // another field written: the three values no control shows are neither sent nor forgotten
    control<QRadioButton>("Form11", "Option2")->click();
    type("Form11", "Text6", "60");
    click("Form11", "Command2");
    QCOMPARE(walk(page), QList<int>({60}));
    QCOMPARE(app->state.pendingParameterValues[param::changeoverMode], 5);
    QCOMPARE(app->state.pendingParameterValues[param::changeoverSwitchType], 7);
    QCOMPARE(app->state.pendingParameterValues[param::warmSwitching], 3);

    // the switch type alone: one write, after the seven fields before it are found equal
    link->sent.clear();
    control<QRadioButton>("Form11", "Option2")->click();
    control<QRadioButton>("Form11", "Option6")->click();
    QCOMPARE(textColour("Form11", "Label20"), kRed);
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

    control<QRadioButton>("Form13", "Option2")->click();
    const char* boxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"};
    for (const char* box : boxes)
        type("Form13", box, "65535"); // 32-bit conversion: the whole frame range
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>({2, 1, 28, 29, 10, 11, 23}));
    QCOMPARE(app->state.pendingParameterValues[param::pressureSensorType], 4);

    control<QRadioButton>("Form13", "Option2")->click();
    type("Form13", "Text3", "65536");
    click("Form13", "Command2");
    QVERIFY(message().startsWith("Pressione di taratura: \"65536\""));
    click("Form12", "Command1");
    type("Form13", "Text3", "1200,5"); // halves go to the even number
    control<QRadioButton>("Form13", "Option4")->click();
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>({29, 57}));
    QCOMPARE(app->state.parameterValues[param::calibrationPressure], 1200);
    QCOMPARE(textColour("Form13", "Label17"), kRed);
    QCOMPARE(textColour("Form13", "Label16"), kBlue);
    grabIfAsked(page, "form13");
}

void TestParameterPages::readModeDropsEditsThatWereNotSent()
{
    connectedMenu();
    app->state.parameterValues[param::coilCount] = 4;
    ParameterPage* page = open(WindowId::OtherPage);
    control<QRadioButton>("Form13", "Option2")->click();
    type("Form13", "Text1", "6");
    control<QRadioButton>("Form13", "Option1")->click();
    QCOMPARE(control<QLineEdit>("Form13", "Text1")->text(), QString("4"));
    control<QRadioButton>("Form13", "Option2")->click();
    click("Form13", "Command2");
    QCOMPARE(walk(page), QList<int>{});

    // a write in progress keeps its write button off, even back in write mode
    control<QRadioButton>("Form13", "Option2")->click();
    type("Form13", "Text1", "6");
    click("Form13", "Command2");
    control<QRadioButton>("Form13", "Option2")->click();
    QVERIFY(!control<QPushButton>("Form13", "Command2")->isEnabled());
    QCOMPARE(walk(page), QList<int>({2}));
}

void TestParameterPages::pagesNotConnected()
{
    offlineMenu();
    app->state.languageIndex = 3;
    for (WindowId id :
         {WindowId::CutoffPage, WindowId::CommutationPage, WindowId::OtherPage}) {
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
    QVERIFY(link->sent.isEmpty());
}

QTEST_MAIN(TestParameterPages)
#include "test_parameter_pages.moc"
