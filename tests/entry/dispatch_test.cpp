#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "entry/about_box.h"
#include "host/fake_host.h"
#include "entry/dispatch.h"
#include "entry/module_entry.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless.h"
#include "widgets/display_host.h"

namespace {

// A scripted dialog: ends its modal run with a chosen result as soon as it is shown. Its
// factory can instead throw, as a failing construction would.
class TScriptedForm : public TForm {
public:
    static inline int Created = 0;
    static inline int Destroyed = 0;
    static inline int ModalResultToGive = 1;
    // 1: runtime_error, 2: bad_alloc, 3: a plain int, 4: the toolkit's out of resources,
    // 5: its out of memory, 6: a stored-form error
    static inline int Throw = 0;
    static inline void* BlockSeen = nullptr;
    static inline bool CreateHandlerThrows = false;

    explicit TScriptedForm(TComponent* Owner) : TForm(Owner) {
        ++Created;
        BlockSeen = CurrentParameterBlock;
        OnCreate = [](TObject*) {
            if (CreateHandlerThrows) throw Exception("Source bitmap is nil or empty");
        };
        OnShow = [this](TObject*) { SetModalResult(ModalResultToGive); };
    }
    ~TScriptedForm() override { ++Destroyed; }

    static TForm* Class(TComponent* Owner) {
        if (Throw == 1) throw std::runtime_error("Source bitmap is nil or empty");
        if (Throw == 2) throw std::bad_alloc();
        if (Throw == 3) throw 42;
        if (Throw == 4) throw EOutOfResources("Can't allocate the DIB handle");
        if (Throw == 5) throw EOutOfMemory("Can't allocate a byte map");
        if (Throw == 6) throw EConvertError("Line 4: Size too large");
        return CreateFormOf<TScriptedForm>(Owner);
    }
};

struct Reports {
    static inline int Count = 0;
    static inline std::string Message;
};

struct AboutCalls {
    static inline int Count = 0;
    static inline std::string Text;
    static void Show(const char* text) {
        ++Count;
        Text = text;
    }
};

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake_host::Reset();
        headless::Reset();
        TScriptedForm::Created = TScriptedForm::Destroyed = 0;
        TScriptedForm::ModalResultToGive = 1;
        TScriptedForm::Throw = 0;
        TScriptedForm::BlockSeen = nullptr;
        TScriptedForm::CreateHandlerThrows = false;
        Reports::Count = 0;
        Reports::Message.clear();
        AboutCalls::Count = 0;
        Application->OnException = [](const std::exception& e) {
            ++Reports::Count;
            Reports::Message = e.what();
        };
        SavedAbout = ShowAboutHandler;
        ShowAboutHandler = AboutCalls::Show;
    }
    void TearDown() override {
        Application->OnException = nullptr;
        ShowAboutHandler = SavedAbout;
        fake_host::Reset();
    }
    // Starts a filter bound to the scripted dialog, the way an entry point would.
    std::int16_t StartWithDialog(FilterRecord* r, std::intptr_t* data = nullptr) {
        CurrentBinding = FilterBinding{InitNoiseParameters, kNoiseBlockSize, TScriptedForm::Class};
        std::int16_t res = 0x7777;
        DispatchSelector(filterSelectorStart, r, data ? data : &slot, &res);
        return res;
    }
    HandleProcs procs = fake_host::UsableProcs();
    FilterRecord record = fake_host::MakeRecord(&procs);
    std::intptr_t slot = 0;
    AboutBoxHandler SavedAbout = nullptr;
};

TEST_F(DispatchTest, NoiseAboutShowsTextAndReadsNothing) {
    CurrentBinding = LineBinding;
    // An about record is much smaller than a filter record; the sanitizer catches any read.
    auto* aboutRecord = new std::uint32_t[1]{0xA0B0C0D0u};
    std::int16_t res = 0x1234;
    std::intptr_t data = 0;
    VesperNoise(filterSelectorAbout, reinterpret_cast<FilterRecord*>(aboutRecord), &data, &res);
    delete[] aboutRecord;
    EXPECT_EQ(res, 0x1234);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(AboutCalls::Count, 1);
    EXPECT_EQ(CurrentBinding.Initializer, LineBinding.Initializer) << "binding changed";
    EXPECT_EQ(AboutCalls::Text, AboutText);
}

TEST_F(DispatchTest, DefaultAboutBoxRunsAndReturns) {
    // The real about box on the headless back end: with no input scripted its modal run
    // ends at once, and the result word stays untouched.
    ShowAboutHandler = SavedAbout;
    std::int16_t res = 0x2222;
    VesperNoise(filterSelectorAbout, nullptr, nullptr, &res);
    EXPECT_EQ(res, 0x2222);
    EXPECT_EQ(AboutCalls::Count, 0);
}

TEST_F(DispatchTest, AboutBoxFailureDoesNotEscape) {
    ShowAboutHandler = [](const char*) { throw std::runtime_error("no display"); };
    std::int16_t res = 5;
    EXPECT_NO_THROW(VesperNoise(filterSelectorAbout, nullptr, nullptr, &res));
    EXPECT_EQ(res, 5);
    EXPECT_EQ(Reports::Message, "no display");
}

TEST_F(DispatchTest, LineAboutSelectorIsJustIgnored) {
    FilterRecord before = record;
    std::int16_t res = 0x1234;
    VesperLine(filterSelectorAbout, &record, &slot, &res);
    EXPECT_EQ(res, 0);
    EXPECT_EQ(AboutCalls::Count, 0);
    EXPECT_EQ(CurrentBinding.Initializer, LineBinding.Initializer);
    EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record));
}

TEST_F(DispatchTest, OtherSelectorsAnswerSuccessAndTouchNothing) {
    for (std::int16_t sel : {1, 2, 4, 5, 6, -1, 300}) {
        FilterRecord before = record;
        std::int16_t res = -1;
        VesperNoise(sel, &record, &slot, &res);
        EXPECT_EQ(res, 0) << "selector " << sel;
        EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record)) << "selector " << sel;
        EXPECT_EQ(slot, 0);
        res = -1;
        VesperLine(sel, &record, &slot, &res);
        EXPECT_EQ(res, 0);
    }
    EXPECT_EQ(fake_host::State().New, 0);
}

TEST_F(DispatchTest, DialogIsDestroyedAfterEveryRun) {
    for (int modal : {1, 2, 3}) {
        record = fake_host::MakeRecord(&procs);
        TScriptedForm::ModalResultToGive = modal;
        StartWithDialog(&record);
    }
    EXPECT_EQ(TScriptedForm::Created, 3);
    EXPECT_EQ(TScriptedForm::Destroyed, 3);
}

TEST_F(DispatchTest, CreationHandlerErrorIsShownAndRunGoesOn) {
    // The toolkit shows the message and the dialog still runs to its modal result.
    TScriptedForm::CreateHandlerThrows = true;
    TScriptedForm::ModalResultToGive = 2;
    EXPECT_EQ(StartWithDialog(&record), userCanceledErr);
    EXPECT_EQ(Reports::Count, 1);
    EXPECT_EQ(Reports::Message, "Source bitmap is nil or empty");
    EXPECT_EQ(TScriptedForm::Destroyed, 1);
    EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
}

TEST_F(DispatchTest, ExceptionBoxShowsMessageWithoutHandler) {
    Application->OnException = nullptr;
    TScriptedForm::Throw = 1;
    EXPECT_EQ(StartWithDialog(&record), filterBadParameters);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Text, "Source bitmap is nil or empty");
    EXPECT_EQ(headless::MessageBoxes()[0].Caption, Application->Title());
}

TEST_F(DispatchTest, MoreThanFourPlanesIsBadModeWithoutDialog) {
    record.planes = 5;
    EXPECT_EQ(StartWithDialog(&record), filterBadMode);
    EXPECT_EQ(static_cast<std::uint16_t>(filterBadMode), 0x8A6B);
    EXPECT_EQ(TScriptedForm::Created, 0);
    EXPECT_EQ(record.inRect.right, 4) << "rects must stay as the host set them";
    EXPECT_EQ(record.outRect.top, 5);
}

TEST_F(DispatchTest, FourPlanesRunsDialogAndEmptiesRects) {
    record.planes = 4;
    EXPECT_EQ(StartWithDialog(&record), noErr);
    EXPECT_EQ(TScriptedForm::Created, 1);
    EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
    EXPECT_TRUE(fake_host::IsEmpty(record.outRect));
    EXPECT_EQ(TScriptedForm::BlockSeen, CurrentParameterBlock);
    EXPECT_NE(CurrentParameterBlock, nullptr);
}

// Each filter's own image check, in front of the scripted dialog.
TEST_F(DispatchTest, ModesNeitherFilterCanReadAreBadModeBeforeAnyDialog) {
    struct Case {
        std::int16_t Mode, Planes;
    };
    const Case refused[] = {{plugInModeBitmap, 1}, {plugInModeIndexedColor, 1}, {5, 3},
                            {6, 3},               {plugInModeGray16, 1},       {plugInModeRGB48, 3},
                            {plugInModeCMYKColor, 3}, {plugInModeGrayScale, 3}, {plugInModeRGBColor, 0}};
    for (const FilterBinding* binding : {&NoiseBinding, &LineBinding})
        for (const Case& c : refused) {
            record = fake_host::MakeRecord(&procs, c.Planes);
            record.imageMode = c.Mode;
            CurrentBinding = FilterBinding{binding->Initializer, binding->BlockSize, TScriptedForm::Class,
                                           binding->AcceptsImage};
            std::int16_t res = 0x7777;
            DispatchSelector(filterSelectorStart, &record, &slot, &res);
            EXPECT_EQ(res, filterBadMode) << "mode " << c.Mode << ", " << c.Planes << " planes";
            EXPECT_EQ(record.inRect.right, 4) << "rects must stay as the host set them";
        }
    EXPECT_EQ(TScriptedForm::Created, 0);
}

TEST_F(DispatchTest, TransferRunsEveryConvertibleModeTheLineFilterRgbOnly) {
    struct Case {
        std::int16_t Mode, Planes;
    };
    const Case convertible[] = {{plugInModeGrayScale, 1}, {plugInModeGrayScale, 2}, {plugInModeDuotone, 1},
                                {plugInModeCMYKColor, 4}, {plugInModeLabColor, 3},  {plugInModeLabColor, 4},
                                {plugInModeMultichannel, 2}, {plugInModeRGBColor, 3}, {plugInModeRGBColor, 4}};
    for (const Case& c : convertible) {
        for (const FilterBinding* binding : {&NoiseBinding, &LineBinding}) {
            record = fake_host::MakeRecord(&procs, c.Planes);
            record.imageMode = c.Mode;
            CurrentBinding = FilterBinding{binding->Initializer, binding->BlockSize, TScriptedForm::Class,
                                           binding->AcceptsImage};
            const int before = TScriptedForm::Created;
            std::int16_t res = 0x7777;
            DispatchSelector(filterSelectorStart, &record, &slot, &res);
            const bool runs = binding == &NoiseBinding || c.Mode == plugInModeRGBColor;
            EXPECT_EQ(res, runs ? noErr : filterBadMode) << "mode " << c.Mode << ", " << c.Planes << " planes";
            EXPECT_EQ(TScriptedForm::Created - before, runs ? 1 : 0) << "mode " << c.Mode;
        }
    }
}

TEST_F(DispatchTest, LineEntryRefusesAGreyImageWithoutItsDialog) {
    // The real line dialog would fail writing three planes into one; it is never made.
    record = fake_host::MakeRecord(&procs, 1);
    record.imageMode = plugInModeGrayScale;
    std::int16_t res = 0x7777;
    VesperLine(filterSelectorStart, &record, &slot, &res);
    EXPECT_EQ(res, filterBadMode);
    EXPECT_EQ(Reports::Count, 0);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DispatchTest, ZeroAndNegativePlanesStillEndSoundly) {
    for (std::int16_t planes : {std::int16_t(0), std::int16_t(-3), std::int16_t(-32768)}) {
        record = fake_host::MakeRecord(&procs, planes);
        EXPECT_EQ(StartWithDialog(&record), noErr) << planes;
        EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
    }
}

TEST_F(DispatchTest, ModalResultsMapToHostCodes) {
    const std::pair<int, std::int16_t> cases[] = {
        {1, noErr}, {2, userCanceledErr}, {3, userCanceledErr}, {0, userCanceledErr}, {9, userCanceledErr}};
    for (auto [modal, expected] : cases) {
        record = fake_host::MakeRecord(&procs);
        TScriptedForm::ModalResultToGive = modal;
        EXPECT_EQ(StartWithDialog(&record), expected) << "modal result " << modal;
        EXPECT_TRUE(fake_host::IsEmpty(record.outRect));
    }
}

TEST_F(DispatchTest, UnboundDialogStillEmptiesRectsAndCancels) {
    CurrentBinding = FilterBinding{InitNoiseParameters, kNoiseBlockSize, nullptr};
    std::int16_t res = 1;
    DispatchSelector(filterSelectorStart, &record, &slot, &res);
    EXPECT_EQ(res, userCanceledErr) << "no dialog means the outcome stays a cancel";
    EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
    EXPECT_TRUE(fake_host::IsEmpty(record.outRect));
    EXPECT_EQ(HostContext.FilterRecord, &record);
    EXPECT_EQ(HostContext.HandleProcs, &procs);
    EXPECT_EQ(CurrentBinding.BlockSize, kNoiseBlockSize);
}

TEST_F(DispatchTest, ExceptionsBecomeHostCodesAndAreReported) {
    const std::pair<int, std::int16_t> cases[] = {
        {1, filterBadParameters}, {2, memFullErr}, {4, memFullErr}, {5, memFullErr},
        {6, filterBadParameters}, {3, filterBadParameters}};
    for (auto [kind, expected] : cases) {
        record = fake_host::MakeRecord(&procs);
        TScriptedForm::Throw = kind;
        std::int16_t res = 0;
        EXPECT_NO_THROW(res = StartWithDialog(&record));
        EXPECT_EQ(res, expected) << "throw kind " << kind;
        EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
        EXPECT_TRUE(fake_host::IsEmpty(record.outRect));
    }
    EXPECT_EQ(Reports::Count, 6);
    EXPECT_EQ(Reports::Message, "Unknown exception");
    EXPECT_EQ(TScriptedForm::Created, 0);
}

TEST_F(DispatchTest, FailingReporterStillYieldsCode) {
    Application->OnException = [](const std::exception&) { throw std::logic_error("box failed"); };
    TScriptedForm::Throw = 1;
    EXPECT_EQ(StartWithDialog(&record), filterBadParameters);
}

TEST_F(DispatchTest, MissingParameterBlockIsOutOfMemoryWithoutDialog) {
    fake_host::State().FailNew = true;
    EXPECT_EQ(StartWithDialog(&record), memFullErr);
    EXPECT_EQ(TScriptedForm::Created, 0);
    EXPECT_EQ(CurrentParameterBlock, nullptr);
    EXPECT_EQ(slot, 0);
    EXPECT_TRUE(fake_host::IsEmpty(record.inRect));
}

TEST_F(DispatchTest, NullArgumentsNeverCrash) {
    std::int16_t res = 0;
    DispatchSelector(filterSelectorStart, nullptr, &slot, &res);
    EXPECT_EQ(res, filterBadParameters);
    res = 0;
    DispatchSelector(filterSelectorStart, &record, nullptr, &res);
    EXPECT_EQ(res, filterBadParameters);
    EXPECT_EQ(fake_host::State().New, 0);
    CurrentBinding = NoiseBinding;
    EXPECT_NO_THROW(DispatchSelector(filterSelectorStart, &record, &slot, nullptr));
    EXPECT_NE(slot, 0) << "a missing result word does not stop the run";
    EXPECT_NO_THROW(VesperLine(filterSelectorStart, nullptr, nullptr, nullptr));
}

TEST_F(DispatchTest, NullHandleProcsRunsOnPlatformMemory) {
    record.handleProcs = nullptr;
    EXPECT_EQ(StartWithDialog(&record), noErr);
    ASSERT_NE(slot, 0);
    NoiseParameters p = ReadNoiseParameters(CurrentParameterBlock);
    EXPECT_EQ(p.Variation, 0);
    FallbackDisposeHandle(reinterpret_cast<Handle>(slot));
}

TEST_F(DispatchTest, SecondStartReusesBlockWithoutInitialiser) {
    std::int16_t res = -1;
    VesperLine(filterSelectorStart, &record, &slot, &res);
    ASSERT_NE(CurrentParameterBlock, nullptr);
    void* first = CurrentParameterBlock;
    LineParameters p = ReadLineParameters(first);
    EXPECT_EQ(p.Saturation, 127);
    p.Saturation = 3;
    p.SetScale(0.5f);
    WriteLineParameters(first, p);

    record = fake_host::MakeRecord(&procs);
    VesperLine(filterSelectorStart, &record, &slot, &res);
    EXPECT_EQ(CurrentParameterBlock, first);
    EXPECT_EQ(fake_host::State().New, 1);
    EXPECT_EQ(ReadLineParameters(first).Saturation, 3);
    EXPECT_EQ(ReadLineParameters(first).Scale(), 0.5f);
    EXPECT_EQ(ReadParameterHeader(first).ResultWord, &res);
    EXPECT_EQ(fake_host::State().LastNewSize, static_cast<std::int32_t>(kLineBlockSize));
}

TEST_F(DispatchTest, CacheHostContextCopiesRecordPointers) {
    auto display = [](const PSPixelMap*, const VRect*, std::int32_t, std::int32_t,
                      void*) -> OSErr { return 0; };
    record.displayPixels = display;
    CacheHostContext(&record);
    EXPECT_EQ(HostContext.FilterRecord, &record);
    EXPECT_EQ(HostContext.DisplayPixels, record.displayPixels);
    EXPECT_EQ(HostContext.HandleProcs, &procs);
    // The previews hold RGB bytes whatever the document is, and their pixel map says so.
    for (std::int16_t mode : {plugInModeGrayScale, plugInModeCMYKColor, plugInModeLabColor}) {
        record.imageMode = mode;
        CacheHostContext(&record);
        EXPECT_EQ(DisplayHost.ImageMode, plugInModeRGBColor) << mode;
    }
}

TEST(RectToVRect, ReordersToTopLeftBottomRight) {
    VRect v = RectToVRect(TRect{1, 2, 3, 4});
    EXPECT_EQ(v.top, 2);
    EXPECT_EQ(v.left, 1);
    EXPECT_EQ(v.bottom, 4);
    EXPECT_EQ(v.right, 3);
    VRect n = RectToVRect(TRect{-70000, -1, 2147483647, -2147483647 - 1});
    EXPECT_EQ(n.left, -70000);
    EXPECT_EQ(n.top, -1);
    EXPECT_EQ(n.right, 2147483647);
    EXPECT_EQ(n.bottom, -2147483647 - 1);
}

TEST(ModalResultCodes, TableMatchesTheToolkitResults) {
    EXPECT_EQ(ModalResultCodes[0], 0);
    EXPECT_EQ(ModalResultCodes[1], -128);
    EXPECT_EQ(ModalResultCodes[2], -128);
    EXPECT_EQ(HostResultForModalResult(-5), -128);
}

}  // namespace
