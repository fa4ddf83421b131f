// orvane-workbook: show a vehicle workbook, or write the virtual ECU's default set as a template.
#include "archive/workbook_file.h"
#include "link/parameter_catalogue.h"
#include "sim/virtual_ecu.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
int usage()
{
    std::fprintf(stderr, "usage: orvane-workbook show FILE.xls\n       orvane-workbook write FILE.xls\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) return usage();
    const QString path = args[2];
    if (args[1] == QLatin1String("write")) {
        VehicleSet set;
        const auto defaults = VirtualEcu::defaultParameters();
        for (int id = 1; id <= kArchivedParameterCount; ++id)
            set.parameters[id] = defaults[id];
        set.cells = VirtualEcu::defaultTable();
        if (const auto problem = writeWorkbookFile(path, set)) {
            std::fprintf(stderr, "%s\n", qPrintable(workbookProblemText(*problem, Language::English)));
            return 1;
        }
        return 0;
    }
    if (args[1] != QLatin1String("show")) return usage();
    const auto result = readWorkbookFile(path);
    if (const auto* problem = std::get_if<WorkbookProblem>(&result)) {
        std::fprintf(stderr, "%s\n", qPrintable(workbookProblemText(*problem, Language::English)));
        return 1;
    }
    const VehicleSet& set = std::get<VehicleSet>(result);
    for (int id = 1; id <= kArchivedParameterCount; ++id) {
        const ParameterInfo* info = parameterInfo(id);
        std::printf("%2d  %-32s %6d %s\n", id, info->name, set.parameters[id], info->unit);
    }
    std::printf("\nKGB table (rows: Tinj breakpoints 1..8, columns: RPM breakpoints 1..8)\n");
    for (int row = 0; row < 8; ++row) {
        for (int c = 0; c < 8; ++c)
            std::printf("%5d", set.cells[8 * row + c + 1]);
        std::printf("\n");
    }
    return 0;
}
