#include "fixture.h"
#include "toolkit/forms.h"
#include "toolkit/registry.h"

namespace {

using RegistryTest = HeadlessTest;
constexpr TRegistryRoot HKLM = TRegistryRoot::LocalMachine;

TEST_F(RegistryTest, SubkeysEnumerateInInsertionOrder)
{
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\9.0");
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\11.0");
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\10.0");
    TRegistry reg;
    reg.SetRootKey(HKLM);
    ASSERT_TRUE(reg.OpenKey("software\\ADOBE\\Photoshop", false)); // names ignore case
    TStringList names;
    reg.GetKeyNames(names);
    EXPECT_EQ(names.Items(), (std::vector<std::string>{"9.0", "11.0", "10.0"}));
    reg.CloseKey();
    reg.GetKeyNames(names);
    EXPECT_EQ(names.Count(), 0);
    EXPECT_THROW(names.Strings(0), EListError);
}

TEST_F(RegistryTest, OpenWithoutCreateFailsForMissingKeyAndCreateMakesIt)
{
    TRegistry reg;
    reg.SetRootKey(HKLM);
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Nowhere", false));
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Nowhere"));
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\Nowhere\\Deeper", true));
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Nowhere\\Deeper"));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\Nowhere\\Deeper");
    // Other roots are separate trees.
    EXPECT_FALSE(headless::RegistryKeyExists(TRegistryRoot::CurrentUser, "SOFTWARE\\Nowhere"));
}

TEST_F(RegistryTest, StringValuesReadWriteAndMissingReadsEmpty)
{
    headless::RegistrySetString(HKLM, "SOFTWARE\\P\\PluginPath", "Tarnwick", " c:\\tools\\ ");
    TRegistry reg;
    reg.SetRootKey(HKLM);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\P\\PluginPath", true));
    EXPECT_EQ(reg.ReadString("tarnwick"), " c:\\tools\\ ");
    EXPECT_EQ(reg.ReadString("Other"), "");
    EXPECT_FALSE(reg.ValueExists("Other"));
    reg.WriteString("Other", "x");
    reg.WriteString("OTHER", "y"); // same value, different spelling
    EXPECT_EQ(reg.ReadString("Other"), "y");
    TStringList values;
    reg.GetValueNames(values);
    EXPECT_EQ(values.Items(), (std::vector<std::string>{"Tarnwick", "Other"}));
    reg.CloseKey();
    EXPECT_EQ(reg.ReadString("Other"), "");
    EXPECT_THROW(reg.WriteString("Other", "z"), Exception);
}

TEST_F(RegistryTest, DeniedKeysCannotBeOpenedOrCreatedUnder)
{
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Locked");
    headless::RegistryDenyOpen(HKLM, "SOFTWARE\\Locked");
    headless::RegistryAddKey(HKLM, "SOFTWARE\\ReadOnly\\Existing");
    headless::RegistryDenyCreate(HKLM, "SOFTWARE\\ReadOnly");
    TRegistry reg;
    reg.SetRootKey(HKLM);
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Locked", false));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Locked", true));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Locked\\Below", true));
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\ReadOnly", false));
    EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\ReadOnly\\New", true));
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\ReadOnly\\New"));
    EXPECT_TRUE(reg.OpenKey("\\SOFTWARE\\ReadOnly\\Existing", true));
    // A failed open leaves the key that was open.
    EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\Locked", false));
    EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\ReadOnly\\Existing");
}

// Machine-wide keys as a user without elevation meets them: readable, but every open that
// asks for a modifying right is refused, and nothing is created below them.
TEST_F(RegistryTest, ReadOnlyKeysOpenOnlyForReading)
{
    headless::RegistrySetString(HKLM, "SOFTWARE\\Vendor\\PluginPath", "Tarnwick", "c:\\t\\");
    headless::RegistryDenyWrite(HKLM, "SOFTWARE\\Vendor");
    headless::RegistryDenyWrite(HKLM, "SOFTWARE\\Vendor\\PluginPath");
    TRegistry reg; // all access by default
    reg.SetRootKey(HKLM);
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Vendor\\PluginPath", false));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Vendor\\PluginPath", true)) << "creating open asks for writing";
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\Vendor\\New", true));
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Vendor\\New"));
    ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\Vendor\\PluginPath"));
    EXPECT_EQ(reg.ReadString("Tarnwick"), "c:\\t\\");
    EXPECT_THROW(reg.WriteString("Tarnwick", "x"), Exception) << "a read-only handle sets no value";
    EXPECT_EQ(reg.Access(), RegKeyAllAccess) << "the read-only open leaves the object's access";
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Vendor\\PluginPath"));

    TRegistry reader(RegKeyRead);
    reader.SetRootKey(HKLM);
    EXPECT_TRUE(reader.OpenKey("SOFTWARE\\Vendor", false));
    // A key that only refuses new subkeys still opens for writing.
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Other");
    headless::RegistryDenyCreate(HKLM, "SOFTWARE\\Other");
    EXPECT_TRUE(reg.OpenKey("\\SOFTWARE\\Other", false));
    reg.WriteString("v", "w");
    EXPECT_EQ(reg.ReadString("v"), "w");
}

// The local machine's SOFTWARE tree has a 32-bit and a 64-bit view; the 32-bit one lies below
// Wow6432Node as under WoW64. Everything else is one tree for both.
TEST_F(RegistryTest, MachineSoftwareHasTwoViews)
{
    EXPECT_EQ(RegistryOwnView, sizeof(void*) == 8 ? RegKeyWow64_64Key : RegKeyWow64_32Key);
    EXPECT_NE(RegistryOtherView, RegistryOwnView);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\32", RegKeyWow64_32Key);
    headless::RegistryAddKey(HKLM, "SOFTWARE\\Adobe\\Photoshop\\64", RegKeyWow64_64Key);
    headless::RegistryAddKey(HKLM, "SYSTEM\\Shared", RegKeyWow64_32Key);

    TStringList names;
    TRegistry reg(RegKeyRead | RegKeyWow64_32Key);
    reg.SetRootKey(HKLM);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Adobe\\Photoshop", false));
    reg.GetKeyNames(names);
    EXPECT_EQ(names.Items(), (std::vector<std::string>{"32"}));
    reg.SetAccess(RegKeyRead | RegKeyWow64_64Key);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Adobe\\Photoshop", false));
    reg.GetKeyNames(names);
    EXPECT_EQ(names.Items(), (std::vector<std::string>{"64"}));
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Wow6432Node\\Adobe\\Photoshop\\32"));
    EXPECT_TRUE(reg.KeyExists("\\SYSTEM\\Shared"));
    reg.SetAccess(RegKeyRead | RegKeyWow64_32Key);
    EXPECT_TRUE(reg.KeyExists("\\SYSTEM\\Shared"));

    // No view flag is the module's own view, in the toolkit and in the test interface.
    TRegistry own(RegKeyRead);
    own.SetRootKey(HKLM);
    ASSERT_TRUE(own.OpenKey("SOFTWARE\\Adobe\\Photoshop", false));
    own.GetKeyNames(names);
    EXPECT_EQ(names.Items(), (std::vector<std::string>{sizeof(void*) == 8 ? "64" : "32"}));
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Adobe\\Photoshop\\" + names[0]));
    // Creating in a view lands there only; other roots have one tree.
    reg.SetAccess(RegKeyAllAccess | RegKeyWow64_32Key);
    ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Made", true));
    EXPECT_TRUE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Made", RegKeyWow64_32Key));
    EXPECT_FALSE(headless::RegistryKeyExists(HKLM, "SOFTWARE\\Made", RegKeyWow64_64Key));
    headless::RegistryAddKey(TRegistryRoot::CurrentUser, "SOFTWARE\\Mine", RegKeyWow64_32Key);
    EXPECT_TRUE(headless::RegistryKeyExists(TRegistryRoot::CurrentUser, "SOFTWARE\\Mine", RegKeyWow64_64Key));
}

TEST_F(RegistryTest, RelativePathsAndHandlesAreClosed)
{
    headless::RegistryAddKey(HKLM, "A\\B\\C");
    {
        TRegistry reg;
        reg.SetRootKey(HKLM);
        ASSERT_TRUE(reg.OpenKey("A", false));
        ASSERT_TRUE(reg.OpenKey("B", false)); // below A
        EXPECT_EQ(reg.CurrentPath(), "A\\B");
        EXPECT_TRUE(reg.KeyExists("C"));
        EXPECT_FALSE(reg.KeyExists("\\C"));
        EXPECT_EQ(headless::OpenRegistryKeyCount(), 1);
    }
    EXPECT_EQ(headless::OpenRegistryKeyCount(), 0);
}

TEST_F(RegistryTest, TrimRemovesBlanksAndControlCharacters)
{
    EXPECT_EQ(Trim(" \t\r\n9.0\\PluginPath\x01 "), "9.0\\PluginPath");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("a b"), "a b");
}

TEST_F(RegistryTest, StringListEditingAndText)
{
    TStringList l;
    l.Add("b");
    l.Insert(0, "a");
    l.Insert(2, "c");
    EXPECT_THROW(l.Insert(4, "x"), EListError);
    EXPECT_EQ(l.IndexOf("B"), 1);
    l.Delete(1);
    EXPECT_EQ(l.Text(), "a\r\nc\r\n");
    l.SetText("x\ny\r\n\r\nz");
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"x", "y", "", "z"}));
    try {
        l.Strings(9);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (9)");
    }
}

using PlatformTest = HeadlessTest;

TEST_F(PlatformTest, WindowLookupByTitleAndPlacementAreRecorded)
{
    void* other = headless::AddTopWindow("Other");
    void* editor = headless::AddTopWindow("Tarnwick Studio", "TStudioMain");
    EXPECT_EQ(plat::FindTopWindow(nullptr, "Tarnwick Studio"), editor);
    EXPECT_EQ(plat::FindTopWindow("TStudioMain", nullptr), editor);
    EXPECT_EQ(plat::FindTopWindow("Wrong", "Tarnwick Studio"), nullptr);
    EXPECT_EQ(plat::FindTopWindow(nullptr, "Tarnwick"), nullptr); // whole titles only
    EXPECT_NE(other, editor);
    EXPECT_TRUE(plat::PlaceWindow(editor, WindowTop, 0, 0, 0, 0, SwpShowWindow));
    EXPECT_FALSE(plat::PlaceWindow(reinterpret_cast<void*>(&other), WindowTop, 0, 0, 0, 0, 0));
    ASSERT_EQ(headless::WindowPlacements().size(), 1u);
    const auto& p = headless::WindowPlacements()[0];
    EXPECT_EQ(p.Window, editor);
    EXPECT_EQ(p.InsertAfter, WindowTop);
    EXPECT_EQ(p.Flags, SwpShowWindow);
}

TEST_F(PlatformTest, ShellOpensAndMessageBoxesAreRecorded)
{
    EXPECT_EQ(plat::ShellOpen(nullptr, "open", "c:\\t\\TarnwickStudio.exe", "", "", SwShowNormal), 42);
    headless::SetShellResult(2);
    EXPECT_EQ(plat::ShellOpen(nullptr, "open", "x", "", "", SwShowNormal), 2);
    ASSERT_EQ(headless::ShellOpens().size(), 2u);
    EXPECT_EQ(headless::ShellOpens()[0].File, "c:\\t\\TarnwickStudio.exe");
    EXPECT_EQ(headless::ShellOpens()[0].Verb, "open");
    EXPECT_EQ(headless::ShellOpens()[0].ShowCmd, SwShowNormal);
    headless::SetMessageBoxAnswer(MsgBoxResultCancel);
    EXPECT_EQ(plat::ShowMessageBox(nullptr, "text", "", MsgBoxOk), MsgBoxResultCancel);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].Caption, "");
    EXPECT_EQ(Application->MessageBox("t", "", MsgBoxOk), MsgBoxResultCancel);
    EXPECT_EQ(headless::MessageBoxes()[1].Caption, "Vesper"); // the application's title
}

TEST_F(PlatformTest, TextExtentCountsLongestLineAndLines)
{
    TFont f;
    f.SetSize(8);
    EXPECT_EQ(f.Height(), -11);
    EXPECT_EQ(f.Size(), 8);
    EXPECT_EQ(plat::TextExtent(f, "abc"), (TSize{18, 13}));
    EXPECT_EQ(plat::TextExtent(f, "abc\r\n\r\nabcdef"), (TSize{36, 39}));
    EXPECT_EQ(plat::TextExtent(f, "a\nb\rc"), (TSize{6, 39}));
}

} // namespace

TEST_F(PlatformTest, ApplicationBoxesBelongToTheRunningDialogButPlainOnesToNoWindow)
{
    TComponentPtr<TForm> form(CreateComponent<TForm>(nullptr));
    headless::PostCall([&] {
        Application->MessageBox("owned", "", MsgBoxOk);
        plat::ShowMessageBox(nullptr, "free", "", MsgBoxOk);
        form->SetModalResult(mrOk);
    });
    form->ShowModal();
    ASSERT_EQ(headless::MessageBoxes().size(), 2u);
    EXPECT_EQ(headless::MessageBoxes()[0].Owner, form->Handle());
    EXPECT_NE(headless::MessageBoxes()[0].Owner, nullptr);
    EXPECT_EQ(headless::MessageBoxes()[1].Owner, nullptr);
    // Outside any dialog the application's boxes have no owner either.
    Application->MessageBox("later", "", MsgBoxOk);
    EXPECT_EQ(headless::MessageBoxes()[2].Owner, nullptr);
}
