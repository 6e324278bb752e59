// The property-list reader, given the input both as a module file (PE headers, resource
// directory) and as a property list of its own: errors, never reads outside the bytes, and
// whatever is found lies inside them.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "host/pipl_reader.h"

namespace {
void CheckList(const std::vector<std::uint8_t>& Bytes)
{
    PiplInfo info;
    std::string error;
    if (!ParsePipl(Bytes, info, error)) {
        FUZZ_EXPECT(!error.empty(), "a refused list without a reason");
        return;
    }
    std::size_t total = 10;
    for (const PiplProperty& p : info.Properties) {
        FUZZ_EXPECT(p.Vendor.size() == 4 && p.Key.size() == 4, "four-character codes");
        total += 16 + p.Data.size();
    }
    FUZZ_EXPECT(total <= Bytes.size(), "the properties hold more than the list");
    FUZZ_EXPECT(info.EntryKey.empty() || info.EntryKey == "wx86" || info.EntryKey == "8664", "entry key");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::vector<std::uint8_t> file(Data, Data + Size);
    const std::uint16_t machine = PeMachine(file);
    FUZZ_EXPECT(machine == 0 || Size >= 64, "a machine read from a file too short for PE headers");
    for (std::uint16_t id : {std::uint16_t(16010), std::uint16_t(0)}) {
        PeResource res;
        std::string error;
        if (FindPeResource(file, "PIPL", id, res, error)) {
            FUZZ_EXPECT(res.Bytes.size() <= Size, "a resource larger than the file");
            CheckList(res.Bytes);
        } else {
            FUZZ_EXPECT(!error.empty(), "a missing resource without a reason");
        }
    }
    CheckList(file);
    return 0;
}
