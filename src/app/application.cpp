#include "app/application.h"

#include "link/link_messages.h"
#include "ui/archive/archive_window.h"
#include "ui/calibration/auto_calibration_window.h"
#include "ui/calibration/calibration_window.h"
#include "ui/calibration/graphical_window.h"
#include "ui/datalog/datalog_viewer.h"
#include "ui/download/download_window.h"
#include "ui/eol/eol_window.h"
#include "ui/menu/main_menu.h"
#include "ui/params/commutation_page.h"
#include "ui/params/cutoff_page.h"
#include "ui/params/lambda_page.h"
#include "ui/params/level_page.h"
#include "ui/params/other_page.h"
#include "ui/start/message_window.h"
#include "ui/start/serial_settings_dialog.h"
#include "ui/start/start_window.h"
#include "ui/status/status_window.h"

Application::Application(Link& link)
    : dispatcher(state),
      writeSession(state, link, dispatcher), context{state,        link,      dispatcher,
                                                     writeSession, navigator, &systemFileDialogs,
                                                     {},           false,     {},
                                                     {},           {},        {}}
{
    context.openDatalog = [this](const QString& path) {
        navigator.open(WindowId::DatalogViewer);
        navigator.window<DatalogViewer>(WindowId::DatalogViewer)->openFile(path);
    };
    context.languageChanged = [this] {
        qtTranslations.use(languageOf(state.languageIndex));
        navigator.applyLanguage();
    };
    context.showMessage = [this](const QString& title, const QString& text) {
        // the program is ending: nobody is left to read it
        if (navigator.closingDown()) return;
        navigator.window<MessageWindow>(WindowId::Messages)->showMessage(title, text);
    };
    navigator.registerWindow(WindowId::Start, [this] { return new StartWindow(context); });
    navigator.registerWindow(WindowId::MainMenu, [this] { return new MainMenu(context); });
    navigator.registerWindow(WindowId::Status, [this] { return new StatusWindow(context); });
    navigator.registerWindow(WindowId::SerialSettings, [this] { return new SerialSettingsDialog(context); });
    navigator.registerWindow(WindowId::Archive, [this] { return new ArchiveWindow(context); });
    navigator.registerWindow(WindowId::LambdaPage, [this] { return new LambdaPage(context); });
    navigator.registerWindow(WindowId::Download, [this] { return new DownloadWindow(context); });
    navigator.registerWindow(WindowId::EndOfLine, [this] { return new EolWindow(context); });
    navigator.registerWindow(WindowId::Calibration, [this] { return new CalibrationWindow(context); });
    navigator.registerWindow(WindowId::Messages, [this] { return new MessageWindow(context); });
    navigator.registerWindow(WindowId::CutoffPage, [this] { return new CutoffPage(context); });
    navigator.registerWindow(WindowId::CommutationPage, [this] { return new CommutationPage(context); });
    navigator.registerWindow(WindowId::OtherPage, [this] { return new OtherPage(context); });
    navigator.registerWindow(WindowId::LevelPage, [this] { return new LevelPage(context); });
    navigator.registerWindow(WindowId::GraphicalCalibration, [this] { return new GraphicalWindow(context); });
    navigator.registerWindow(WindowId::AutoCalibration,
                             [this] { return new AutoCalibrationWindow(context); });
    navigator.registerWindow(WindowId::DatalogViewer, [this] { return new DatalogViewer(context); });

    connect(&link, &Link::received, &dispatcher, &ReplyDispatcher::onSerialEvent);
    connect(&link, &Link::lost, this, &Application::onLinkLost);
}

Application::~Application()
{
    navigator.unloadAll();
}

void Application::start()
{
    navigator.open(WindowId::Start);
}

void Application::onLinkLost(LinkProblem problem)
{
    const LinkMessage m = linkProblemMessage(languageOf(state.languageIndex), context.link.portName(),
                                             problem, context.link.errorText());
    context.showMessage(m.title, m.text);
}
