// Time from process start to the start window shown, and peak resident memory, of the orvane
// executable (offscreen), median of N runs. Usage: bench_startup PATH/orvane [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ORVANE [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    std::vector<double> ms;
    std::vector<long> rssKb;
    for (int i = 0; i < runs; ++i) {
        int out[2];
        if (::pipe(out) != 0) return 1;
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(argv[1], argv[1], "--exit-when-shown", static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        const auto shown = std::chrono::steady_clock::now();
        ::close(out[0]);
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        if (line != "shown") {
            std::fprintf(stderr, "run %d: no start window (status %d)\n", i, status);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        rssKb.push_back(usage.ru_maxrss);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(rssKb.begin(), rssKb.end());
    std::printf(
        "start window shown after %.1f ms (median of %d; min %.1f, max %.1f), peak RSS %.1f MB (median)\n",
        ms[ms.size() / 2], runs, ms.front(), ms.back(), rssKb[rssKb.size() / 2] / 1024.0);
    return 0;
}
