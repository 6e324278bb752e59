// The registry object: one open key at a time under a root key.
#pragma once
#include <string>

#include "toolkit/classes.h"
#include "toolkit/platform.h"

class TRegistry : public TObject {
public:
    VP_CLASS_NAME(TRegistry)
    TRegistry() = default;
    ~TRegistry() override { CloseKey(); }
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRegistryRoot RootKey() const { return FRoot; }
    // Closes the open key first.
    void SetRootKey(TRegistryRoot Value);
    // Opens Key, relative to the open key unless it starts with a backslash; creates the
    // missing parts when CanCreate. False when the key cannot be opened (or created).
    bool OpenKey(const std::string& Key, bool CanCreate);
    void CloseKey();
    bool HasOpenKey() const { return FKey != nullptr; }
    const std::string& CurrentPath() const { return FPath; }
    // Subkey names of the open key in the registry's enumeration order (nothing when no
    // key is open).
    void GetKeyNames(TStringList& Strings) const;
    void GetValueNames(TStringList& Strings) const;
    // A missing value reads as the empty string.
    std::string ReadString(const std::string& Name) const;
    // Raises Exception "Failed to set data for '<Name>'" when the write fails or no key is open.
    void WriteString(const std::string& Name, const std::string& Value);
    bool ValueExists(const std::string& Name) const;
    // Whether Key (same rules as OpenKey) can be opened; leaves the open key as it is.
    bool KeyExists(const std::string& Key) const;

private:
    std::string Resolve(const std::string& Key) const;
    TRegistryRoot FRoot = TRegistryRoot::CurrentUser;
    TRegistryKey FKey = nullptr;
    std::string FPath;
};
