// Raw-data resources by name: the module's RCDATA resources on Windows; natively, texts the
// program registers at start-up (the stored form descriptions compiled in as strings).
#pragma once
#include <string>

#include "base/object.h"

// Registers or replaces a compiled-in resource (used where the platform has no resources).
void RegisterCompiledResource(const std::string& Name, const std::string& Text);
bool FindCompiledResource(const std::string& Name, std::string& Text);
// The resource text; raises EResNotFound "Resource <Name> not found" when there is none.
std::string LoadRawResource(const std::string& Name);

VP_EXCEPTION(EResNotFound);
