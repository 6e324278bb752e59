#include "toolkit/resources.h"

#include <map>

#include "toolkit/classes.h"
#include "toolkit/platform.h"

namespace {
std::map<std::string, std::string>& Table()
{
    static std::map<std::string, std::string> table;
    return table;
}
std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}
} // namespace

// Resource names compare without regard to case, as the platform's do.
void RegisterCompiledResource(const std::string& Name, const std::string& Text) { Table()[Upper(Name)] = Text; }

bool FindCompiledResource(const std::string& Name, std::string& Text)
{
    auto it = Table().find(Upper(Name));
    if (it == Table().end())
        return false;
    Text = it->second;
    return true;
}

std::string LoadRawResource(const std::string& Name)
{
    std::string text;
    if (!plat::FindRawResource(Name, text))
        throw EResNotFound("Resource " + Name + " not found");
    return text;
}
