// The base every parameter page runs on, through a small page of each kind of editor.
#include "link/frames.h"
#include "link/parameter_catalogue.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"
#include "ui/common/colours.h"
#include "ui/params/parameter_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// Written in an order unlike the ids' own, so a walk by id shows.
const PageField kFields[] = {
    {PageField::Kind::Box,
     param::changeoverTemperature,
     {"Text1"},
     {{"Temperatura", "Temperature", "Derece"}}},
    {PageField::Kind::Box, param::changeoverRpm, {"Text2"}, {{"Giri", "Rpm", "Devir"}}},
    {PageField::Kind::Options, param::lambda1SensorType, {"Option1", "Option2", "Option3", "Option4"}, {}},
    {PageField::Kind::Check, param::warmSwitching, {"Check1"}, {}},
};

class SmallPage : public ParameterPage {
public:
    explicit SmallPage(AppContext& context) : ParameterPage(context, WindowId::LambdaPage, 100)
    {
        const auto named = [](QWidget* w, const char* name) {
            w->setObjectName(QString::fromLatin1(name));
            return w;
        };
        for (const char* name : {"Text1", "Text2"})
            named(new QLineEdit(this), name);
        // each option group in a frame of its own, as on the real pages
        auto* options = new QGroupBox(this);
        for (int i = 1; i <= 4; ++i)
            named(new QRadioButton(options), qPrintable(QStringLiteral("Option%1").arg(i)));
        named(new QCheckBox(this), "Check1");
        named(new QLabel(this), "WriteLine");
        auto* modes = new QGroupBox(this);
        named(new QRadioButton(modes), "Option5");
        named(new QRadioButton(modes), "Option6");
        named(new QPushButton(this), "Command1");
        named(new QPushButton(this), "Command2");
        bindFields(kFields, {"Option5", "Option6", "Command2", "Command1"});
    }
};

QByteArray echo(int id, int value)
{
    return frames::frame(2, QByteArray(1, '\0') + char(id) + char(value / 256) + char(value % 256));
}

} // namespace

class TestParameterPage : public FakeLinkWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        startOnFakeLink();
        app->navigator.registerWindow(WindowId::LambdaPage, [this] { return new SmallPage(app->context); });
        link->open("/dev/ttyS0", "9600,n,8,1");
        SharedState& s = app->state;
        s.parameterValues[param::changeoverTemperature] = 35;
        s.parameterValues[param::changeoverRpm] = 1800;
        s.parameterValues[param::lambda1SensorType] = 2;
        s.parameterValues[param::warmSwitching] = 1;
        s.pendingParameterValues = s.parameterValues;
    }
    void cleanup() { stopAll(); }

    void showsTheEcuAndLocksInReadMode();
    void writeWithNothingChangedSendsNothing();
    void walkSendsInPageOrderUntilEachIsConfirmed();
    void valuesNoControlCanShowAreKept();
    void refusedBoxSendsNothing();
    void notConnectedCannotWrite();
    void exitDuringAWriteStopsIt();
    void readModeShowsTheEcuAgain();

private:
    SmallPage* openPage()
    {
        app->navigator.open(WindowId::LambdaPage);
        return app->navigator.window<SmallPage>(WindowId::LambdaPage);
    }
    template <typename T> T* on(const char* name) { return control<T>("Form6", name); }
    QTimer* timer() { return on<QTimer>("Timer1"); }
    // an option's caption, in every colour group: locked, it still says which one the ECU holds
    QColor colour(const char* option)
    {
        const QPalette palette = on<QRadioButton>(option)->palette();
        const QColor enabled = palette.color(QPalette::Active, QPalette::WindowText);
        return palette.color(QPalette::Disabled, QPalette::WindowText) == enabled ? enabled : QColor();
    }
    void writeMode() { on<QRadioButton>("Option6")->click(); }
    void type(const char* box, const QString& text)
    {
        QLineEdit* edit = on<QLineEdit>(box);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    bool locked()
    {
        return on<QLineEdit>("Text1")->isReadOnly() && on<QLineEdit>("Text2")->isReadOnly() &&
               !on<QRadioButton>("Option1")->isEnabled() && !on<QCheckBox>("Check1")->isEnabled() &&
               !on<QPushButton>("Command2")->isEnabled();
    }
    // The parameter ids the ticks sent, in order.
    QList<int> writtenIds() const
    {
        QList<int> ids;
        for (const QByteArray& f : link->sent)
            if (f.size() == 9 && f[4] == 2) ids << static_cast<unsigned char>(f[6]);
        return ids;
    }
};

void TestParameterPage::showsTheEcuAndLocksInReadMode()
{
    openPage();
    QCOMPARE(on<QLineEdit>("Text1")->text(), QString("35"));
    QCOMPARE(on<QLineEdit>("Text2")->text(), QString("1800"));
    QVERIFY(on<QRadioButton>("Option3")->isChecked());
    QCOMPARE(colour("Option3"), colours::selectedOption);
    QCOMPARE(colour("Option1"), colours::otherOption);
    QVERIFY(on<QCheckBox>("Check1")->isChecked());
    QVERIFY(on<QRadioButton>("Option5")->isChecked());
    QVERIFY(locked());
    writeMode();
    QVERIFY(!on<QLineEdit>("Text1")->isReadOnly());
    QVERIFY(on<QRadioButton>("Option4")->isEnabled() && on<QCheckBox>("Check1")->isEnabled());
    QVERIFY(on<QPushButton>("Command2")->isEnabled());
    on<QRadioButton>("Option1")->click();
    QCOMPARE(colour("Option1"), colours::selectedOption);
    QCOMPARE(colour("Option3"), colours::otherOption);
    on<QRadioButton>("Option5")->click();
    QVERIFY(locked());
}

void TestParameterPage::writeWithNothingChangedSendsNothing()
{
    SmallPage* page = openPage();
    writeMode();
    on<QPushButton>("Command2")->click();
    QVERIFY(page->writing());
    QVERIFY(timer()->isActive());
    page->writeTick();
    QVERIFY(link->sent.isEmpty());
    QVERIFY(!page->writing());
    QVERIFY(!timer()->isActive());
    QVERIFY(locked());
}

void TestParameterPage::walkSendsInPageOrderUntilEachIsConfirmed()
{
    SmallPage* page = openPage();
    writeMode();
    type("Text2", " 350 ");
    type("Text1", "40");
    on<QRadioButton>("Option1")->click();
    on<QCheckBox>("Check1")->click();
    on<QPushButton>("Command2")->click();
    QCOMPARE(page->cursor().shape(), Qt::WaitCursor);
    QVERIFY(!on<QPushButton>("Command2")->isEnabled());

    // one frame a tick; an unconfirmed value goes again and holds back the rest
    page->writeTick();
    page->writeTick();
    QCOMPARE(writtenIds(), (QList<int>{param::changeoverTemperature, param::changeoverTemperature}));
    emit link->received(echo(param::changeoverTemperature, 41)); // not the value sent
    page->writeTick();
    QCOMPARE(writtenIds().size(), 3);
    QCOMPARE(writtenIds().last(), int(param::changeoverTemperature));
    emit link->received(echo(param::changeoverTemperature, 40));
    page->writeTick();
    QCOMPARE(link->sent.last(), QByteArray("PC\x00\x09\x02\x00\x0c\x01\x5e", 9));
    emit link->received(echo(param::changeoverRpm, 350));
    page->writeTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(param::lambda1SensorType, 0));
    emit link->received(echo(param::lambda1SensorType, 0));
    page->writeTick();
    QCOMPARE(link->sent.last(), *frames::writeParameter(param::warmSwitching, 0));
    QVERIFY(page->writing());
    emit link->received(echo(param::warmSwitching, 0));
    const qsizetype sent = link->sent.size();
    page->writeTick();
    QCOMPARE(link->sent.size(), sent);

    QVERIFY(!page->writing());
    QVERIFY(!timer()->isActive());
    QVERIFY(on<QRadioButton>("Option5")->isChecked());
    QVERIFY(locked());
    QCOMPARE(page->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(on<QLineEdit>("Text2")->text(), QString("350"));
    QCOMPARE(app->state.parameterValues[param::changeoverRpm], 350);
    QVERIFY(!on<QCheckBox>("Check1")->isChecked());
}

void TestParameterPage::valuesNoControlCanShowAreKept()
{
    // the page is kept: what it showed on the last visit must not linger
    SmallPage* page = openPage();
    QVERIFY(on<QRadioButton>("Option3")->isChecked());
    app->navigator.close(page);
    app->state.parameterValues[param::lambda1SensorType] = 7;
    app->state.parameterValues[param::warmSwitching] = 5;
    app->state.pendingParameterValues = app->state.parameterValues;
    openPage();
    for (const char* o : {"Option1", "Option2", "Option3", "Option4"})
        QVERIFY2(!on<QRadioButton>(o)->isChecked(), o);
    QCOMPARE(colour("Option1"), colours::otherOption);
    QVERIFY(!on<QCheckBox>("Check1")->isChecked());

    writeMode();
    type("Text1", "36");
    on<QPushButton>("Command2")->click();
    QCOMPARE(app->state.pendingParameterValues[param::lambda1SensorType], 7);
    QCOMPARE(app->state.pendingParameterValues[param::warmSwitching], 5);
    page->writeTick();
    emit link->received(echo(param::changeoverTemperature, 36));
    page->writeTick();
    QCOMPARE(writtenIds(), QList<int>{param::changeoverTemperature});
    QVERIFY(!page->writing());
}

void TestParameterPage::refusedBoxSendsNothing()
{
    SmallPage* page = openPage();
    for (int language : {1, 2}) {
        app->state.languageIndex = language;
        for (const char* typed : {"abc", "70000", "-5"}) {
            writeMode();
            type("Text1", "41"); // a good box does not go out beside a bad one
            type("Text2", QString::fromLatin1(typed));
            const auto pending = app->state.pendingParameterValues;
            on<QPushButton>("Command2")->click();
            QVERIFY2(app->navigator.isOpen(WindowId::Messages), typed);
            const QString message = control<QLabel>("Form12", "Label1")->text();
            QVERIFY2(message.contains(language == 1 ? "Giri" : "Rpm"), qPrintable(message));
            QVERIFY(!page->writing());
            QVERIFY(!timer()->isActive());
            QCOMPARE(app->state.pendingParameterValues, pending);
            page->writeTick();
            QVERIFY(link->sent.isEmpty());
            click("Form12", "Command1");
            QCOMPARE(activeName(), QString("Form6"));
            // back from the message, what the user typed is there to correct
            QCOMPARE(on<QLineEdit>("Text1")->text(), QString("41"));
            QCOMPARE(on<QLineEdit>("Text2")->text(), QString::fromLatin1(typed));
        }
    }
}

void TestParameterPage::notConnectedCannotWrite()
{
    app->state.offlineMode = 1;
    openPage();
    QVERIFY(!on<QRadioButton>("Option5")->isEnabled());
    QVERIFY(!on<QRadioButton>("Option6")->isEnabled());
    QVERIFY(locked());
    QCOMPARE(on<QLineEdit>("Text2")->text(), QString("1800"));
}

void TestParameterPage::exitDuringAWriteStopsIt()
{
    SmallPage* page = openPage();
    writeMode();
    type("Text2", "2000");
    on<QPushButton>("Command2")->click();
    page->writeTick();
    QCOMPARE(link->sent.size(), 1);
    QVERIFY(locked()); // nothing typed during the walk could go out
    on<QPushButton>("Command1")->click();
    QVERIFY(!page->isLoaded());
    QVERIFY(!timer()->isActive());
    QCOMPARE(page->cursor().shape(), Qt::ArrowCursor);
    // the user is told the value went out unconfirmed; it stays wanted only for its late echo,
    // and the ECU is read again before anything writes
    QVERIFY(control<QLabel>("Form12", "Label1")
                ->text()
                .contains("potrebbe averlo ricevuto): GIRI COMMUTAZIONE (parametro 12)"));
    QCOMPARE(app->state.pendingParameterValues[param::changeoverRpm], 2000);
    QCOMPARE(link->sent.last(), frames::readAllParameters());
    answerReadBack();
    QCOMPARE(app->state.pendingParameterValues[param::changeoverRpm],
             app->state.parameterValues[param::changeoverRpm]);
    click("Form12", "Command1");

    // back again: read mode, the ECU's values, no write under way
    openPage();
    QVERIFY(!page->writing());
    QVERIFY(locked());
    QCOMPARE(on<QLineEdit>("Text2")->text(), QString("1800"));
}

void TestParameterPage::readModeShowsTheEcuAgain()
{
    SmallPage* page = openPage();
    writeMode();
    type("Text2", "999");
    on<QRadioButton>("Option5")->click(); // read mode: the edit is dropped, not kept as if written
    QCOMPARE(on<QLineEdit>("Text2")->text(), QString("1800"));
    writeMode();
    on<QPushButton>("Command2")->click();
    page->writeTick();
    QCOMPARE(link->count(2), 0);
}

QTEST_MAIN(TestParameterPage)
#include "test_parameter_page.moc"
