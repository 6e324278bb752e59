// Test support: the message an expected exception carries.
#pragma once
#include <string>

// The message of the E that F raises, or "(nothing raised)".
template <class E, class F>
std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing raised)";
}
