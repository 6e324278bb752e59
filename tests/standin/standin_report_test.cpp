#include "standin_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A well-formed bottom-up BMP of the given size and depth; every pixel byte is 0x11.
Bytes Bmp(int w, int h, int bits)
{
    const std::size_t stride = (static_cast<std::size_t>(w) * bits / 8 + 3) / 4 * 4;
    Bytes b(54 + stride * h, 0x11);
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
    Put(b, 10, 54, 4);
    Put(b, 14, 40, 4);
    Put(b, 18, static_cast<std::uint32_t>(w), 4);
    Put(b, 22, static_cast<std::uint32_t>(h), 4);
    Put(b, 26, 1, 2);
    Put(b, 28, static_cast<std::uint32_t>(bits), 2);
    Put(b, 34, static_cast<std::uint32_t>(stride * h), 4);
    return b;
}

std::optional<std::string> NoEnv(const char*) { return std::nullopt; }
std::optional<std::string> TestEnv(const char* name)
{
    const std::string n = name;
    if (n == "TARNWICK_STANDIN_IMAGE")
        return std::string("d:\\img.bmp");
    if (n == "TARNWICK_STANDIN_REPORT")
        return std::string("r.txt");
    if (n == "TARNWICK_STANDIN_EXIT_AFTER_MS")
        return std::string("250");
    return std::nullopt;
}
std::optional<std::string> BadEnv(const char* name)
{
    return std::string(name) == "TARNWICK_STANDIN_EXIT_AFTER_MS" ? std::optional<std::string>("soon") : std::nullopt;
}

} // namespace

TEST(Fnv1a, KnownVectors)
{
    EXPECT_EQ(Fnv1a32({}), 0x811C9DC5u);
    EXPECT_EQ(Fnv1a32({'a'}), 0xE40C292Cu);
    EXPECT_EQ(Fnv1a32({'f', 'o', 'o', 'b', 'a', 'r'}), 0xBF9CF968u);
}

TEST(InspectExchangeFile, WellFormedFilesOfBothDepths)
{
    const Bytes image = Bmp(3, 2, 32);
    ExchangeFileInfo f = InspectExchangeFile("c:\\x.bmp", image);
    EXPECT_EQ(f.Status, "ok");
    EXPECT_EQ(f.Path, "c:\\x.bmp");
    EXPECT_EQ(f.Width, 3);
    EXPECT_EQ(f.Height, 2);
    EXPECT_EQ(f.BitsPerPixel, 32);
    EXPECT_EQ(f.Bytes, 78u);
    EXPECT_EQ(f.Checksum, Fnv1a32(image));

    // 24 bits: a row of 3 pixels is 9 bytes, padded to 12.
    f = InspectExchangeFile("m", Bmp(3, 2, 24));
    EXPECT_EQ(f.Status, "ok");
    EXPECT_EQ(f.BitsPerPixel, 24);
    EXPECT_EQ(f.Bytes, 54u + 24u);
}

TEST(InspectExchangeFile, RefusesDamagedOrForeignHeaders)
{
    struct Case {
        const char* Name;
        void (*Damage)(Bytes&);
        const char* Reason;
    };
    const Case cases[] = {
        {"not BM", [](Bytes& b) { b[1] = 'A'; }, "not a BMP file"},
        {"one byte short", [](Bytes& b) { b.pop_back(); }, "file size field does not match the file"},
        {"size field lies", [](Bytes& b) { Put(b, 2, 1000, 4); }, "file size field does not match the file"},
        {"core header", [](Bytes& b) { Put(b, 14, 12, 4); }, "header sizes out of range"},
        {"pixels before headers", [](Bytes& b) { Put(b, 10, 20, 4); }, "header sizes out of range"},
        {"two planes", [](Bytes& b) { Put(b, 26, 2, 2); }, "planes is not 1"},
        {"8 bits", [](Bytes& b) { Put(b, 28, 8, 2); }, "not 24 or 32 bits per pixel"},
        {"compressed", [](Bytes& b) { Put(b, 30, 3, 4); }, "compressed"},
        {"zero width", [](Bytes& b) { Put(b, 18, 0, 4); }, "size out of range"},
        {"top-down", [](Bytes& b) { Put(b, 22, static_cast<std::uint32_t>(-2), 4); }, "size out of range"},
        {"image size field", [](Bytes& b) { Put(b, 34, 20, 4); }, "image size field does not match the rows"},
        {"rows short of the file", [](Bytes& b) { Put(b, 18, 2, 4); Put(b, 34, 16, 4); },
         "pixel data does not end the file"},
    };
    for (const Case& c : cases) {
        Bytes b = Bmp(3, 2, 32);
        c.Damage(b);
        const ExchangeFileInfo f = InspectExchangeFile("p", b);
        EXPECT_EQ(f.Status, std::string("bad: ") + c.Reason) << c.Name;
        EXPECT_EQ(f.Width, 0) << c.Name;
        // A refused file still tells apart by size and checksum.
        EXPECT_EQ(f.Bytes, b.size()) << c.Name;
        EXPECT_EQ(f.Checksum, Fnv1a32(b)) << c.Name;
    }
    EXPECT_EQ(InspectExchangeFile("p", Bytes(53, 0)).Status, "bad: not a BMP file");
}

TEST(InspectExchangeFile, MissingFileIsReportedAsMissing)
{
    const ExchangeFileInfo f = InspectExchangeFilePath("c:\\gone.bmp", "/nonexistent/dir/gone.bmp");
    EXPECT_EQ(f.Status, "missing");
    EXPECT_EQ(f.Path, "c:\\gone.bmp");
    EXPECT_EQ(f.Bytes, 0u);
}

TEST(InspectExchangeFile, ReadsTheFileFromItsOpenPath)
{
    const auto path = std::filesystem::temp_directory_path() / "vesper-standin-inspect.bmp";
    const Bytes b = Bmp(5, 1, 24);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    const ExchangeFileInfo f = InspectExchangeFilePath("c:\\shown.bmp", path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(f.Status, "ok");
    EXPECT_EQ(f.Path, "c:\\shown.bmp");
    EXPECT_EQ(f.Width, 5);
    EXPECT_EQ(f.Checksum, Fnv1a32(b));
}

TEST(Report, RoundTripsThroughText)
{
    const ExchangeFileInfo image = InspectExchangeFile("c:\\a b.bmp", Bmp(4, 3, 32));
    ExchangeFileInfo mask;
    mask.Path = "c:\\m.bmp";
    mask.Status = "missing";
    const auto parsed = ParseReport(FormatReport(image, mask));
    ASSERT_TRUE(parsed);
    const auto& r = *parsed;
    EXPECT_EQ(r.at("image.path"), "c:\\a b.bmp");  // the rest of the line, spaces and all
    EXPECT_EQ(r.at("image.status"), "ok");
    EXPECT_EQ(r.at("image.width"), "4");
    EXPECT_EQ(r.at("image.height"), "3");
    EXPECT_EQ(r.at("image.bits"), "32");
    EXPECT_EQ(r.at("image.bytes"), "102");
    char sum[16];
    std::snprintf(sum, sizeof sum, "%08x", image.Checksum);
    EXPECT_EQ(r.at("image.fnv1a"), sum);
    EXPECT_EQ(r.at("mask.status"), "missing");
    // A missing file has no values to report.
    EXPECT_EQ(r.count("mask.width"), 0u);
    EXPECT_EQ(r.count("mask.bytes"), 0u);
}

TEST(Report, BadFileKeepsSizeAndChecksumOnly)
{
    Bytes b = Bmp(2, 2, 32);
    b[0] = 'X';
    const auto r = ParseReport(FormatReport(InspectExchangeFile("i", b), InspectExchangeFile("m", Bmp(1, 1, 24))));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->at("image.status"), "bad: not a BMP file");
    EXPECT_EQ(r->at("image.bytes"), std::to_string(b.size()));
    EXPECT_EQ(r->count("image.width"), 0u);
    EXPECT_EQ(r->at("mask.bits"), "24");
}

TEST(Report, IncompleteTextIsNoReport)
{
    const std::string whole = FormatReport(InspectExchangeFile("i", Bmp(1, 1, 32)), InspectExchangeFile("m", Bmp(1, 1, 32)));
    EXPECT_FALSE(ParseReport(whole.substr(0, whole.size() - 4)));
    EXPECT_FALSE(ParseReport(""));
    // Line ends written by a Windows program read the same.
    auto crlf = ParseReport("x.status ok\r\nend\r\n");
    ASSERT_TRUE(crlf);
    EXPECT_EQ(crlf->at("x.status"), "ok");
}

TEST(StandinOptions, DefaultsAreTheExchangeFilesAndABoundedLife)
{
    StandinOptions o;
    std::string error;
    ASSERT_TRUE(ParseStandinOptions({}, NoEnv, o, error));
    EXPECT_EQ(o.ImagePath, "c:\\tarnwickstudiorgb_dovrane.bmp");
    EXPECT_EQ(o.MaskPath, "c:\\tarnwickstudioa_dovrane.bmp");
    EXPECT_EQ(o.ReportPath, "");
    EXPECT_FALSE(o.Stay);
    EXPECT_GT(StandinLifetimeMs(o), 0u);
    EXPECT_LE(StandinLifetimeMs(o), 10000u);
}

TEST(StandinOptions, EnvironmentFillsAndArgumentsWin)
{
    StandinOptions o;
    std::string error;
    ASSERT_TRUE(ParseStandinOptions({}, TestEnv, o, error));
    EXPECT_EQ(o.ImagePath, "d:\\img.bmp");
    EXPECT_EQ(o.ReportPath, "r.txt");
    EXPECT_EQ(StandinLifetimeMs(o), 250u);

    StandinOptions p;
    ASSERT_TRUE(ParseStandinOptions({"--image", "e:\\i.bmp", "--mask", "e:\\m.bmp", "--report", "q.txt", "--exit-after-ms",
                                     "0"},
                                    TestEnv, p, error));
    EXPECT_EQ(p.ImagePath, "e:\\i.bmp");
    EXPECT_EQ(p.MaskPath, "e:\\m.bmp");
    EXPECT_EQ(p.ReportPath, "q.txt");
    EXPECT_EQ(StandinLifetimeMs(p), 0u);
}

TEST(StandinOptions, StayIsStillBounded)
{
    StandinOptions o;
    std::string error;
    ASSERT_TRUE(ParseStandinOptions({"--stay"}, NoEnv, o, error));
    EXPECT_TRUE(o.Stay);
    EXPECT_EQ(StandinLifetimeMs(o), StandinOptions::StayLimitMs);
}

TEST(StandinOptions, RefusesWhatItCannotUse)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--exit-after-ms"}, {"--exit-after-ms", "60001"}, {"--exit-after-ms", "-1"}, {"--exit-after-ms", "1e3"},
        {"--report"},        {"--frobnicate"},
    };
    for (const auto& args : bad) {
        StandinOptions o;
        std::string error;
        EXPECT_FALSE(ParseStandinOptions(args, NoEnv, o, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
    StandinOptions o;
    std::string error;
    EXPECT_FALSE(ParseStandinOptions({}, BadEnv, o, error));
    EXPECT_NE(error.find("TARNWICK_STANDIN_EXIT_AFTER_MS"), std::string::npos);
}
