#pragma once

// Shared by the benchmark drivers: rounds run side by side with the tools we compare with, the order of
// the sides alternating from round to round, reported as medians with their spread, wall time beside
// CPU time. All sides are measured the same way: a child process from spawn to reaping (CPU time from
// its rusage), in-process work from the same clocks (CPU time of the whole process, worker threads
// included). A failed check ends the benchmark with a non-zero status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

struct Sample {
    double wall = 0;  // seconds
    double cpu = 0;   // user + system seconds
};

struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};

[[noreturn]] inline void failWith(const char* format, va_list arguments)
{
    std::fputs("CHECK FAILED: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    std::exit(1);
}

[[noreturn]] inline void fail(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    failWith(format, arguments);
}

inline void check(bool condition, const char* format, ...)
{
    if (condition)
        return;
    va_list arguments;
    va_start(arguments, format);
    failWith(format, arguments);
}

inline Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

inline double seconds(const timeval& time)
{
    return time.tv_sec + time.tv_usec / 1e6;
}

inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In-process work, timed from the calling thread.
inline Sample measure(const std::function<void()>& work)
{
    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(end - start).count(), processCpuSeconds() - cpuBefore};
}

struct ProcessRun {
    Sample sample;
    int exitStatus = -1;  // -1 when it did not exit normally
};

// Runs `command` (looked up on PATH) with its output discarded, or in `directory` when given.
inline ProcessRun runProcess(const std::vector<std::string>& command, const std::string& directory = {})
{
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        fail("cannot start %s", command.front().c_str());
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) {
    }
    const auto end = std::chrono::steady_clock::now();
    ProcessRun run;
    run.sample = {std::chrono::duration<double>(end - start).count(),
                  seconds(usage.ru_utime) + seconds(usage.ru_stime)};
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A process run that must succeed.
inline Sample runTool(const std::vector<std::string>& command, const std::string& directory = {})
{
    const ProcessRun run = runProcess(command, directory);
    check(run.exitStatus == 0, "%s exited with status %d", command.front().c_str(), run.exitStatus);
    return run.sample;
}

// The median cost of starting and reaping a trivial process: what a tool timed as a process pays
// before it does any work, stated beside in-process figures.
inline Sample processStartCost(int rounds = 21)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < rounds; ++i) {
        const Sample sample = runTool({"true"});
        wall.push_back(sample.wall);
        cpu.push_back(sample.cpu);
    }
    return {spreadOf(wall).median, spreadOf(cpu).median};
}

// Empties the page cache so each round reads from the disk; false when the kernel refuses (not root).
inline bool dropCaches()
{
    sync();
    const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = write(fd, "3\n", 2) == 2;
    close(fd);
    return written;
}

struct Side {
    std::string name;
    std::function<void()> prepare;  // untimed, before every run of this side
    std::function<Sample()> run;    // timed work
    std::function<void()> verify;   // untimed, after every run; fails the benchmark on a wrong result
};

struct Outcome {
    Spread wallA, wallB, cpuA, cpuB;
    double ratio() const { return wallB.median > 0 ? wallA.median / wallB.median : 0; }
    double cpuRatio() const { return cpuB.median > 0 ? cpuA.median / cpuB.median : 0; }
};

inline void printSide(const char* label, const std::string& name, const Spread& wall, const Spread& cpu)
{
    std::printf("  %-6s %-28s wall %9.4f s [%.4f .. %.4f]  cpu %9.4f s [%.4f .. %.4f]\n", label, name.c_str(),
                wall.median, wall.low, wall.high, cpu.median, cpu.low, cpu.high);
}

struct SideResult {
    Spread wall, cpu;
};

// Runs `rounds` rounds of all sides, in the given order in even rounds and in the reverse order in
// odd ones, and prints the medians, the spread (lowest .. highest) and the ratios of the first side
// to each other one. With two sides, the first is A and the second B.
inline std::vector<SideResult> compareAll(const std::string& title, const std::vector<Side>& sides, int rounds = 5)
{
    std::vector<std::vector<double>> wall(sides.size()), cpu(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < sides.size(); ++k) {
            const std::size_t i = round % 2 == 0 ? k : sides.size() - 1 - k;
            const Side& side = sides[i];
            if (side.prepare)
                side.prepare();
            const Sample sample = side.run();
            if (side.verify)
                side.verify();
            wall[i].push_back(sample.wall);
            cpu[i].push_back(sample.cpu);
        }
    }
    std::vector<SideResult> results;
    for (std::size_t i = 0; i < sides.size(); ++i)
        results.push_back({spreadOf(wall[i]), spreadOf(cpu[i])});
    const auto label = [&](std::size_t i) {
        return sides.size() == 2 ? std::string(1, char('A' + i)) : std::to_string(i + 1);
    };
    const auto over = [](const Spread& a, const Spread& b) { return b.median > 0 ? a.median / b.median : 0; };
    std::printf("%s (%d rounds, medians [lowest .. highest])\n", title.c_str(), rounds);
    for (std::size_t i = 0; i < sides.size(); ++i)
        printSide(label(i).c_str(), sides[i].name, results[i].wall, results[i].cpu);
    for (std::size_t i = 1; i < sides.size(); ++i)
        std::printf("  ratio %s/%s: wall %.3f x, cpu %.3f x\n", label(0).c_str(), label(i).c_str(),
                    over(results[0].wall, results[i].wall), over(results[0].cpu, results[i].cpu));
    std::fflush(stdout);
    return results;
}

// Two sides, A and B: the ratio is A / B.
inline Outcome compare(const std::string& title, const Side& a, const Side& b, int rounds = 5)
{
    const std::vector<SideResult> results = compareAll(title, {a, b}, rounds);
    return {results[0].wall, results[1].wall, results[0].cpu, results[1].cpu};
}

}  // namespace bench
