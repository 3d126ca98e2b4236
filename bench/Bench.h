#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// A small benchmark harness: each benchmark registers itself and prints its
// figures as lines "name: value unit".
namespace bench {

using Function = std::function<void()>;

inline std::vector<std::pair<std::string, Function>> &registry()
{
    static std::vector<std::pair<std::string, Function>> benchmarks;
    return benchmarks;
}

struct Registrar {
    Registrar(std::string name, Function function)
    {
        registry().emplace_back(std::move(name), std::move(function));
    }
};

inline void report(const std::string &name, double value, const std::string &unit)
{
    if (value >= 100)
        std::printf("%s: %.0f %s\n", name.c_str(), value, unit.c_str());
    else
        std::printf("%s: %.3g %s\n", name.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

// Seconds taken by one run of work.
inline double seconds(const Function &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

// The median of several runs, each prepared afresh by setup (not timed).
inline double medianSeconds(int runs, const Function &setup, const Function &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setup();
        times.push_back(seconds(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Bytes currently allocated through operator new in this process.
std::size_t allocatedBytes();

} // namespace bench

#define VEXO_BENCH_CONCAT2(a, b) a##b
#define VEXO_BENCH_CONCAT(a, b) VEXO_BENCH_CONCAT2(a, b)
#define VEXO_BENCHMARK(name)                                                                       \
    static void name();                                                                            \
    static const bench::Registrar VEXO_BENCH_CONCAT(registrar_, name)(#name, name);                \
    static void name()
