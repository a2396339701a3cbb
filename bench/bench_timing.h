#pragma once

// What the benchmarks share for timing: a stopwatch for wall and CPU time, series of
// samples with their minimum and median, and message boxes turned into stderr lines.

#include "kit/messages.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <functional>
#include <vector>

namespace velm::bench {

using Clock = std::chrono::steady_clock;

// Wall time is what the user waits; the process's CPU time beside it shows how much of
// that a busy machine added.
class Stopwatch {
public:
    Stopwatch() : wall_(Clock::now()), cpu_(std::clock()) {}
    double WallMs() const { return std::chrono::duration<double, std::milli>(Clock::now() - wall_).count(); }
    double CpuMs() const { return 1000.0 * static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC; }

private:
    Clock::time_point wall_;
    std::clock_t cpu_;
};

// Without a window system the message boxes become lines on stderr.
class ConsolePresenter : public MessagePresenter {
public:
    bool Show(MessageKind, const QString& caption, const QString& text) override {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
        return false;
    }
};

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

struct Series {
    const char* label;
    double targetMs;  // 0: shown for reference only
    QString note;
    std::vector<double> wall;
    std::vector<double> cpu;

    // One sample: the time since the stopwatch started, shared by `count` operations.
    void Add(const Stopwatch& watch, std::size_t count = 1) {
        const double n = static_cast<double>(std::max<std::size_t>(1, count));
        wall.push_back(watch.WallMs() / n);
        cpu.push_back(watch.CpuMs() / n);
    }
    double Min() const { return wall.empty() ? 0 : *std::min_element(wall.begin(), wall.end()); }
};

// The main() of a benchmark over a generated catalogue: "NAME FOLDER [REPEATS]", the
// message boxes on stderr, and a failure reported instead of escaping.
inline int RunOverCatalogue(const char* name, const std::function<int(const QString& folder, int repeats)>& run) {
    const QStringList args = QCoreApplication::arguments();
    int repeats = 5;
    bool ok = args.size() == 2 || args.size() == 3;
    if (ok && args.size() == 3) {
        repeats = args.at(2).toInt(&ok);
        ok = ok && repeats >= 1 && repeats <= 1000;
    }
    if (!ok) {
        std::fprintf(stderr,
                     "usage: %s FOLDER [REPEATS]\n"
                     "  FOLDER is the program folder whose dbase/ holds the catalogue\n"
                     "  (see generate-catalogue); REPEATS timed runs, 5 by default.\n",
                     name);
        return 2;
    }
    ConsolePresenter console;
    SetMessagePresenter(&console);
    int result = 1;
    try {
        result = run(args.at(1), repeats);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    }
    SetMessagePresenter(nullptr);
    return result;
}

}  // namespace velm::bench
