#include "app/application.h"

#include "ui/common/link_messages.h"
#include "ui/download/download_window.h"
#include "ui/eol/eol_window.h"
#include "ui/menu/main_menu.h"
#include "ui/start/message_window.h"
#include "ui/start/serial_settings_dialog.h"
#include "ui/start/start_window.h"
#include "ui/status/status_window.h"

Application::Application(Link& link)
    : dispatcher(state), context{state, link, dispatcher, navigator, {}, false, {}}
{
    context.showMessage = [this](const QString& title, const QString& text) {
        navigator.window<MessageWindow>(QStringLiteral("Form12"))->showMessage(title, text);
    };
    navigator.registerWindow(QStringLiteral("Form1"), [this] { return new StartWindow(context); });
    navigator.registerWindow(QStringLiteral("Form2"), [this] { return new MainMenu(context); });
    navigator.registerWindow(QStringLiteral("Form3"), [this] { return new StatusWindow(context); });
    navigator.registerWindow(QStringLiteral("Form4"), [this] { return new SerialSettingsDialog(context); });
    navigator.registerWindow(QStringLiteral("Form7"), [this] { return new DownloadWindow(context); });
    navigator.registerWindow(QStringLiteral("Form9"), [this] { return new EolWindow(context); });
    navigator.registerWindow(QStringLiteral("Form12"), [this] { return new MessageWindow(context); });

    connect(&link, &Link::received, &dispatcher, &ReplyDispatcher::onSerialEvent);
    connect(&link, &Link::lost, this, &Application::onLinkLost);
}

void Application::start()
{
    navigator.open(QStringLiteral("Form1"));
}

void Application::onLinkLost(const QString& reason)
{
    const LinkMessage m = linkProblemMessage(state.languageIndex, context.link.portName(), reason);
    context.showMessage(m.title, m.text);
}
