// A small check harness: every failed check prints a FAIL line; the exit code counts them.
#pragma once
#include <windows.h>
#undef TextOut
#undef MessageBox

#include <cstdio>
#include <sstream>
#include <string>

namespace tk {
extern int Checks, Failures;

inline bool Check(bool Ok, const std::string& What, int Line)
{
    ++Checks;
    if (!Ok) {
        ++Failures;
        std::printf("FAIL (line %d): %s\n", Line, What.c_str());
        std::fflush(stdout);
    }
    return Ok;
}

template <class A, class B>
bool CheckEq(const A& Got, const B& Want, const char* What, int Line)
{
    if (Got == Want)
        return Check(true, What, Line);
    std::ostringstream s;
    s << What << ": got " << Got << ", want " << Want;
    return Check(false, s.str(), Line);
}

inline void Section(const char* Name)
{
    std::printf("== %s\n", Name);
    std::fflush(stdout);
}

// Handles every message waiting now.
void Pump();

void WindowClassChecks();
void CanvasChecks();
void ThemeChecks();
void DialogChecks();
void AboutBoxChecks();
void ServiceChecks();
} // namespace tk

#define CHECK(c) tk::Check((c), #c, __LINE__)
#define CHECK_EQ(a, b) tk::CheckEq((a), (b), #a " == " #b, __LINE__)
