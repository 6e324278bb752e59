// What the stand-in editor finds in the two exchange files, and the text report it leaves
// for the tests. Portable: the Windows program and the native tests share it.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// FNV-1a, 32 bits, over the whole file.
std::uint32_t Fnv1a32(const std::vector<std::uint8_t>& Bytes);

struct ExchangeFileInfo {
    std::string Path;
    std::string Status;  // "ok", "missing" or "bad: <reason>"
    int Width = 0, Height = 0, BitsPerPixel = 0;
    std::uint64_t Bytes = 0;
    std::uint32_t Checksum = 0;
};

// Checks the headers of an uncompressed BMP (file header, 40-byte or longer information
// header, one plane, 24 or 32 bits, size fields that agree with the file) and fills the
// info. A file that fails keeps its byte size and checksum so a report still tells it apart.
ExchangeFileInfo InspectExchangeFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes);
// Reads the file first; an unreadable file is "missing".
ExchangeFileInfo InspectExchangeFilePath(const std::string& Path, const std::string& OpenPath);

// "key value" lines, one section prefix per file ("image.", "mask.").
std::string FormatReport(const ExchangeFileInfo& Image, const ExchangeFileInfo& Mask);
// The lines of a report as key -> value; nullopt when the text is not a whole report (the
// closing "end" line is missing).
std::optional<std::map<std::string, std::string>> ParseReport(const std::string& Text);

// Options of the stand-in; environment variables fill what the command line leaves out,
// because the filter starts the editor without arguments.
struct StandinOptions {
    std::string ImagePath = "c:\\tarnwickstudiorgb_dovrane.bmp";
    std::string MaskPath = "c:\\tarnwickstudioa_dovrane.bmp";
    std::string ReportPath;       // empty: beside the program
    unsigned ExitAfterMs = 3000;  // bounded, so that no test waits on a forgotten editor
    bool Stay = false;            // wait for WM_CLOSE, still at most StayLimitMs
    static constexpr unsigned StayLimitMs = 60000;
};
using EnvLookup = std::optional<std::string> (*)(const char* Name);
// False with Error on an unknown or incomplete argument.
bool ParseStandinOptions(const std::vector<std::string>& Args, EnvLookup Env, StandinOptions& Out, std::string& Error);
// How long the editor lives.
unsigned StandinLifetimeMs(const StandinOptions& Options);
