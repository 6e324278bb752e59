// Test support: a row written by an SIMD twin against the portable loop's, both written into
// rows that hold Guard before DstOffset and in their last element.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

template <class T>
::testing::AssertionResult TwinRowAgrees(const std::vector<T>& Portable, const std::vector<T>& Twin, T Guard,
                                         int DstOffset, const std::string& Case)
{
    if (Portable != Twin)
        return ::testing::AssertionFailure() << Case << ": the twin's row differs from the portable loop's";
    if (Twin.empty() || Twin.back() != Guard)
        return ::testing::AssertionFailure() << Case << ": wrote past the row";
    for (int i = 0; i < DstOffset; ++i)
        if (Twin[static_cast<std::size_t>(i)] != Guard)
            return ::testing::AssertionFailure() << Case << ": wrote before the row";
    return ::testing::AssertionSuccess();
}
