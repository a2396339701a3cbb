#pragma once

// What the benchmarks share for timing: a stopwatch for wall and CPU time, series of
// samples with their minimum and median, and message boxes turned into stderr lines.

#include "app/messages.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
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

}  // namespace velm::bench
