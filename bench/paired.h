// Runs our operation and a peer's on the same buffers in the same loop and reports both
// per-item times and their ratio as counters, so one line shows who is faster.
#pragma once
#include <benchmark/benchmark.h>

#include <chrono>

// Ratio counter "peer_over_ours": peer time / our time (1.0 = as fast, above 1 = faster).
template <class Ours, class Peer>
void RunPaired(benchmark::State& State, double ItemsPerCall, int Batch, Ours&& OurCall, Peer&& PeerCall)
{
    using Clock = std::chrono::steady_clock;
    double ours = 0, peer = 0;
    for (auto _ : State) {
        auto t0 = Clock::now();
        for (int k = 0; k < Batch; ++k)
            OurCall();
        benchmark::ClobberMemory();
        auto t1 = Clock::now();
        for (int k = 0; k < Batch; ++k)
            PeerCall();
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        ours += std::chrono::duration<double, std::nano>(t1 - t0).count();
        peer += std::chrono::duration<double, std::nano>(t2 - t1).count();
    }
    const double items = static_cast<double>(State.iterations()) * Batch * ItemsPerCall;
    State.counters["ours_ns_per_item"] = ours / items;
    State.counters["peer_ns_per_item"] = peer / items;
    State.counters["peer_over_ours"] = ours > 0 ? peer / ours : 0;
}
