// Reads a filter module's property list straight out of its PE file, without loading or
// running it, the way a host scans its plug-in folders. Every offset in the file is
// bounds-checked, so a truncated or hostile file yields an error, never a bad read.
#pragma once
#include <cstdint>
#include <string>
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

// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& Path, std::vector<std::uint8_t>& Out);
