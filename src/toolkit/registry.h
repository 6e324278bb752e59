// The registry object: one open key at a time under a root key, opened with the access
// rights (and registry view) the object holds.
#pragma once
#include <string>

#include "toolkit/classes.h"
#include "toolkit/platform.h"

class TRegistry : public TObject {
public:
    VP_CLASS_NAME(TRegistry)
    explicit TRegistry(std::uint32_t Access = RegKeyAllAccess) : FAccess(Access) {}
    ~TRegistry() override { CloseKey(); }
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRegistryRoot RootKey() const { return FRoot; }
    // Closes the open key first.
    void SetRootKey(TRegistryRoot Value);
    // Rights asked for by OpenKey, with at most one view flag (RegKeyWow64_32Key or
    // RegKeyWow64_64Key); no view flag means the module's own view. Takes effect at the next open.
    std::uint32_t Access() const { return FAccess; }
    void SetAccess(std::uint32_t Value) { FAccess = Value; }
    // Opens Key with Access, relative to the open key unless it starts with a backslash;
    // creates the missing parts when CanCreate. False when the key cannot be opened (or
    // created) with those rights.
    bool OpenKey(const std::string& Key, bool CanCreate);
    // Opens an existing key for reading only, in Access's view; keys that refuse writing
    // (machine-wide keys to a user without elevation) open this way.
    bool OpenKeyReadOnly(const std::string& Key);
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
    bool Open(const std::string& Key, bool CanCreate, std::uint32_t Access);
    TRegistryRoot FRoot = TRegistryRoot::CurrentUser;
    std::uint32_t FAccess;
    TRegistryKey FKey = nullptr;
    std::string FPath;
};
