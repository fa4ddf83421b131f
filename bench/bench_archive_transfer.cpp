// A whole vehicle (every archived parameter and every table cell different) sent from a workbook to
// the virtual ECU over a pseudo-terminal: how long it takes, and how many ticks resent a value the
// ECU had already confirmed. Usage: bench_archive_transfer   (QT_QPA_PLATFORM=offscreen)
#include "app/application.h"
#include "archive/workbook_file.h"
#include "link/parameter_catalogue.h"
#include "link/serial_link.h"
#include "sim/simulator_thread.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
// The user picks the prepared workbook and confirms the changes.
class Answers : public FileDialogs {
public:
    QString path;
    QString openFile(QWidget*, const QString&, const QString&, const QString&) override { return path; }
    QString saveFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        return path;
    }
    bool confirm(QWidget*, const QString&, const QString&, const QStringList&, const QString&,
                 const QString&) override
    {
        return true;
    }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    SimulatorThread sim;
    if (!sim.start()) return 1;
    SerialLink link;
    Application app(link);
    Answers answers;
    app.context.fileDialogs = &answers;
    app.navigator.endProgram = [] {};
    app.state.serialPortName = sim.devicePath();
    app.start();
    app.navigator.window(WindowId::Start)->findChild<QPushButton*>("Command1")->click();
    auto* menu = app.navigator.window(WindowId::MainMenu);
    if (!QTest::qWaitFor([&] { return menu->findChild<QPushButton*>("Command4")->isEnabled(); }, 10000))
        return 1;
    menu->findChild<QPushButton*>("Command4")->click();
    auto* archive = app.navigator.window(WindowId::Archive);

    QTemporaryDir dir;
    VehicleSet other = vehicleSetOf(app.state);
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        other.parameters[id] = (other.parameters[id] + 1) % 65536;
    for (int cell = 1; cell <= kTableCellCount; ++cell)
        other.cells[cell] = (other.cells[cell] + 1) % 256;
    answers.path = dir.path() + QStringLiteral("/other.xls");
    if (writeWorkbookFile(answers.path, other)) return 1;

    int writes = 0;
    QObject::connect(&link, &Link::received, [] {});
    sim.withEcu([](VirtualEcu& ecu) { ecu.requestLog.clear(); });
    QElapsedTimer wall;
    wall.start();
    archive->findChild<QPushButton*>("Command5")->click();
    if (!QTest::qWaitFor([&] { return archive->findChild<QPushButton*>("Command5")->isEnabled(); }, 120000))
        return 1;
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    sim.withEcu([&writes](VirtualEcu& ecu) {
        for (int code : ecu.requestLog)
            writes += code == 2 || code == 9;
    });
    const int values = kArchivedParameterCount + kTableCellCount;
    std::printf("whole vehicle: %d values in %.2f s (%.0f ms a value), %d write frames, %d wasted ticks\n",
                values, seconds, 1000.0 * seconds / values, writes, writes - values);
    return 0;
}
