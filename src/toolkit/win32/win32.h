// What the Windows back end offers beyond the toolkit's platform interface: the module's
// instance and its window classes, for the module's load and unload steps and for tests.
#pragma once

namespace win32 {
// The HINSTANCE of the module this code is linked into (the .8bf, or the program).
void* ModuleInstance();
// Registers the toolkit's window classes with ModuleInstance; a class left registered by an
// earlier load of the module is replaced. Called on first need; true when all are registered.
bool RegisterWindowClasses();
// Destroys the toolkit's remaining windows and unregisters its classes, so the module can be
// unloaded and loaded again in one process. Done at unload; safe to call twice.
void UnregisterWindowClasses();
// Window class names, for lookups from outside (tests).
extern const char* const FormClassName;
extern const char* const ControlClassName;
} // namespace win32
