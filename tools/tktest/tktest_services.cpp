// Platform services: the registry object on HKLM, module resources, text measurement, other
// programs' windows, the shell, the cursor and the message box.
#include <algorithm>

#include "tktest.h"
#include "toolkit/application.h"
#include "toolkit/classes.h"
#include "toolkit/controls.h"
#include "toolkit/platform.h"
#include "toolkit/registry.h"
#include "toolkit/resources.h"

namespace tk {
namespace {

const char* const TestKey = "Software\\VesperToolkitTest";

std::vector<std::string> Names(const TStringList& L)
{
    std::vector<std::string> v;
    for (int i = 0; i < L.Count(); ++i)
        v.push_back(L.Strings(i));
    return v;
}

// What the registry itself enumerates, asked directly.
std::vector<std::string> DirectSubKeys(HKEY K)
{
    std::vector<std::string> v;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD n = sizeof name;
        if (RegEnumKeyExA(K, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        v.emplace_back(name, n);
    }
    return v;
}

void RegistryChecks()
{
    Section("registry on HKEY_LOCAL_MACHINE");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, TestKey);
    TRegistry reg;
    reg.SetRootKey(TRegistryRoot::LocalMachine);
    CHECK(!reg.OpenKey(std::string(TestKey) + "\\Missing", false));
    CHECK(!reg.HasOpenKey());
    CHECK(reg.OpenKey(std::string(TestKey) + "\\PluginPath", true));
    reg.WriteString("Tarnwick", "C:\\Program Files\\Tarnwick\\");
    CHECK_EQ(reg.ReadString("Tarnwick"), "C:\\Program Files\\Tarnwick\\");
    CHECK(reg.ValueExists("tarnwick")); // names compare without case
    CHECK(!reg.ValueExists("Other"));
    CHECK_EQ(reg.ReadString("Other"), "");
    std::string longValue(3000, 'x');
    longValue[2999] = 'y';
    reg.WriteString("Long", longValue);
    CHECK_EQ(reg.ReadString("Long"), longValue);
    reg.CloseKey();
    CHECK(!reg.HasOpenKey());

    HKEY raw = nullptr;
    CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(TestKey) + "\\PluginPath").c_str(), 0, KEY_ALL_ACCESS,
                        &raw) == ERROR_SUCCESS);
    // A string stored without its terminator, and a value that is no string.
    const char bare[] = {'a', 'b', 'c'};
    RegSetValueExA(raw, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), sizeof bare);
    DWORD number = 7;
    RegSetValueExA(raw, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(raw);
    CHECK(reg.OpenKey(std::string(TestKey) + "\\PluginPath", false));
    CHECK_EQ(reg.ReadString("Bare"), "abc");
    CHECK_EQ(reg.ReadString("Number"), "");
    TStringList values;
    reg.GetValueNames(values);
    CHECK_EQ(values.Count(), 4);
    reg.CloseKey();

    for (const char* sub : {"Zeta", "Alpha", "Mid"}) {
        CHECK(reg.OpenKey(std::string(TestKey) + "\\Versions\\" + sub, true));
        reg.CloseKey();
    }
    CHECK(reg.OpenKey(std::string(TestKey) + "\\Versions", false));
    TStringList keys;
    reg.GetKeyNames(keys);
    reg.CloseKey();
    HKEY versions = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(TestKey) + "\\Versions").c_str(), 0, KEY_READ, &versions);
    std::vector<std::string> direct = DirectSubKeys(versions);
    RegCloseKey(versions);
    CHECK_EQ(keys.Count(), 3);
    CHECK(Names(keys) == direct); // the registry's own order
    std::vector<std::string> sorted = Names(keys);
    std::sort(sorted.begin(), sorted.end());
    CHECK((sorted == std::vector<std::string>{"Alpha", "Mid", "Zeta"}));

    CHECK(RegDeleteTreeA(HKEY_LOCAL_MACHINE, TestKey) == ERROR_SUCCESS);
    CHECK(!reg.OpenKey(TestKey, false));

    // The view flags reach the registry: a key made in the other view is not in the own one,
    // and a read-only open of it reads its value.
    TRegistry other(RegKeyAllAccess | RegistryOtherView);
    other.SetRootKey(TRegistryRoot::LocalMachine);
    CHECK(other.OpenKey(std::string(TestKey) + "\\Viewed", true));
    other.WriteString("Where", "other");
    other.CloseKey();
    TRegistry own(RegKeyRead | RegistryOwnView);
    own.SetRootKey(TRegistryRoot::LocalMachine);
    CHECK(!own.OpenKey(std::string(TestKey) + "\\Viewed", false));
    own.SetAccess(RegKeyRead | RegistryOtherView);
    CHECK(own.OpenKeyReadOnly(std::string(TestKey) + "\\Viewed"));
    CHECK_EQ(own.ReadString("Where"), "other");
    own.CloseKey();
    HKEY otherRoot = nullptr;
    CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | RegistryOtherView, &otherRoot) ==
          ERROR_SUCCESS);
    CHECK(RegDeleteTreeA(otherRoot, "VesperToolkitTest") == ERROR_SUCCESS);
    RegCloseKey(otherRoot);
}

void ResourceChecks()
{
    Section("module resources");
    std::string text = LoadRawResource("tktestform"); // names are case-blind
    CHECK(text.rfind("# A dialog", 0) == 0);
    CHECK(text.find("form TestForm: TForm") != std::string::npos);
    CHECK(!text.empty() && text.back() != '\0');
    std::string message;
    try {
        LoadRawResource("NOSUCHFORM");
    } catch (const EResNotFound& e) {
        message = e.what();
    }
    CHECK_EQ(message, "Resource NOSUCHFORM not found");
    RegisterCompiledResource("TKCOMPILED", "compiled text");
    CHECK_EQ(LoadRawResource("TKCOMPILED"), "compiled text");
}

void TextChecks()
{
    Section("text measurement");
    TFont f;
    f.SetName("Arial");
    f.SetSize(8);
    TSize one = plat::TextExtent(f, "Ab");
    TSize wide = plat::TextExtent(f, "Abcdefgh");
    TSize both = plat::TextExtent(f, "Ab\r\nAbcdefgh");
    TSize three = plat::TextExtent(f, "Ab\nx\rAbcdefgh");
    CHECK(one.cx > 0 && one.cy > 0);
    CHECK_EQ(both.cx, wide.cx);
    CHECK_EQ(both.cy, 2 * one.cy);
    CHECK_EQ(three.cy, 3 * one.cy);
    CHECK_EQ(plat::TextExtent(f, "").cx, 0);
    CHECK_EQ(plat::TextExtent(f, "").cy, one.cy);
    CHECK(plat::ScreenWidth() > 0 && plat::ScreenHeight() > 0);
    CHECK(plat::ScreenDepth() >= 8);
}

void WindowChecks()
{
    Section("other windows, shell, cursor");
    HWND other = CreateWindowExA(0, "STATIC", "Tarnwick Studio tktest", WS_OVERLAPPEDWINDOW, 200, 150, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    CHECK(other != nullptr);
    CHECK(plat::FindTopWindow(nullptr, "Tarnwick Studio tktest") == other);
    CHECK(plat::FindTopWindow(nullptr, "No such window title anywhere") == nullptr);
    CHECK(plat::PlaceWindow(other, WindowTopMost, 0, 0, 0, 0, SwpNoSize | SwpShowWindow));
    RECT r;
    GetWindowRect(other, &r);
    CHECK_EQ(r.left, 0);
    CHECK_EQ(r.top, 0);
    CHECK_EQ(r.right - r.left, 300);
    CHECK((GetWindowLongA(other, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    CHECK(IsWindowVisible(other));
    DestroyWindow(other);
    CHECK(!plat::PlaceWindow(other, WindowTop, 0, 0, 0, 0, SwpNoSize));
    CHECK(!plat::PlaceWindow(nullptr, WindowTop, 0, 0, 0, 0, SwpNoSize));

    CHECK(plat::ShellOpen(nullptr, "open", "c:\\no\\such\\program-tktest.exe", "", "", SwShowNormal) <= 32);

    Screen->SetCursor(crHandPoint);
    CHECK_EQ(Screen->Cursor(), crHandPoint);
    CHECK(GetCursor() == LoadCursorA(nullptr, IDC_HAND));
    Screen->SetCursor(crSizeNWSE);
    CHECK(GetCursor() == LoadCursorA(nullptr, IDC_SIZENWSE));
    Screen->SetCursor(crDefault);
    CHECK_EQ(Screen->Cursor(), crDefault);
}

// Closes the first message box captioned Caption that shows up, recording its text.
struct TBoxCloser {
    static inline std::string Caption, Seen;
    static inline bool Found = false;
    static BOOL CALLBACK Child(HWND H, LPARAM)
    {
        char t[256] = {};
        GetWindowTextA(H, t, sizeof t);
        Seen += t;
        Seen += '|';
        return TRUE;
    }
    static VOID CALLBACK Tick(HWND, UINT, UINT_PTR Id, DWORD)
    {
        HWND box = FindWindowA("#32770", Caption.c_str());
        if (!box)
            return;
        KillTimer(nullptr, Id);
        Found = true;
        EnumChildWindows(box, &Child, 0);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
};

void MessageBoxChecks()
{
    Section("message box and the exception box");
    TBoxCloser::Caption = "tktest box";
    TBoxCloser::Found = false;
    TBoxCloser::Seen.clear();
    SetTimer(nullptr, 0, 50, &TBoxCloser::Tick);
    int answer = Application->MessageBox("Is this the box?", "tktest box", MsgBoxOkCancel | MsgBoxIconWarning);
    CHECK(TBoxCloser::Found);
    CHECK_EQ(answer, MsgBoxResultOk);
    CHECK(TBoxCloser::Seen.find("Is this the box?") != std::string::npos);

    // No handler of its own: the exception's message in an error box captioned with the title.
    auto saved = Application->OnException;
    Application->OnException = nullptr;
    std::string title = Application->Title();
    Application->SetTitle("tktest application");
    TBoxCloser::Caption = "tktest application";
    TBoxCloser::Found = false;
    TBoxCloser::Seen.clear();
    SetTimer(nullptr, 0, 50, &TBoxCloser::Tick);
    try {
        throw EInvalidOperation("Something went wrong in a handler");
    } catch (...) {
        Application->HandleException();
    }
    CHECK(TBoxCloser::Found);
    CHECK(TBoxCloser::Seen.find("Something went wrong in a handler") != std::string::npos);
    Application->SetTitle(title);
    Application->OnException = saved;
}

} // namespace

void ServiceChecks()
{
    RegistryChecks();
    ResourceChecks();
    TextChecks();
    WindowChecks();
    MessageBoxChecks();
}
} // namespace tk
