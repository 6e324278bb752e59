#include "toolkit/registry.h"

void TRegistry::SetRootKey(TRegistryRoot Value)
{
    CloseKey();
    FRoot = Value;
}

std::string TRegistry::Resolve(const std::string& Key) const
{
    if (!Key.empty() && Key[0] == '\\')
        return Key.substr(1);
    if (FKey && !FPath.empty())
        return FPath + "\\" + Key;
    return Key;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) { return Open(Key, CanCreate, FAccess); }

bool TRegistry::OpenKeyReadOnly(const std::string& Key)
{
    return Open(Key, false, RegKeyRead | (FAccess & RegKeyViewMask));
}

bool TRegistry::Open(const std::string& Key, bool CanCreate, std::uint32_t Access)
{
    std::string path = Resolve(Key);
    TRegistryKey key = nullptr;
    if (!plat::OpenRegistryKey(FRoot, path, CanCreate, Access, key))
        return false;
    CloseKey();
    FKey = key;
    FPath = path;
    return true;
}

void TRegistry::CloseKey()
{
    if (FKey)
        plat::CloseRegistryKey(FKey);
    FKey = nullptr;
    FPath.clear();
}

void TRegistry::GetKeyNames(TStringList& Strings) const
{
    Strings.Clear();
    if (!FKey)
        return;
    for (const std::string& n : plat::RegistrySubKeyNames(FKey))
        Strings.Add(n);
}

void TRegistry::GetValueNames(TStringList& Strings) const
{
    Strings.Clear();
    if (!FKey)
        return;
    for (const std::string& n : plat::RegistryValueNames(FKey))
        Strings.Add(n);
}

std::string TRegistry::ReadString(const std::string& Name) const
{
    std::string value;
    if (!FKey || !plat::ReadRegistryString(FKey, Name, value))
        return std::string();
    return value;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    if (!FKey || !plat::WriteRegistryString(FKey, Name, Value))
        throw Exception("Failed to set data for '" + Name + "'");
}

bool TRegistry::ValueExists(const std::string& Name) const
{
    return FKey && plat::RegistryValueExists(FKey, Name);
}

bool TRegistry::KeyExists(const std::string& Key) const
{
    TRegistryKey key = nullptr;
    if (!plat::OpenRegistryKey(FRoot, Resolve(Key), false, RegKeyRead | (FAccess & RegKeyViewMask), key))
        return false;
    plat::CloseRegistryKey(key);
    return true;
}
