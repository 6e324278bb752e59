// Reads the property list back out of the Windows modules built by the win32 and win64
// presets and compares it with the expected bytes, written out here independently.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/pipl_reader.h"

namespace {

// The 32-bit module's list; the 64-bit module differs only in the entry-point key.
const std::uint8_t kExpected32[180] = {
    0x01, 0x00,                                      // preamble
    0x00, 0x00, 0x00, 0x00,                          // version
    0x06, 0x00, 0x00, 0x00,                          // six properties
    // kind: 8BFM
    'M', 'I', 'B', '8', 'd', 'n', 'i', 'k', 0, 0, 0, 0, 4, 0, 0, 0, 'M', 'F', 'B', '8',
    // name
    'M', 'I', 'B', '8', 'e', 'm', 'a', 'n', 0, 0, 0, 0, 32, 0, 0, 0,
    31, 'T', 'r', 'a', 'n', 's', 'f', 'e', 'r', ' ', 't', 'o', ' ', 'T', 'a', 'r', 'n', 'w',
    'i', 'c', 'k', ' ', 'S', 't', 'u', 'd', 'i', 'o', '.', '.', '.', 0,
    // catg
    'M', 'I', 'B', '8', 'g', 't', 'a', 'c', 0, 0, 0, 0, 12, 0, 0, 0,
    9, 'T', 'a', 'r', 'n', 'w', 'i', 'c', 'k', 0, 0, 0,
    // vers 4.0
    'M', 'I', 'B', '8', 's', 'r', 'e', 'v', 0, 0, 0, 0, 4, 0, 0, 0, 0x00, 0x00, 0x04, 0x00,
    // mode
    'M', 'I', 'B', '8', 'e', 'd', 'o', 'm', 0, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xC0, 0x00, 0x00,
    // wx86
    'M', 'I', 'B', '8', '6', '8', 'x', 'w', 0, 0, 0, 0, 12, 0, 0, 0,
    'V', 'e', 's', 'p', 'e', 'r', 'N', 'o', 'i', 's', 'e', 0,
    0, 0, 0, 0, 0, 0};

std::string ModulePath(const char* preset, const char* file) {
    if (const char* dir = std::getenv("VESPER_MODULE_DIR"))
        return std::string(dir) + "/" + file;
    return std::string(VESPER_SOURCE_DIR) + "/build/" + preset + "/plugins/" + file;
}

void CheckModule(const std::string& path, std::uint16_t machine, const char* key) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file))
        GTEST_SKIP() << path << " is not built (run the win32/win64 presets first)";
    EXPECT_EQ(PeMachine(file), machine);
    PeResource res;
    std::string error;
    ASSERT_TRUE(FindPeResource(file, "PIPL", 16010, res, error)) << error;
    EXPECT_EQ(res.Language, 0) << "the list is language neutral";
    ASSERT_EQ(res.Bytes.size(), 180u);
    std::vector<std::uint8_t> expected(kExpected32, kExpected32 + 180);
    for (int i = 0; i < 4; ++i) expected[150 + i] = static_cast<std::uint8_t>(key[3 - i]);
    for (std::size_t i = 0; i < 180; ++i)
        EXPECT_EQ(res.Bytes[i], expected[i]) << "byte " << i << " of " << path;

    PiplInfo info;
    ASSERT_TRUE(ParsePipl(res.Bytes, info, error)) << error;
    EXPECT_EQ(info.Kind, "8BFM");
    EXPECT_EQ(info.Name, "Transfer to Tarnwick Studio...");
    EXPECT_EQ(info.Category, "Tarnwick");
    EXPECT_EQ(info.EntryPoint, "VesperNoise");
    EXPECT_EQ(info.EntryKey, key);
    EXPECT_EQ(info.Version, 0x00040000u);
    EXPECT_EQ(info.Properties.size(), 6u);

    PeResource icon;
    EXPECT_FALSE(FindPeResource(file, "PIPL", 16011, icon, error));
}

TEST(ModulePropertyList, Win32ModuleCarriesWx86List) {
    CheckModule(ModulePath("win32", "Vesper.8bf"), 0x14C, "wx86");
}

TEST(ModulePropertyList, Win64ModuleCarries8664List) {
    CheckModule(ModulePath("win64", "Vesper64.8bf"), 0x8664, "8664");
}

TEST(PiplReader, DamagedInputIsAnErrorNotACrash) {
    std::vector<std::uint8_t> bytes(kExpected32, kExpected32 + 180);
    PiplInfo info;
    std::string error;
    ASSERT_TRUE(ParsePipl(bytes, info, error));
    // A data length that runs past the end.
    std::vector<std::uint8_t> longer = bytes;
    longer[24] = 0xFF;
    longer[25] = 0x7F;
    PiplInfo bad;
    EXPECT_FALSE(ParsePipl(longer, bad, error));
    // A cut into any property is refused; only the trailing fill may go missing.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        PiplInfo partial;
        EXPECT_EQ(ParsePipl(cut, partial, error), n >= 174) << "cut at " << n;
    }
    PeResource res;
    EXPECT_FALSE(FindPeResource(bytes, "PIPL", 16010, res, error));
    EXPECT_EQ(PeMachine(bytes), 0);
}

TEST(PiplReader, TruncatedModuleIsRefused) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(ModulePath("win32", "Vesper.8bf"), file))
        GTEST_SKIP() << "32-bit module not built";
    PeResource full, res;
    std::string error;
    ASSERT_TRUE(FindPeResource(file, "PIPL", 16010, full, error)) << error;
    for (std::size_t n : {std::size_t(0), std::size_t(2), std::size_t(64), std::size_t(300)})
        EXPECT_FALSE(FindPeResource(std::vector<std::uint8_t>(file.begin(), file.begin() + n),
                                    "PIPL", 16010, res, error))
            << "cut at " << n;
    // Wherever the file is cut, the reader either finds the whole list or reports an error.
    for (std::size_t n = 0; n < file.size(); n += 509) {
        std::vector<std::uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
        PeResource r;
        if (FindPeResource(cut, "PIPL", 16010, r, error)) {
            EXPECT_EQ(r.Bytes, full.Bytes) << "cut at " << n;
        }
    }
}

}  // namespace
