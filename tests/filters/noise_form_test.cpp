#include "filters/noise_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "../bridge/fake_image_host.h"
#include "../toolkit/fixture.h"
#include "bridge/mask_layer.h"
#include "filters/exchange_files.h"
#include "filters/noise.h"
#include "entry/dispatch.h"
#include "entry/module_entry.h"
#include "base/headless/dib_accounting.h"
#include "base/headless/files.h"
#include "temp_drive_root.h"
#include "toolkit/resources.h"
#include "toolkit/stdctrls.h"
#include "widgets/img_view32.h"
#include "widgets/range_bars.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using fake_image_host::Host;

namespace {

constexpr TRegistryRoot HKLM = TRegistryRoot::LocalMachine;

Bytes ReadAll(const std::string& Path)
{
    std::ifstream f(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 32-bit BMP of W x H whose stored pixel (x, y) has the bytes Pixel(x, y) (byte 0 first).
Bytes Bmp32(int W, int H, const std::function<std::uint32_t(int, int)>& Pixel)
{
    const std::uint32_t image = 4u * W * H;
    Bytes b(54 + image, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, 54 + image);
    Put32(b, 10, 54);
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(W));
    Put32(b, 22, static_cast<std::uint32_t>(H));
    b[26] = 1;
    b[28] = 32;
    Put32(b, 34, image);
    std::size_t at = 54;
    for (int y = H - 1; y >= 0; --y)
        for (int x = 0; x < W; ++x, at += 4)
            Put32(b, at, Pixel(x, y));
    return b;
}

// The host's planes of pixel (x, y) as the filter graphic lays them into a colour word.
std::uint32_t HostWord(Host& H, int Planes, int x, int y)
{
    std::uint32_t w = 0;
    for (int k = 0; k < Planes && k < 4; ++k)
        w |= static_cast<std::uint32_t>(H.At(x, y, k)) << (8 * k);
    return w;
}

// The mask file at 32 bits: bytes 0, 0, red, 0.
Bytes MaskFile(int W, int H, const std::function<std::uint8_t(int, int)>& Red)
{
    return Bmp32(W, H, [&](int x, int y) { return static_cast<std::uint32_t>(Red(x, y)) << 16; });
}

class NoiseFormTest : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        ResetRandomSeed();
        Block.assign(kNoiseBlockSize, 0);
    }
    void TearDown() override
    {
        if (Slot)
            FallbackDisposeHandle(reinterpret_cast<Handle>(Slot));
        CurrentParameterBlock = nullptr;
        HeadlessTest::TearDown();
    }

    // A start call the way the host makes it, through the exported entry point.
    std::int16_t Start(Host& H)
    {
        std::int16_t res = 0x5555;
        VesperNoise(filterSelectorStart, &H.Record, &Slot, &res);
        return res;
    }
    // The dialog as the dispatcher creates it, on a block of the test's own.
    TComponentPtr<TNoiseForm> Create(Host& H, NoiseParameters P = {})
    {
        HostContext.FilterRecord = &H.Record;
        WriteNoiseParameters(Block.data(), P);
        CurrentParameterBlock = Block.data();
        return TComponentPtr<TNoiseForm>(static_cast<TNoiseForm*>(CreateFormOf<TNoiseForm>(nullptr)));
    }
    // An installed editor: one host version whose plug-in path records Folder, in the
    // module's own registry view unless another is named.
    void InstallEditor(const std::string& Folder, const std::string& Version = "CS2", std::uint32_t View = 0)
    {
        headless::RegistrySetString(HKLM, std::string("SOFTWARE\\Adobe\\Photoshop\\") + Version + "\\PluginPath",
                                    "Tarnwick", Folder, View);
    }
    Bytes ImageFile() const { return ReadAll(PlatformPath(ImageExchangeFileName)); }
    Bytes MaskFileBytes() const { return ReadAll(PlatformPath(MaskExchangeFileName)); }
    // The launched file of the only shell open.
    std::string Launched() const
    {
        const auto& s = headless::ShellOpens();
        return s.size() == 1 ? s[0].File : "(" + std::to_string(s.size()) + " shell opens)";
    }

    TTempDriveRoot Drive{"noiseform"};
    std::intptr_t Slot = 0;
    std::vector<std::uint8_t> Block;
};

// ---------------------------------------------------------------- the stored form

TEST_F(NoiseFormTest, StoredFormIsCompiledInUnderItsName)
{
    RegisterNoiseFormResource();
    std::string text = LoadRawResource("TNOISEFORM");
    const Bytes source = ReadAll(std::string(VESPER_SOURCE_DIR) + "/src/filters/forms/noise_form.txt");
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(text, std::string(source.begin(), source.end()));
    EXPECT_EQ(LoadRawResource("tnoiseform"), text) << "resource names ignore case";
}

TEST_F(NoiseFormTest, FormAndControlsCarryTheirStoredSettings)
{
    Host host(4, 3, 3);
    auto form = Create(host);
    EXPECT_EQ(form->Caption(), "Tarnwick Studio...");
    EXPECT_EQ(form->ClientWidth(), 391);
    EXPECT_EQ(form->ClientHeight(), 143);
    EXPECT_EQ(form->BorderStyle(), bsDialog);
    EXPECT_EQ(form->FormStyle(), fsMDIForm);
    EXPECT_EQ(form->Color(), clAppWorkSpace);
    EXPECT_EQ(form->Font().Name(), "Tahoma");
    EXPECT_EQ(form->Font().Height(), -11);

    EXPECT_EQ(form->Panel2->Parent(), form->Panel1);
    EXPECT_EQ(form->Panel3->Caption(), "Image Properties");
    EXPECT_EQ(form->Panel3->Color(), clBtnShadow);
    EXPECT_EQ(form->Panel3->Font().Color(), clWindow);
    EXPECT_EQ(form->Panel4->Top(), 139);
    EXPECT_EQ(form->Panel6->Top(), 363) << "the buttons lie below the visible client area";
    EXPECT_EQ(form->Panel7->Align(), alClient);
    EXPECT_EQ(form->cmbScaleMode->Items(), (std::vector<std::string>{"Normal", "Resize", "Scale", "Stretch"}));
    EXPECT_EQ(form->ComboBox2->Items(),
              (std::vector<std::string>{"Nearest", "Linear", "Spline", "Lanczos", "Mitchell"}));
    EXPECT_EQ(form->cmbScaleMode->ItemIndex(), 0);
    EXPECT_EQ(form->ComboBox2->ItemIndex(), 0);
    EXPECT_TRUE(form->chkDisplayMask->Checked());
    EXPECT_EQ(form->chkDisplayMask->Caption(), "Display mask");
    EXPECT_EQ(form->Button5->Caption(), "Cancel");
    EXPECT_EQ(form->Button4->Caption(), "Apply");
    EXPECT_EQ(form->ImgView->Parent(), form->Panel7);
    EXPECT_EQ(form->ImgView->Color(), clWhite);
    EXPECT_EQ(form->ImgView->SizeGrip(), sgNone);
    EXPECT_EQ(form->ImgView->ScrollBars()->Style(), rbsDefault);
    EXPECT_TRUE(form->ImgView->ScrollBars()->ShowHandleGrip());

    for (TGaugeBar* bar : {form->barAlpha, form->barRed, form->barGreen, form->barBlue, form->BarVariation}) {
        SCOPED_TRACE(bar->Name());
        EXPECT_EQ(bar->Parent(), form->Panel4);
        EXPECT_EQ(bar->Style(), rbsMac);
        EXPECT_EQ(bar->Backgnd(), bgPattern);
        EXPECT_EQ(bar->HandleSize(), 16);
        EXPECT_FALSE(bar->ShowArrows());
        EXPECT_TRUE(bar->ShowHandleGrip());
        EXPECT_EQ(bar->Min(), 0);
        EXPECT_TRUE(bar->OnMouseUp) << "every bar re-runs the noise on mouse-up";
    }
    EXPECT_EQ(form->barBlue->Max(), 255);
    EXPECT_EQ(form->BarVariation->Max(), 127);
}

// ---------------------------------------------------------------- the creation handler

TEST_F(NoiseFormTest, EditorNotRunningWritesBothFilesAndStartsTheRecordedEditor)
{
    // An odd width: the image file is never padded, the mask's rows are whole words anyway.
    const int W = 5, H = 3;
    Host host(W, H, 3);
    std::vector<std::uint8_t> selection(W * H);
    for (int i = 0; i < W * H; ++i)
        selection[i] = static_cast<std::uint8_t>(i * 17);
    host.SetMask(selection);
    InstallEditor("C:\\Program Files\\Tarnwick\\");

    EXPECT_EQ(Start(host), noErr);

    EXPECT_EQ(ImageFile(), Bmp32(W, H, [&](int x, int y) { return HostWord(host, 3, x, y); }))
        << "a new block's zero noise leaves the host image as read";
    EXPECT_EQ(MaskFileBytes(), MaskFile(W, H, [&](int x, int y) { return selection[y * W + x]; }));
    ASSERT_EQ(headless::ShellOpens().size(), 1u);
    const auto& open = headless::ShellOpens()[0];
    EXPECT_EQ(open.File, "C:\\Program Files\\Tarnwick\\TarnwickStudio.exe");
    EXPECT_EQ(open.Verb, "open");
    EXPECT_EQ(open.Owner, nullptr);
    EXPECT_EQ(open.Parameters, "");
    EXPECT_EQ(open.Directory, "");
    EXPECT_EQ(open.ShowCmd, SwShowNormal);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(headless::WindowPlacements().empty());
    EXPECT_EQ(headless::RegistryOpenAttempts(), 2) << "the host's key, then the editor's";
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0) << "every key is closed again";

    // The host's image is left alone: its output was never asked for.
    ASSERT_FALSE(host.Requests.empty());
    for (const auto& r : host.Requests)
        EXPECT_TRUE(fake_image_host::IsEmpty(r.Out));
    EXPECT_TRUE(fake_image_host::IsEmpty(host.Record.inRect));
    EXPECT_TRUE(fake_image_host::IsEmpty(host.Record.outRect));
    EXPECT_TRUE(fake_image_host::IsEmpty(host.Record.maskRect));
}

TEST_F(NoiseFormTest, RunningEditorIsBroughtToTheTopWithoutRegistryOrLaunch)
{
    Host host(3, 2, 3);
    InstallEditor("C:\\Editor\\");
    headless::AddTopWindow("Some other program");
    void* editor = headless::AddTopWindow("Tarnwick Studio", "TTarnwickMain");

    EXPECT_EQ(Start(host), noErr);

    ASSERT_EQ(headless::WindowPlacements().size(), 1u);
    const auto& p = headless::WindowPlacements()[0];
    EXPECT_EQ(p.Window, editor);
    EXPECT_EQ(p.InsertAfter, WindowTop);
    EXPECT_EQ(p.X, 0);
    EXPECT_EQ(p.Y, 0);
    EXPECT_EQ(p.Cx, 0);
    EXPECT_EQ(p.Cy, 0);
    EXPECT_EQ(p.Flags, SwpShowWindow) << "no flag keeps the old position or size";
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_EQ(headless::RegistryOpenAttempts(), 0);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(ImageFile().size(), 54u + 4 * 3 * 2) << "the files come before the hand-off";
}

TEST_F(NoiseFormTest, HostKeyWithoutVersionsShowsTheListErrorAndLaunchesNothing)
{
    Host host(3, 2, 3);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop");

    EXPECT_EQ(Start(host), userCanceledErr) << "after its box, the host hears a silent cancel";

    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "List index out of bounds (0)");
    EXPECT_EQ(headless::MessageBoxes()[0].Caption, Application->Title()) << "shown by the application";
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);
    EXPECT_FALSE(ImageFile().empty());
    EXPECT_FALSE(MaskFileBytes().empty());
}

TEST_F(NoiseFormTest, MissingHostKeyEndsTheSameWay)
{
    Host host(2, 2, 3);
    EXPECT_EQ(Start(host), userCanceledErr);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "List index out of bounds (0)");
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop")) << "opened without creating";
}

TEST_F(NoiseFormTest, UnopenableEditorKeyShowsThePathMessage)
{
    Host host(2, 2, 3);
    InstallEditor("C:\\Editor\\");
    headless::RegistryDenyOpen(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath");

    EXPECT_EQ(Start(host), userCanceledErr) << "nothing was handed off";

    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    const auto& box = headless::MessageBoxes()[0];
    EXPECT_EQ(box.Text, "The file path is error, please reinstall the Tarnwick Studio plugin.");
    EXPECT_EQ(box.Caption, "") << "the system's default caption";
    EXPECT_EQ(box.Owner, nullptr);
    EXPECT_EQ(box.Flags, MsgBoxOk);
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);
}

TEST_F(NoiseFormTest, MissingPluginPathIsCreatedAndItsMissingValueReadsEmpty)
{
    Host host(2, 2, 3);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\7.0");
    EXPECT_EQ(Start(host), noErr);
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\7.0\\PluginPath"));
    EXPECT_EQ(Launched(), "TarnwickStudio.exe");

    // Where the key cannot be created the path message is shown instead.
    headless::Reset();
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\7.0");
    headless::RegistryDenyCreate(HKLM, "SOFTWARE\\Adobe\\Photoshop\\7.0");
    Host again(2, 2, 3);
    EXPECT_EQ(Start(again), userCanceledErr) << "after the path message, a silent cancel";
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, EditorPathErrorMessage);
    EXPECT_TRUE(headless::ShellOpens().empty());
}

TEST_F(NoiseFormTest, RecordedFolderIsTrimmedAndGluedToTheExecutable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tools\\Tarnwick\\", "C:\\Tools\\Tarnwick\\TarnwickStudio.exe"},
        {"C:\\Tools\\Tarnwick", "C:\\Tools\\TarnwickTarnwickStudio.exe"},
        {"  \tD:\\Editor\\ \r\n", "D:\\Editor\\TarnwickStudio.exe"},
        {"", "TarnwickStudio.exe"},
    };
    for (auto [value, file] : cases) {
        SCOPED_TRACE(value);
        headless::Reset();
        InstallEditor(value);
        Host host(2, 1, 3);
        EXPECT_EQ(Start(host), noErr);
        EXPECT_EQ(Launched(), file);
    }
}

TEST_F(NoiseFormTest, FirstEnumeratedHostVersionIsUsed)
{
    InstallEditor("C:\\First\\", "CS3");
    InstallEditor("C:\\Second\\", "7.0");
    InstallEditor("C:\\Third\\", "CS2");
    Host host(2, 2, 3);
    EXPECT_EQ(Start(host), noErr);
    EXPECT_EQ(Launched(), "C:\\First\\TarnwickStudio.exe");
}

// ---------------------------------------------------------------- registry rights and views

// Machine-wide keys are read-only to a host without elevation; the editor starts all the same.
TEST_F(NoiseFormTest, ReadOnlyEditorKeyStartsTheEditor)
{
    InstallEditor("C:\\Editor\\");
    for (const char* key : {"SOFTWARE", "SOFTWARE\\Adobe", "SOFTWARE\\Adobe\\Photoshop",
                            "SOFTWARE\\Adobe\\Photoshop\\CS2", "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath"})
        headless::RegistryDenyWrite(HKLM, key);
    Host host(2, 2, 3);
    EXPECT_EQ(Start(host), noErr);
    EXPECT_EQ(Launched(), "C:\\Editor\\TarnwickStudio.exe");
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);

    // Without the editor key, the read-only version key lets none be created: the path message.
    headless::Reset();
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2");
    headless::RegistryDenyWrite(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2");
    Host again(2, 2, 3);
    EXPECT_EQ(Start(again), userCanceledErr) << "after the path message, a silent cancel";
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, EditorPathErrorMessage);
    EXPECT_TRUE(headless::ShellOpens().empty());
}

TEST_F(NoiseFormTest, EditorRecordedOnlyInTheOtherViewIsStarted)
{
    InstallEditor("C:\\Other view\\", "CS2", RegistryOtherView);
    Host host(2, 2, 3);
    EXPECT_EQ(Start(host), noErr);
    EXPECT_EQ(Launched(), "C:\\Other view\\TarnwickStudio.exe");
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop", RegistryOwnView))
        << "the own view was only read";
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);
}

// The own view goes first; it gives way when its first version names no folder, whether the
// editor key or its value is missing or the value is blank.
TEST_F(NoiseFormTest, OwnViewFirstAndTheOtherWhenItNamesNoFolder)
{
    const std::function<void()> ownViews[] = {
        [] { headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2", RegistryOwnView); },
        [] { headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath", RegistryOwnView); },
        [this] { InstallEditor(" \t", "CS2", RegistryOwnView); },
        // Only the first version counts: a later one's folder does not.
        [this] {
            InstallEditor("", "CS2", RegistryOwnView);
            InstallEditor("C:\\Later\\", "CS3", RegistryOwnView);
        },
    };
    for (std::size_t i = 0; i < std::size(ownViews); ++i) {
        SCOPED_TRACE(i);
        headless::Reset();
        ownViews[i]();
        InstallEditor("C:\\Other\\", "9.0", RegistryOtherView);
        Host host(2, 1, 3);
        EXPECT_EQ(Start(host), noErr);
        EXPECT_EQ(Launched(), "C:\\Other\\TarnwickStudio.exe");
        if (i == 0) {
            EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath",
                                                     RegistryOwnView))
                << "nothing is created while a view still may name the folder";
        }
    }

    headless::Reset();
    InstallEditor("C:\\Own\\", "CS2", RegistryOwnView);
    InstallEditor("C:\\Other\\", "CS2", RegistryOtherView);
    Host host(2, 1, 3);
    EXPECT_EQ(Start(host), noErr);
    EXPECT_EQ(Launched(), "C:\\Own\\TarnwickStudio.exe");
}

// Neither view names a folder: the first view with a host version gets the missing editor key
// and starts the bare executable name; with no version in either, the list-index error.
TEST_F(NoiseFormTest, NeitherViewNamingAFolderEndsAsTheOwnViewWould)
{
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\9.0", RegistryOtherView);
    Host host(2, 1, 3);
    EXPECT_EQ(Start(host), noErr);
    EXPECT_EQ(Launched(), "TarnwickStudio.exe");
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\9.0\\PluginPath", RegistryOtherView));

    headless::Reset();
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2", RegistryOwnView);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\9.0", RegistryOtherView);
    Host second(2, 1, 3);
    EXPECT_EQ(Start(second), noErr);
    EXPECT_EQ(Launched(), "TarnwickStudio.exe");
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\CS2\\PluginPath", RegistryOwnView));
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\9.0\\PluginPath", RegistryOtherView));

    headless::Reset();
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop", RegistryOwnView);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop", RegistryOtherView);
    Host third(2, 1, 3);
    EXPECT_EQ(Start(third), userCanceledErr);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "List index out of bounds (0)");
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);
}

// ---------------------------------------------------------------- hosts that serve nothing

// A host that does not serve the image (or the selection it announced) ends the handler with
// the module's own message: no exchange file is written or replaced, nothing is started.
TEST_F(NoiseFormTest, HostThatServesNoImageOrMaskShowsTheErrorAndHandsNothingOff)
{
    struct Case {
        const char* Name;
        fake_image_host::Options Options;
        bool NoCallback, Selection;
        std::string Message;
    };
    const Case cases[] = {
        {"error answer", {.ServeNothing = true}, false, false, "The host did not supply the image."},
        {"no buffer", {.NullBuffers = true}, false, false, "The host did not supply the image."},
        {"no callback", {}, true, false, "The host did not supply the image."},
        {"mask refused", {.FailMask = true}, false, true, "The host did not supply the selection mask."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        headless::Reset();
        InstallEditor("C:\\Editor\\");
        const std::string stale = "an earlier run's file";
        std::ofstream(PlatformPath(ImageExchangeFileName)) << stale;
        std::ofstream(PlatformPath(MaskExchangeFileName)) << stale;
        Host host(3, 2, 3, c.Options);
        if (c.Selection)
            host.SetMask(std::vector<std::uint8_t>(6, 255));
        if (c.NoCallback)
            host.Record.advanceState = nullptr;

        EXPECT_EQ(Start(host), userCanceledErr) << "after its box, the host hears a silent cancel";

        ASSERT_EQ(headless::MessageBoxes().size(), 1u);
        EXPECT_EQ(headless::MessageBoxes()[0].Text, c.Message);
        EXPECT_EQ(headless::MessageBoxes()[0].Caption, Application->Title()) << "the toolkit's error box";
        EXPECT_EQ(ImageFile(), Bytes(stale.begin(), stale.end()));
        EXPECT_EQ(MaskFileBytes(), Bytes(stale.begin(), stale.end()));
        EXPECT_TRUE(headless::ShellOpens().empty());
        EXPECT_EQ(headless::RegistryOpenAttempts(), 0);
        EXPECT_TRUE(fake_image_host::IsEmpty(host.Record.inRect)) << "the dispatcher empties the request";
    }
}

TEST_F(NoiseFormTest, FailedImageFileEndsTheHandlerBeforeTheHandOff)
{
    // The drive root is a plain file, so nothing can be created below it.
    const std::string blocker = Drive.Path() + "/not-a-folder";
    std::ofstream(blocker) << "x";
    SetHeadlessDriveRoot(blocker);
    InstallEditor("C:\\Editor\\");
    Host host(3, 3, 3);

    EXPECT_EQ(Start(host), userCanceledErr) << "after its box, the host hears a silent cancel";

    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Caption, Application->Title());
    EXPECT_FALSE(headless::MessageBoxes()[0].Text.empty());
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_EQ(headless::RegistryOpenAttempts(), 0);
    for (const auto& r : host.Requests)
        EXPECT_TRUE(fake_image_host::IsEmpty(r.Out));
}

// Pixel storage the platform cannot give for the image: the creation handler's error box,
// no files, no hand-off, and the first paint closes the dialog as aborted instead of OK.
TEST_F(NoiseFormTest, OutOfMemoryInTheCreationHandlerAbortsTheDialog)
{
    InstallEditor("C:\\Editor\\");
    Host host(1000, 800, 3);
    host.SetMask(std::vector<std::uint8_t>(1000 * 800, 128));
    // Room for what a dialog shows, not for a bitmap of the whole image.
    headless_dib::SetLargestStorage(1 << 20);
    auto form = Create(host);
    headless_dib::SetLargestStorage(0);
    ASSERT_FALSE(headless::MessageBoxes().empty());
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "Can't allocate the DIB handle");
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_FALSE(fs::exists(PlatformPath(ImageExchangeFileName)));
    EXPECT_FALSE(fs::exists(PlatformPath(MaskExchangeFileName)));
    form->FormPaint(form.get());
    EXPECT_EQ(form->ModalResult(), mrAbort);

    // With memory the first paint closes with OK as before.
    auto fine = Create(host);
    fine->FormPaint(fine.get());
    EXPECT_EQ(fine->ModalResult(), mrOk);
}

// Through the entry point: the storage error box once and a user cancel for the host (the
// dialog itself needs no storage of the image's size), and the host can run the filter again
// once there is memory.
TEST_F(NoiseFormTest, OutOfMemoryFailsTheCallAndTheNextRunTransfers)
{
    InstallEditor("C:\\Editor\\");
    Host host(1000, 800, 3);
    host.SetMask(std::vector<std::uint8_t>(1000 * 800, 128));
    headless_dib::SetLargestStorage(1 << 20);
    const std::int16_t failed = Start(host);
    headless_dib::SetLargestStorage(0);
    EXPECT_EQ(failed, userCanceledErr);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "Can't allocate the DIB handle");
    EXPECT_TRUE(headless::ShellOpens().empty());
    EXPECT_FALSE(fs::exists(PlatformPath(ImageExchangeFileName)));

    headless::Reset();
    InstallEditor("C:\\Editor\\");
    EXPECT_EQ(Start(host), noErr);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(ImageFile().size(), 54u + 4u * 1000 * 800);
    EXPECT_EQ(Launched(), "C:\\Editor\\TarnwickStudio.exe");
}

TEST_F(NoiseFormTest, DummyPlanesAndPaddedRowsReachTheFilesAsPlainPixels)
{
    fake_image_host::Options o;
    o.PreDummy = 1;
    o.PostDummy = 2;
    o.RowPadding = 3;
    o.MaskPadding = 5;
    const int W = 7, H = 4;
    Host host(W, H, 3, o);
    std::vector<std::uint8_t> selection(W * H);
    for (int i = 0; i < W * H; ++i)
        selection[i] = static_cast<std::uint8_t>(255 - i * 9);
    host.SetMask(selection);
    InstallEditor("C:\\Editor\\");

    EXPECT_EQ(Start(host), noErr);

    EXPECT_EQ(ImageFile(), Bmp32(W, H, [&](int x, int y) { return HostWord(host, 3, x, y); }));
    EXPECT_EQ(MaskFileBytes(), MaskFile(W, H, [&](int x, int y) { return selection[y * W + x]; }));
    EXPECT_TRUE(host.InputFramingIntact());
    EXPECT_EQ(Launched(), "C:\\Editor\\TarnwickStudio.exe");
}

TEST_F(NoiseFormTest, GreyImageReachesTheFileAsEqualRgbAndHasAnAllRedMask)
{
    const int W = 6, H = 5;
    Host host(W, H, 1);
    InstallEditor("C:\\Editor\\");

    EXPECT_EQ(Start(host), noErr);

    // The editor sees the grey as the user does, not as a red picture.
    EXPECT_EQ(ImageFile(), Bmp32(W, H, [&](int x, int y) { return std::uint32_t(host.At(x, y, 0)) * 0x010101u; }));
    EXPECT_EQ(MaskFileBytes(), MaskFile(W, H, [](int, int) { return std::uint8_t(255); }))
        << "no selection: pure red";
    EXPECT_EQ(Launched(), "C:\\Editor\\TarnwickStudio.exe");
}

TEST_F(NoiseFormTest, FilterRectangleSmallerThanTheImage)
{
    // The mask file spans the whole image; outside the filter rectangle it counts as
    // unselected-by-default red 255, the image file holds the rectangle only.
    const int W = 6, H = 4;
    Host host(W, H, 3);
    host.Record.filterRect = Rect16{1, 2, 3, 5}; // top, left, bottom, right: 3 x 2
    host.SetMask(std::vector<std::uint8_t>(6, 40));
    InstallEditor("C:\\Editor\\");

    EXPECT_EQ(Start(host), noErr);

    EXPECT_EQ(ImageFile(), Bmp32(3, 2, [&](int x, int y) { return HostWord(host, 3, x + 2, y + 1); }));
    EXPECT_EQ(MaskFileBytes(), MaskFile(W, H, [](int x, int y) { return std::uint8_t(x < 3 && y < 2 ? 40 : 255); }));
}

TEST_F(NoiseFormTest, SecondRunReplacesBothFiles)
{
    InstallEditor("C:\\Editor\\");
    {
        Host first(5, 4, 3);
        first.SetMask(std::vector<std::uint8_t>(20, 0));
        EXPECT_EQ(Start(first), noErr);
    }
    Host second(2, 3, 3);
    second.At(1, 2, 0) = 0xAB;
    EXPECT_EQ(Start(second), noErr);
    EXPECT_EQ(ImageFile(), Bmp32(2, 3, [&](int x, int y) { return HostWord(second, 3, x, y); }));
    EXPECT_EQ(MaskFileBytes(), MaskFile(2, 3, [](int, int) { return std::uint8_t(255); }));
    EXPECT_EQ(headless::ShellOpens().size(), 2u);
}

// The pair changes together: a mask file another program holds past every retry leaves the
// image file of the last run byte for byte, the box names the mask, nothing is started and
// the host hears a silent cancel.
TEST_F(NoiseFormTest, MaskFileThatCannotBeReplacedLeavesTheImageFileAsItWas)
{
    InstallEditor("C:\\Editor\\");
    {
        Host first(5, 4, 3);
        first.SetMask(std::vector<std::uint8_t>(20, 0));
        EXPECT_EQ(Start(first), noErr);
    }
    const Bytes image = ImageFile(), mask = MaskFileBytes();
    SetHeadlessFileInUse(MaskExchangeFileName, -1);
    Host second(2, 3, 3);
    const std::int16_t result = Start(second);
    ClearHeadlessFileRules();

    EXPECT_EQ(result, userCanceledErr);
    EXPECT_EQ(ImageFile(), image);
    EXPECT_EQ(MaskFileBytes(), mask);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text,
              "The file \"c:\\tarnwickstudioa_dovrane.bmp\" is in use by another program");
    EXPECT_EQ(headless::ShellOpens().size(), 1u) << "only the first run handed off";
    EXPECT_EQ(Drive.FilesOnC(), (std::vector<std::string>{"tarnwickstudioa_dovrane.bmp", "tarnwickstudiorgb_dovrane.bmp"}));
}

TEST_F(NoiseFormTest, StoredParametersNoiseTheImageFile)
{
    // Full alpha without variation replaces every pixel by Red, Green, Blue, 255 in byte order.
    Host host(4, 3, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host, NoiseParameters{255, 10, 20, 30, 0});
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(ImageFile(), Bmp32(4, 3, [](int, int) { return 0xFF1E140Au; }));

    // With variation, the very noise of a fresh generator over the host image.
    TBitmap32 expected;
    expected.SetSize(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            expected.SetPixelAt(x, y, HostWord(host, 3, x, y));
    ResetRandomSeed();
    AddNoise(&expected, 90, 1, 2, 3, 40);
    ResetRandomSeed();
    auto noisy = Create(host, NoiseParameters{90, 1, 2, 3, 40});
    EXPECT_EQ(ImageFile(), Bmp32(4, 3, [&](int x, int y) { return expected.PixelAt(x, y); }));
    EXPECT_TRUE(noisy->ImgView->Bitmap()->SameContentAs(&expected));
}

TEST_F(NoiseFormTest, CreationAppliesNeitherComboNorTheBlockToTheSliders)
{
    Host host(3, 3, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host, NoiseParameters{1, 2, 3, 4, 5});
    EXPECT_EQ(form->ImgView->ScaleMode(), smScale) << "the view's own initial mode";
    EXPECT_EQ(form->ImgView->Bitmap()->StretchFilter(), sfNearest);
    EXPECT_EQ(form->barAlpha->Position(), 127);
    EXPECT_EQ(form->barRed->Position(), 127);
    EXPECT_EQ(form->barGreen->Position(), 127);
    EXPECT_EQ(form->barBlue->Position(), 127);
    EXPECT_EQ(form->BarVariation->Position(), 63);
    EXPECT_EQ(form->ImgView->Width(), 3);
    EXPECT_EQ(form->ImgView->Height(), 3);
    EXPECT_TRUE(form->ImgView->DoubleBuffered());
    EXPECT_EQ(form->ImgView->Stages()->Items(0).Kind, STAGE_CUSTOM) << "the checkerboard replaces the clear";
    EXPECT_EQ(form->ImgView->UpdateCount(), 1) << "the view's bracket stays open";
    EXPECT_EQ(form->ImgView->Bitmap()->UpdateCount(), 1);
    EXPECT_EQ(form->ParameterBlock(), Block.data());
    ASSERT_NE(form->MaskLayer(), nullptr);
    EXPECT_EQ(form->MaskLayer()->Collection(), form->ImgView->ImageLayers());
}

// ---------------------------------------------------------------- the handlers

TEST_F(NoiseFormTest, SliderReleaseStoresPositionsAndNoisesAFreshCopy)
{
    Host host(5, 4, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    form->barAlpha->SetPosition(200);
    form->barRed->SetPosition(10);
    form->barGreen->SetPosition(20);
    form->barBlue->SetPosition(250);
    form->BarVariation->SetPosition(5);

    TBitmap32 expected;
    expected.SetSize(5, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            expected.SetPixelAt(x, y, HostWord(host, 3, x, y));
    ResetRandomSeed(77);
    AddNoise(&expected, 200, 10, 20, 250, 5);

    const std::size_t requests = host.Requests.size();
    // Every bar is wired; releasing any one twice must not pile noise on noise.
    for (TGaugeBar* bar : {form->barGreen, form->BarVariation, form->barAlpha}) {
        SCOPED_TRACE(bar->Name());
        ResetRandomSeed(77);
        bar->OnMouseUp(bar, mbLeft, 0, 3, 3);
        EXPECT_TRUE(form->ImgView->Bitmap()->SameContentAs(&expected));
    }
    EXPECT_EQ(host.Requests.size(), requests + 3) << "the host image is read again each time";
    const NoiseParameters p = ReadNoiseParameters(Block.data());
    EXPECT_EQ(p.Alpha, 200);
    EXPECT_EQ(p.Red, 10);
    EXPECT_EQ(p.Green, 20);
    EXPECT_EQ(p.Blue, 250);
    EXPECT_EQ(p.Variation, 5);
}

TEST_F(NoiseFormTest, ComboIndexesMapOntoTheEnumerationsAsTheyStand)
{
    Host host(3, 3, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    std::vector<TScaleMode> modes;
    std::vector<TStretchFilter> filters;
    for (int i : {1, 2, 3, 0}) {
        headless::PostSelect(form->cmbScaleMode, i);
        headless::PostCall([&] { modes.push_back(form->ImgView->ScaleMode()); });
    }
    for (int i : {1, 2, 3, 4, 0}) {
        headless::PostSelect(form->ComboBox2, i);
        headless::PostCall([&] { filters.push_back(form->ImgView->Bitmap()->StretchFilter()); });
    }
    EXPECT_EQ(form->ShowModal(), mrOk);
    // "Resize" stretches and "Stretch" resizes; no item reaches Lanczos or Mitchell.
    EXPECT_EQ(modes, (std::vector<TScaleMode>{smStretch, smScale, smResize, smNormal}));
    EXPECT_EQ(filters, (std::vector<TStretchFilter>{sfDraft, sfLinear, sfCosine, sfSpline, sfNearest}));
}

TEST_F(NoiseFormTest, MaskCheckBoxShowsAndHidesTheLayer)
{
    Host host(3, 3, 3);
    host.SetMask(std::vector<std::uint8_t>(9, 128));
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    ASSERT_NE(form->MaskLayer(), nullptr);
    EXPECT_TRUE(form->MaskLayer()->Visible());
    form->chkDisplayMask->SetChecked(false);
    EXPECT_FALSE(form->MaskLayer()->Visible());
    form->chkDisplayMask->SetChecked(true);
    EXPECT_TRUE(form->MaskLayer()->Visible());
}

TEST_F(NoiseFormTest, CancelBeforeTheFirstPaintIsAUserCancel)
{
    Host host(3, 3, 3);
    InstallEditor("C:\\Editor\\");
    headless::PostCall([] {
        auto* form = dynamic_cast<TNoiseForm*>(headless::ModalForm());
        ASSERT_NE(form, nullptr);
        form->Button5->Click();
    });
    EXPECT_EQ(Start(host), userCanceledErr);
    EXPECT_FALSE(ImageFile().empty()) << "the creation handler had done its work";
    EXPECT_EQ(Launched(), "C:\\Editor\\TarnwickStudio.exe");
}

TEST_F(NoiseFormTest, ApplyWritesThePreviewIntoTheHostOutput)
{
    fake_image_host::Options o;
    o.PreDummy = 1;
    o.RowPadding = 2;
    Host host(4, 2, 3, o);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host, NoiseParameters{255, 9, 8, 7, 0});
    form->Button4->Click();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(host.Output(x, y, 0), 9);
            EXPECT_EQ(host.Output(x, y, 1), 8);
            EXPECT_EQ(host.Output(x, y, 2), 7);
        }
    EXPECT_TRUE(host.OutputFramingIntact());
    EXPECT_TRUE(fake_image_host::IsEmpty(host.Record.outRect));
    EXPECT_EQ(form->ModalResult(), mrNone) << "Apply does not close the dialog";
}

TEST_F(NoiseFormTest, DestroyHandlerFreesTheFilterGraphic)
{
    Host host(2, 2, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    ASSERT_NE(form->FilterGraphic(), nullptr);
    form->FormDestroy(form.get());
    EXPECT_EQ(form->FilterGraphic(), nullptr);
    form->Button4->Click(); // nothing to write through any more, and no crash
    form->barRed->OnMouseUp(form->barRed, mbLeft, 0, 0, 0);
}

// ---------------------------------------------------------------- the checkerboard

TEST(Checkerboard, EightPixelTilesWithGreyInTheCorner)
{
    TBitmap32 b;
    b.SetSize(21, 19);
    PaintCheckerboard(b);
    EXPECT_EQ(b.PixelAt(0, 0), 0xFFB0B0B0u);
    EXPECT_EQ(b.PixelAt(7, 7), 0xFFB0B0B0u);
    EXPECT_EQ(b.PixelAt(8, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b.PixelAt(0, 8), 0xFFFFFFFFu);
    EXPECT_EQ(b.PixelAt(8, 8), 0xFFB0B0B0u);
    EXPECT_EQ(b.PixelAt(16, 0), 0xFFB0B0B0u);
    EXPECT_EQ(b.PixelAt(20, 18), 0xFFB0B0B0u);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(b.PixelAt(x, y), ((x / 8 + y / 8) % 2 == 0) ? 0xFFB0B0B0u : 0xFFFFFFFFu) << x << "," << y;
}

TEST(Checkerboard, TilesCountFromTheViewsCornerAndKeepToTheClip)
{
    TBitmap32 b;
    b.SetSize(20, 12);
    b.Clear(0x12345678u);
    // The buffer holds the view from (3, 8): its pixel (0, 0) is in the view's second tile row.
    b.SetClipRect(TRect{2, 1, 18, 11});
    PaintCheckerboard(b, TPoint{3, 8});
    EXPECT_EQ(b.PixelAt(1, 5), 0x12345678u) << "left of the clip";
    EXPECT_EQ(b.PixelAt(5, 0), 0x12345678u) << "above the clip";
    EXPECT_EQ(b.PixelAt(18, 5), 0x12345678u) << "right of the clip";
    for (int y = 1; y < 11; ++y)
        for (int x = 2; x < 18; ++x) {
            const int vx = x + 3, vy = y + 8;
            ASSERT_EQ(b.PixelAt(x, y), ((vx / 8 + vy / 8) % 2 == 0) ? 0xFFB0B0B0u : 0xFFFFFFFFu) << x << "," << y;
        }
}

// The view is as large as the image; the dialog shows a corner of it. No buffer of the
// image's size is ever made for showing it.
TEST_F(NoiseFormTest, LargeImageIsShownFromABufferOfTheDialogsSize)
{
    Host host(1800, 1400, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    ASSERT_EQ(form->ImgView->Width(), 1800);
    EXPECT_EQ(form->ImgView->Buffer()->Width(), 0) << "nothing is fitted before a paint";
    form->Show();
    headless::FlushPaints();
    ASSERT_GT(headless::PaintCount(form->ImgView), 0);
    const TBitmap32& buffer = *form->ImgView->Buffer();
    EXPECT_LE(buffer.Width(), form->ClientWidth() + form->ImgView->BufferMargin());
    EXPECT_LE(buffer.Height(), form->ClientHeight() + form->ImgView->BufferMargin());
    EXPECT_LE(headless::Surface(form->ImgView)->Width(), form->ClientWidth());
    EXPECT_LE(headless::Surface(form->ImgView)->Height(), form->ClientHeight());
    EXPECT_EQ(form->ImgView->BufferOrigin(), (TPoint{0, 0})) << "the view's corner shows";
}

TEST_F(NoiseFormTest, PaintStageHandlerFillsTheWholeBuffer)
{
    Host host(2, 2, 3);
    InstallEditor("C:\\Editor\\");
    auto form = Create(host);
    ASSERT_TRUE(form->ImgView->OnPaintStage);
    TBitmap32 buffer;
    buffer.SetSize(17, 9);
    buffer.Clear(0x12345678u);
    form->ImgView->OnPaintStage(form->ImgView, &buffer, TRect{0, 0, 1, 1}, 0);
    EXPECT_EQ(buffer.PixelAt(0, 0), 0xFFB0B0B0u);
    EXPECT_EQ(buffer.PixelAt(8, 0), 0xFFFFFFFFu);
    EXPECT_EQ(buffer.PixelAt(8, 8), 0xFFB0B0B0u);
    EXPECT_EQ(buffer.PixelAt(16, 8), 0xFFFFFFFFu) << "beyond the clip rectangle too";
    TBitmap32 empty;
    form->ImgView->OnPaintStage(form->ImgView, &empty, TRect{}, 0); // an empty buffer is no fault
}

} // namespace
