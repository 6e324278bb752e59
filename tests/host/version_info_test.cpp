// The version resource: the reader on blocks written out here, and the resource of the
// modules built by the win32 and win64 presets (or of the files in VESPER_MODULE_DIR, which
// the package check points at the released ones).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/pipl_reader.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, static_cast<std::uint16_t>(v));
    Put16(b, static_cast<std::uint16_t>(v >> 16));
}
void Pad4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}
Bytes Utf16z(const std::string& s) {
    Bytes b;
    for (char c : s) Put16(b, static_cast<std::uint8_t>(c));
    Put16(b, 0);
    return b;
}

// One block as the resource compiler lays it out: header, key, value, children, each
// 32-bit aligned from the start of the resource (every block here starts aligned).
Bytes Block(const std::string& key, bool text, const Bytes& value, std::uint16_t valueLength,
            const std::vector<Bytes>& children = {}) {
    Bytes b(6, 0);
    Bytes k = Utf16z(key);
    b.insert(b.end(), k.begin(), k.end());
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& c : children) {
        Pad4(b);
        b.insert(b.end(), c.begin(), c.end());
    }
    b[0] = static_cast<std::uint8_t>(b.size());
    b[1] = static_cast<std::uint8_t>(b.size() >> 8);
    b[2] = static_cast<std::uint8_t>(valueLength);
    b[3] = static_cast<std::uint8_t>(valueLength >> 8);
    b[4] = text ? 1 : 0;
    return b;
}
Bytes String(const std::string& key, const std::string& value) {
    Bytes v = Utf16z(value);
    return Block(key, true, v, static_cast<std::uint16_t>(v.size() / 2));
}
Bytes Fixed(std::uint32_t fileHigh, std::uint32_t fileLow) {
    Bytes f;
    for (std::uint32_t v : {0xFEEF04BDu, 0x10000u, fileHigh, fileLow, fileHigh, fileLow, 0x3Fu,
                            0u, 0x40004u, 2u, 0u, 0u, 0u})
        Put32(f, v);
    return f;
}
Bytes Translation(std::uint16_t language, std::uint16_t codePage) {
    Bytes v;
    Put16(v, language);
    Put16(v, codePage);
    return Block("VarFileInfo", true, {}, 0, {Block("Translation", false, v, 4)});
}
Bytes Sample() {
    return Block("VS_VERSION_INFO", false, Fixed(0x00020003, 0x00040005), 52,
                 {Block("StringFileInfo", true, {}, 0,
                        {Block("040904B0", true, {}, 0,
                               {String("CompanyName", "Maker"), String("FileVersion", "2.3.4"),
                                String("Comments", "")}),
                         Block("040704B0", true, {}, 0, {String("CompanyName", "Hersteller")})}),
                  Translation(0x409, 1200)});
}

TEST(VersionInfoReader, ReadsFixedPartStringsAndTranslation) {
    VersionInfo info;
    std::string error;
    ASSERT_TRUE(ParseVersionInfo(Sample(), info, error)) << error;
    EXPECT_EQ(info.FileVersionHigh, 0x00020003u);
    EXPECT_EQ(info.FileVersionLow, 0x00040005u);
    EXPECT_EQ(info.ProductVersionHigh, 0x00020003u);
    EXPECT_EQ(info.FileOs, 0x40004u);
    EXPECT_EQ(info.FileType, 2u);
    EXPECT_EQ(info.StringTable, "040904B0");
    ASSERT_EQ(info.Strings.size(), 3u) << "the first table only";
    EXPECT_EQ(info.Get("CompanyName"), "Maker");
    EXPECT_EQ(info.Get("FileVersion"), "2.3.4");
    EXPECT_EQ(info.Get("Comments"), "");
    EXPECT_EQ(info.Get("ProductName"), "") << "absent";
    ASSERT_EQ(info.Translations.size(), 1u);
    EXPECT_EQ(info.Translations[0], 0x04B00409u);
}

TEST(VersionInfoReader, KeysAndValuesOfOddLengthsStayAligned) {
    // Keys of 1 to 8 characters and values of 0 to 7 put every block on a different
    // alignment; each must come back whole.
    std::vector<Bytes> strings;
    for (int i = 1; i <= 8; ++i)
        strings.push_back(String(std::string(static_cast<std::size_t>(i), 'k'),
                                 std::string(static_cast<std::size_t>(i - 1), 'v')));
    Bytes res = Block("VS_VERSION_INFO", false, Fixed(1, 0), 52,
                      {Block("StringFileInfo", true, {}, 0, {Block("000004B0", true, {}, 0, strings)})});
    VersionInfo info;
    std::string error;
    ASSERT_TRUE(ParseVersionInfo(res, info, error)) << error;
    ASSERT_EQ(info.Strings.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(info.Strings[i].first, std::string(i + 1, 'k'));
        EXPECT_EQ(info.Strings[i].second, std::string(i, 'v'));
    }
    EXPECT_TRUE(info.Translations.empty());
}

TEST(VersionInfoReader, DamagedResourcesAreErrorsNotCrashes) {
    const Bytes good = Sample();
    VersionInfo info;
    std::string error;

    Bytes wrongKey = good;
    wrongKey[6] = 'X';
    EXPECT_FALSE(ParseVersionInfo(wrongKey, info, error));

    Bytes badSignature = good;
    badSignature[40] ^= 0xFF;  // the fixed part starts at 40, after the 16-character key
    EXPECT_FALSE(ParseVersionInfo(badSignature, info, error));
    EXPECT_NE(error.find("fixed"), std::string::npos) << error;

    Bytes shortFixed = good;
    shortFixed[2] = 48;
    EXPECT_FALSE(ParseVersionInfo(shortFixed, info, error));

    Bytes noStrings = Block("VS_VERSION_INFO", false, Fixed(1, 0), 52, {Translation(0x409, 1200)});
    EXPECT_FALSE(ParseVersionInfo(noStrings, info, error));
    EXPECT_EQ(error, "no string table");

    // A child that claims more than its parent holds.
    Bytes longChild = good;
    longChild[92] = 0xFF;  // the StringFileInfo block's length, right after the fixed part
    longChild[93] = 0x7F;
    VersionInfo partial;
    EXPECT_FALSE(ParseVersionInfo(longChild, partial, error));

    // A root that claims more bytes than there are, and every cut of the resource.
    Bytes longRoot = good;
    longRoot[0] = 0xFF;
    longRoot[1] = 0xFF;
    EXPECT_FALSE(ParseVersionInfo(longRoot, info, error));
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        VersionInfo v;
        EXPECT_FALSE(ParseVersionInfo(cut, v, error)) << "cut at " << n;
    }
    // A key without its terminating zero inside the block.
    Bytes unterminated = Block("VS_VERSION_INFO", false, {}, 0);
    unterminated.resize(unterminated.size() - 4);  // drop the zero and the padding
    unterminated[0] = static_cast<std::uint8_t>(unterminated.size());
    EXPECT_FALSE(ParseVersionInfo(unterminated, info, error));
}

std::string ModulePath(const char* preset, const char* file) {
    if (const char* dir = std::getenv("VESPER_MODULE_DIR"))
        return std::string(dir) + "/" + file;
    return std::string(VESPER_SOURCE_DIR) + "/build/" + preset + "/plugins/" + file;
}

void CheckModule(const std::string& path, const std::string& name) {
    Bytes file;
    if (!ReadWholeFile(path, file))
        GTEST_SKIP() << path << " is not built (run the win32/win64 presets first)";
    PeResource res;
    std::string error;
    ASSERT_TRUE(FindPeResource(file, 16, 1, res, error)) << error;
    EXPECT_EQ(res.Language, 0) << "language neutral, like the module's other resources";
    VersionInfo info;
    ASSERT_TRUE(ParseVersionInfo(res.Bytes, info, error)) << error;

    const std::string version = VESPER_VERSION;  // the project's version, as CMake has it
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3) << version;
    EXPECT_EQ(info.FileVersionHigh, major << 16 | minor);
    EXPECT_EQ(info.FileVersionLow, patch << 16);
    EXPECT_EQ(info.ProductVersionHigh, info.FileVersionHigh);
    EXPECT_EQ(info.ProductVersionLow, info.FileVersionLow);
    EXPECT_EQ(info.FileType, 2u) << "a DLL";
    EXPECT_EQ(info.FileFlags, 0u) << "a release: no debug, pre-release or patched flag";
    EXPECT_EQ(info.StringTable, "040904B0");
    ASSERT_EQ(info.Translations.size(), 1u);
    EXPECT_EQ(info.Translations[0], 0x04B00409u) << "the translation names the string table";

    EXPECT_EQ(info.Get("FileVersion"), version);
    EXPECT_EQ(info.Get("ProductVersion"), version);
    EXPECT_EQ(info.Get("ProductName"), "Vesper");
    EXPECT_EQ(info.Get("CompanyName"), "Vesper Software Works");
    EXPECT_EQ(info.Get("FileDescription"), "Transfer to Tarnwick Studio filter plug-in");
    EXPECT_EQ(info.Get("InternalName"), name);
    EXPECT_EQ(info.Get("OriginalFilename"), name + ".8bf");
    EXPECT_EQ(info.Get("LegalCopyright"), "Copyright (c) 2004-2026 Vesper Software Works");
    EXPECT_EQ(info.Strings.size(), 8u);
}

TEST(ModuleVersionResource, Win32Module) { CheckModule(ModulePath("win32", "Vesper.8bf"), "Vesper"); }

TEST(ModuleVersionResource, Win64Module) {
    CheckModule(ModulePath("win64", "Vesper64.8bf"), "Vesper64");
}

}  // namespace
