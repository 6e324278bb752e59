// Reads a filter module's property list straight out of its PE file, without loading or
// running it, the way a host scans its plug-in folders. Every offset in the file is
// bounds-checked, so a truncated or hostile file yields an error, never a bad read.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct PeResource {
    std::vector<std::uint8_t> Bytes;
    std::uint16_t Language = 0;
};

// Finds the resource of the named type (e.g. "PIPL") and numeric id (0: the first id of
// that type, as a host scanning for property lists takes it); the first language
// found is taken. Returns false and sets Error when the file or the resource is not there.
bool FindPeResource(const std::vector<std::uint8_t>& File, const std::string& Type,
                    std::uint16_t Id, PeResource& Out, std::string& Error);

// The same for a resource type given by number (16 for the version resource).
bool FindPeResource(const std::vector<std::uint8_t>& File, std::uint16_t TypeId,
                    std::uint16_t Id, PeResource& Out, std::string& Error);

// The PE machine field: 0x14C for x86, 0x8664 for x86-64; 0 when the file is no PE image.
std::uint16_t PeMachine(const std::vector<std::uint8_t>& File);

struct PiplProperty {
    std::string Vendor;  // four-character codes as read, first character first
    std::string Key;
    std::uint32_t Id = 0;
    std::vector<std::uint8_t> Data;
};

struct PiplInfo {
    std::vector<PiplProperty> Properties;
    std::string Kind;        // "8BFM" for a filter
    std::string Name;        // menu name
    std::string Category;    // menu category
    std::string EntryPoint;  // from the wx86 or 8664 property
    std::string EntryKey;    // which of the two carried it
    std::uint32_t Version = 0;
};

bool ParsePipl(const std::vector<std::uint8_t>& Bytes, PiplInfo& Out, std::string& Error);

// A version resource (VS_VERSIONINFO) as Windows shows it on a file's Details tab: the fixed
// part, and the strings of its first string table.
struct VersionInfo {
    std::uint32_t FileVersionHigh = 0, FileVersionLow = 0;        // 1.2.3.4: 0x10002, 0x30004
    std::uint32_t ProductVersionHigh = 0, ProductVersionLow = 0;
    std::uint32_t FileFlags = 0, FileOs = 0, FileType = 0;
    std::string StringTable;                                     // e.g. "040904B0"
    std::vector<std::pair<std::string, std::string>> Strings;    // in file order
    std::vector<std::uint32_t> Translations;                     // language | code page << 16
    // The named string; empty when absent.
    std::string Get(const std::string& Name) const;
};

// Fails on anything that runs past its block or the bytes, on a missing or misplaced fixed
// part, and on a string table missing.
bool ParseVersionInfo(const std::vector<std::uint8_t>& Bytes, VersionInfo& Out, std::string& Error);

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& Path, std::vector<std::uint8_t>& Out);
