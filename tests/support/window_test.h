#pragma once

#include "app/application.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "support/fake_link.h"
#include "ui/menu/main_menu.h"

#include <QObject>
#include <QPushButton>
#include <QTest>

#include <memory>

// Base of the window tests: the program's windows on a link of the test's choosing, reached by
// their design names the way a person reaches them, by clicking.
class WindowTest : public QObject {
protected:
    void startApp(Link& link)
    {
        app = std::make_unique<Application>(link);
        ended = false;
        app->navigator.endProgram = [this] { ended = true; };
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
    bool ended = false;
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
        app.reset();
        link.reset();
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
        app.reset();
        link.reset();
        sim.reset();
    }

    std::unique_ptr<SimulatorThread> sim;
    std::unique_ptr<SerialLink> link;
};
