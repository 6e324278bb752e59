// The stand-in editor's readers: the exchange-file check, the report parser and the
// command line with its environment, all fed from one input.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "standin_report.h"

namespace {
std::vector<std::string> Environment;
std::optional<std::string> Lookup(const char* Name)
{
    const std::string n = Name;
    // Each variable the stand-in knows takes the next value, or stays unset.
    for (std::size_t i = 0; i + 1 < Environment.size(); i += 2)
        if (Environment[i] == n)
            return Environment[i + 1];
    return std::nullopt;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::vector<std::uint8_t> bytes(Data, Data + Size);
    const ExchangeFileInfo f = InspectExchangeFile("c:\\file.bmp", bytes);
    FUZZ_EXPECT(f.Bytes == Size && f.Checksum == Fnv1a32(bytes), "size or checksum not the file's");
    if (f.Status == "ok")
        FUZZ_EXPECT(f.Width > 0 && f.Height > 0 && (f.BitsPerPixel == 24 || f.BitsPerPixel == 32) &&
                        Size >= 54 + static_cast<std::uint64_t>(f.Height) * ((f.Width * f.BitsPerPixel / 8 + 3) / 4 * 4),
                    "an accepted file too small for its header");
    else
        FUZZ_EXPECT(f.Status.rfind("bad: ", 0) == 0 && f.Width == 0 && f.Height == 0 && f.BitsPerPixel == 0,
                    "status \"" + f.Status + "\"");

    // The report of that file reads back as what it says.
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    const auto parsed = ParseReport(FormatReport(f, InspectExchangeFile("c:\\mask.bmp", {})));
    FUZZ_EXPECT(parsed && parsed->at("image.status") == f.Status && parsed->at("image.bytes") == std::to_string(Size),
                "a formatted report does not parse back");
    (void)ParseReport(text);

    FuzzedDataProvider in(Data, Size);
    Environment.clear();
    static const char* const Names[] = {"TARNWICK_STANDIN_IMAGE", "TARNWICK_STANDIN_MASK", "TARNWICK_STANDIN_REPORT",
                                        "TARNWICK_STANDIN_EXIT_AFTER_MS"};
    for (const char* n : Names)
        if (in.ConsumeBool()) {
            Environment.push_back(n);
            Environment.push_back(in.ConsumeRandomLengthString(16));
        }
    std::vector<std::string> args;
    while (in.remaining_bytes() && args.size() < 8)
        args.push_back(in.ConsumeRandomLengthString(16));
    StandinOptions options;
    std::string error;
    if (ParseStandinOptions(args, Lookup, options, error))
        FUZZ_EXPECT(StandinLifetimeMs(options) <= StandinOptions::StayLimitMs,
                    "lives " + std::to_string(StandinLifetimeMs(options)) + " ms");
    else
        FUZZ_EXPECT(!error.empty(), "refused without a reason");
    return 0;
}
