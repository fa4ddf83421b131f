// Time to write and to read one vehicle workbook (.xls), median of N runs.
#include "archive/workbook_file.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    QTemporaryDir dir;
    const QString path = dir.filePath("car.xls");
    VehicleSet set;
    for (int id = 1; id <= 60; ++id)
        set.parameters[id] = id * 1031 % 65536;
    for (int k = 1; k <= 64; ++k)
        set.cells[k] = 100 + k % 30;

    std::vector<double> writeMs, readMs;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        if (writeWorkbookFile(path, set)) return 1;
        auto t1 = std::chrono::steady_clock::now();
        if (!std::holds_alternative<VehicleSet>(readWorkbookFile(path))) return 1;
        auto t2 = std::chrono::steady_clock::now();
        writeMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        readMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::sort(writeMs.begin(), writeMs.end());
    std::sort(readMs.begin(), readMs.end());
    std::printf("workbook (%d runs): write median %.3f ms, read median %.3f ms\n", runs,
                writeMs[writeMs.size() / 2], readMs[readMs.size() / 2]);
    return 0;
}
