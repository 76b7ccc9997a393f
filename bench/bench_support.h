// What the benchmark programs share: timing on the steady clock (medians of runs, wall and
// processor time) and the small software device they draw with.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "device/device.h"
#include "document/module1.h"

namespace tintora::bench {

using Clock = std::chrono::steady_clock;

// Milliseconds from start until now.
inline double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The middle value; of an even count, the upper of the two middle ones.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median milliseconds of runs calls of work, after warmUps calls that are not timed (they
// page in the buffers and build the tables and caches the timed calls then find ready).
template <typename Work>
double MedianMilliseconds(Work&& work, int runs, int warmUps = 0) {
    for (int i = 0; i < warmUps; ++i)
        work();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(Since(start));
    }
    return Median(std::move(times));
}

// Wall time and processor time of a measurement, milliseconds.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

// Processor time of the calling thread (with one thread allowed, the kernels run on it).
inline double ThreadCpuMilliseconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Processor time of this process and of the children it has waited for (programs it ran).
inline double ProcessCpuMilliseconds() {
    double total = 0.0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += 1e3 * static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 1e-3 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    }
    return total;
}

// The medians, each taken on its own, of the wall time and of the processor time (read with
// cpuMilliseconds) of runs calls of work, after warmUps calls that are not timed.
template <typename Work>
Timing MedianTiming(Work&& work, int runs, double (*cpuMilliseconds)(), int warmUps = 0) {
    for (int i = 0; i < warmUps; ++i)
        work();
    std::vector<double> walls;
    std::vector<double> cpus;
    walls.reserve(static_cast<std::size_t>(runs));
    cpus.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const double cpuStart = cpuMilliseconds();
        const auto start = Clock::now();
        work();
        walls.push_back(Since(start));
        cpus.push_back(cpuMilliseconds() - cpuStart);
    }
    return {Median(std::move(walls)), Median(std::move(cpus))};
}

// The present parameters of the benchmarks' device: a 64 x 64 X8R8G8B8 windowed back buffer (the
// views draw into targets and swap chains of their own); with depth, a D16 automatic depth
// buffer, which the 3D preview draws with.
inline D3DPRESENT_PARAMETERS SmallBackBuffer(bool depth = false) {
    D3DPRESENT_PARAMETERS pp;
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = 1;
    if (depth) {
        pp.EnableAutoDepthStencil = -1;
        pp.AutoDepthStencilFormat = D3DFMT_D16;
    }
    return pp;
}

// A device of d3d over a small back buffer (SmallBackBuffer), with software vertex processing.
inline std::shared_ptr<Device> MakeDevice(const Direct3D8& d3d, bool depth = false) {
    return d3d.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                            SmallBackBuffer(depth));
}

// Makes Module1's Direct3D object and its device (MakeDevice), and keeps the device's parameters
// in PresentParams as the editor does; the device.
inline Device& StartModule1Device(bool depth = false) {
    auto& state = Module1();
    state.D3D = Direct3DCreate8();
    state.Device = MakeDevice(*state.D3D, depth);
    state.PresentParams = SmallBackBuffer(depth);
    return *state.Device;
}

}  // namespace tintora::bench
