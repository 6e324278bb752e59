// Runs our operation and a peer's on the same buffers in the same loop and reports both
// per-item times and their ratio as counters, so one line shows who is faster.
#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#if defined(__linux__)
#include <time.h>
#endif

namespace paired {
// The thread's processor time where the system has it, so time spent preempted by other
// programs on a shared machine counts for neither side; wall time elsewhere.
inline double NowNs()
{
#if defined(__linux__)
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
#else
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
}
} // namespace paired

// Ratio counter "peer_over_ours": peer time / our time (1.0 = as fast, above 1 = faster).
template <class Ours, class Peer>
void RunPaired(benchmark::State& State, double ItemsPerCall, int Batch, Ours&& OurCall, Peer&& PeerCall)
{
    double ours = 0, peer = 0;
    for (auto _ : State) {
        double t0 = paired::NowNs();
        for (int k = 0; k < Batch; ++k)
            OurCall();
        benchmark::ClobberMemory();
        double t1 = paired::NowNs();
        for (int k = 0; k < Batch; ++k)
            PeerCall();
        benchmark::ClobberMemory();
        double t2 = paired::NowNs();
        ours += t1 - t0;
        peer += t2 - t1;
    }
    const double items = static_cast<double>(State.iterations()) * Batch * ItemsPerCall;
    State.counters["ours_ns_per_item"] = ours / items;
    State.counters["peer_ns_per_item"] = peer / items;
    State.counters["peer_over_ours"] = ours > 0 ? peer / ours : 0;
}
