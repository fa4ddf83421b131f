#pragma once

#include "app/application.h"
#include "link/frames.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/fake_dialogs.h"
#include "support/fake_link.h"
#include "support/read_back_replies.h"
#include "ui/menu/main_menu.h"

#include <QObject>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <memory>

// Base of the window tests: the program's windows on a link of the test's choosing, reached by
// their design names the way a person reaches them, by clicking.
class WindowTest : public QObject {
protected:
    void startApp(Link& link)
    {
        app = std::make_unique<Application>(link);
        // a system dialog would wait for a click that never comes: the tests answer every question
        dialogs = FakeDialogs();
        app->context.fileDialogs = &dialogs;
        ended = false;
        app->navigator.endProgram = [this] { ended = true; };
        messages.clear();
        messagesSeen = 0;
        expected.clear();
        auto show = app->context.showMessage;
        app->context.showMessage = [this, show](const QString& title, const QString& text) {
            messages << text;
            show(title, text);
        };
    }

    // A message the test means to cause: one whose text contains `fragment` is no failure.
    void expectMessage(const QString& fragment) { expected << fragment; }
    // Every message shown that the test neither read in the messages window nor expected.
    QStringList unexpectedMessages() const
    {
        QStringList left;
        for (qsizetype i = messagesSeen; i < messages.size(); ++i) {
            const QString& m = messages[i];
            if (std::none_of(expected.begin(), expected.end(),
                             [&m](const QString& f) { return m.contains(f); }))
                left << m;
        }
        return left;
    }
    // Ends the program under test; a message nobody looked at fails the test.
    void endApp()
    {
        const QStringList left = app ? unexpectedMessages() : QStringList();
        app.reset();
        if (!left.isEmpty())
            QTest::qFail(
                qPrintable(QStringLiteral("unexpected message: ") + left.join(QStringLiteral(" | "))),
                __FILE__, __LINE__);
    }

    // The window by its design name ("Form3").
    Form* form(const char* name)
    {
        for (WindowId id : kAllWindows)
            if (designName(id) == QLatin1String(name)) return app->navigator.window(id);
        qFatal("no window id %s", name);
    }
    template <typename T> T* control(const char* formName, const char* name)
    {
        // reading the messages window is how a test looks at what it was told
        if (qstrcmp(formName, "Form12") == 0) messagesSeen = messages.size();
        T* c = form(formName)->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s in %s", name, formName);
        return c;
    }
    void click(const char* formName, const char* button) { control<QPushButton>(formName, button)->click(); }
    QString activeName() const
    {
        return app->navigator.active() ? app->navigator.active()->objectName() : QString();
    }
    MainMenu* menu() { return app->navigator.window<MainMenu>(WindowId::MainMenu); }

    // "MENU", then the handshake tick by tick, each step waiting up to 3 s for the ECU's answer.
    bool connectToEcu()
    {
        click("Form1", "Command1");
        for (int* flag :
             {&app->state.versionReceived, &app->state.parametersReceived, &app->state.tableReceived}) {
            menu()->handshakeTick();
            if (!QTest::qWaitFor([flag] { return *flag == 1; }, 3000)) return false;
        }
        menu()->handshakeTick();
        return true;
    }

    std::unique_ptr<Application> app;
    FakeDialogs dialogs; // the questions asked and the answers given, unless a test brings its own
    bool ended = false;
    QStringList messages; // every text the messages window was given
    qsizetype messagesSeen = 0;
    QStringList expected;
};

// The windows on a link that records what they send; the test plays the ECU.
class FakeLinkWindowTest : public WindowTest {
protected:
    void startOnFakeLink()
    {
        link = std::make_unique<FakeLink>();
        startApp(*link);
    }
    void stopAll()
    {
        endApp();
        link.reset();
    }
    // The test's ECU answers the read-back that follows a write that did not complete, holding
    // what the program already believes it holds unless the test changed that first.
    void answerReadBack()
    {
        for (const QByteArray& reply : readBackReplies(app->state))
            emit link->received(reply);
    }

    std::unique_ptr<FakeLink> link;
};

// The windows on the real serial link, talking to the virtual ECU over a pseudo-terminal.
class VirtualEcuWindowTest : public WindowTest {
protected:
    bool startOnVirtualEcu()
    {
        sim = std::make_unique<SimulatorThread>();
        if (!sim->start()) return false;
        link = std::make_unique<SerialLink>();
        startApp(*link);
        app->state.serialPortName = sim->devicePath();
        return true;
    }
    void stopAll()
    {
        endApp();
        link.reset();
        sim.reset();
    }

    std::unique_ptr<SimulatorThread> sim;
    std::unique_ptr<SerialLink> link;
};
