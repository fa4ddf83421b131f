// Each parameter page writes one changed value to the virtual ECU over the real serial link.
#include "link/parameter_catalogue.h"
#include "sim/virtual_ecu.h"
#include "support/quiet_offscreen.h"
#include "support/window_test.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

class TestPagesRun : public VirtualEcuWindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }
    void init()
    {
        QVERIFY(startOnVirtualEcu());
        app->start();
        QVERIFY(connectToEcu());
        click("Form2", "Command4");
    }
    void cleanup() { stopAll(); }

    void eachPageWritesAValueTheEcuKeeps_data();
    void eachPageWritesAValueTheEcuKeeps();
};

void TestPagesRun::eachPageWritesAValueTheEcuKeeps_data()
{
    QTest::addColumn<QString>("archiveButton");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("readMode");
    QTest::addColumn<QString>("writeMode");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("parameter");
    QTest::newRow("lambda") << "Command1"
                            << "Form6"
                            << "Option3"
                            << "Option4"
                            << "Text6" << int(param::lambda1LeanThreshold);
    QTest::newRow("cutoff") << "Command2"
                            << "Form10"
                            << "Option1"
                            << "Option2"
                            << "Text1" << int(param::cutoffRpmThreshold);
    QTest::newRow("commutation") << "Command3"
                                 << "Form11"
                                 << "Option1"
                                 << "Option2"
                                 << "Text1" << int(param::changeoverRpm);
    QTest::newRow("indicator") << "Command4"
                               << "Form14"
                               << "Option1"
                               << "Option2"
                               << "Text1" << int(param::levelMinMv);
    QTest::newRow("other") << "Command6"
                           << "Form13"
                           << "Option1"
                           << "Option2"
                           << "Text7" << int(param::pressureCorrectionRpmThreshold);
}

void TestPagesRun::eachPageWritesAValueTheEcuKeeps()
{
    QFETCH(QString, archiveButton);
    QFETCH(QString, page);
    QFETCH(QString, writeMode);
    QFETCH(QString, readMode);
    QFETCH(QString, box);
    QFETCH(int, parameter);
    const QByteArray pageName = page.toLatin1();
    click("Form5", qPrintable(archiveButton));
    QCOMPARE(activeName(), page);
    control<QRadioButton>(pageName.constData(), qPrintable(writeMode))->click();
    const int wanted = app->state.parameterValues[parameter] + 7;
    auto* edit = control<QLineEdit>(pageName.constData(), qPrintable(box));
    edit->selectAll();
    QTest::keyClicks(edit, QString::number(wanted));
    click(pageName.constData(), "Command2");
    // the page's own write timer walks until the ECU confirms, then it is back in read mode
    QTRY_VERIFY_WITH_TIMEOUT(
        control<QRadioButton>(pageName.constData(), qPrintable(readMode))->isChecked() &&
            control<QRadioButton>(pageName.constData(), qPrintable(readMode))->isEnabled(),
        8000);
    int held = -1;
    sim->withEcu([&](VirtualEcu& ecu) { held = ecu.parameters[parameter]; });
    QCOMPARE(held, wanted);
    QCOMPARE(edit->text(), QString::number(wanted));
}

QTEST_MAIN(TestPagesRun)
#include "test_pages_run.moc"
