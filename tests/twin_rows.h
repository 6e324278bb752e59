// Test support: a row written by an SIMD twin against the portable loop's, both written into
// rows that hold Guard before DstOffset and in their last element.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// Which random case a row came from, told only when it fails.
struct TTwinCase {
    std::uint32_t Seed;
    int Case, Count, SrcOffset, DstOffset;
};

template <class T>
::testing::AssertionResult TwinRowAgrees(const std::vector<T>& Portable, const std::vector<T>& Twin, T Guard,
                                         const TTwinCase& C)
{
    const char* fault = nullptr;
    if (Portable != Twin)
        fault = "the twin's row differs from the portable loop's";
    else if (Twin.empty() || Twin.back() != Guard)
        fault = "wrote past the row";
    else
        for (int i = 0; i < C.DstOffset && !fault; ++i)
            if (Twin[static_cast<std::size_t>(i)] != Guard)
                fault = "wrote before the row";
    if (!fault)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "seed " << C.Seed << " case " << C.Case
                                         << ": count " << C.Count << " offsets " << C.SrcOffset << "/"
                                         << C.DstOffset << ": " << fault;
}
