// The Windows window under Wine: told by WM_DPICHANGED of 144 dots per inch,
// it takes the suggested rectangle, places its controls by the layout at
// 144 with the result box filling the rest, and gives them fonts made for
// it, freeing the old ones; its result box shows a vertical scroll bar when,
// and only when, its text does not fit; a lookup that waits keeps it
// responsive but closed to clicks.

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <tuple>

#include "support.h"
#include "win32_window/frm_main.windows.h"

using namespace keil::test;

namespace {

LONG FontHeight(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

// The window, shown, and its handle.
class WindowsWindow : public testing::Test {
protected:
    WindowsWindow() { window.Show(SW_SHOWNORMAL); }
    ~WindowsWindow() override {
        if (SUCCEEDED(com)) ::CoUninitialize();
    }
    // As the program's start does, for the annotations of a long wait.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    frmMain window{::GetModuleHandleW(nullptr), keil::FixedLookupPlace()};
    const HWND frm = ::FindWindowW(L"frmMain", nullptr);
};

TEST_F(WindowsWindow, FollowsAChangeOfDpi) {
    const auto oldFont =
        reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetDlgItem(frm, frmMain::kIdRecord1), WM_GETFONT, 0, 0));
    RECT suggested{40, 30, 40 + 800, 30 + 500};
    // The window has the suggested size already, as a maximised one keeps
    // its size: no WM_SIZE follows, and the controls must follow all the same.
    ::SetWindowPos(frm, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(frm, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    RECT frame{};
    ::GetWindowRect(frm, &frame);
    EXPECT_TRUE(::EqualRect(&frame, &suggested));
    RECT client{};
    ::GetClientRect(frm, &client);
    // Each control's left, top, width and height at 144 dots per inch, and
    // its font's height: 8 points on the buttons, 9 in the result box,
    // which keeps the layout's margins of 12 and 13 pixels to the right and
    // bottom edges.
    const struct {
        int id;
        std::tuple<LONG, LONG, LONG, LONG> place;
        LONG fontHeight;
    } kControls[] = {{frmMain::kIdRecord1, {24, 24, 170, 38}, -16},
                     {frmMain::kIdRecord2, {24, 72, 170, 38}, -16},
                     {frmMain::kIdResult, {204, 24, client.right - 204 - 12, client.bottom - 24 - 13}, -18}};
    for (const auto& c : kControls) {
        const HWND control = ::GetDlgItem(frm, c.id);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(HWND_DESKTOP, frm, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(std::tuple(r.left, r.top, r.right - r.left, r.bottom - r.top), c.place) << c.id;
        EXPECT_EQ(FontHeight(control), c.fontHeight) << c.id;
    }
    EXPECT_EQ(::GetObjectType(oldFont), 0u) << "the old font was not freed";
}

TEST_F(WindowsWindow, ScrollBarOnlyWhenTheTextDoesNotFit) {
    const HWND box = ::GetDlgItem(frm, frmMain::kIdResult);
    std::u16string tall;
    for (int i = 0; i < 30; ++i) tall += u"Zeile\r\n";
    const struct {
        std::u16string text;
        bool scrolls;
    } kTexts[] = {{u"kurz\r\n", false}, {tall, true}, {std::u16string(80, u'x') + u"\r\n", false}};
    for (const auto& [text, scrolls] : kTexts) {
        window.ShowResultBlock(std::vector<std::uint8_t>(text.begin(), text.end()));
        EXPECT_EQ((::GetWindowLongW(box, GWL_STYLE) & WS_VSCROLL) != 0, scrolls) << text.size();
        EXPECT_EQ(::GetWindowLongW(box, GWL_STYLE) & WS_HSCROLL, 0) << text.size();
    }
}

// The clerk's answer to the question that a request to close asks during a
// lookup, found by a timer of the window's, which runs on meanwhile.
struct Answering {
    static inline int answer = IDNO;
    static inline int ticks = 0;
    static inline bool asked = false;
    static inline std::wstring seen;

    // The first tick clicks the other button and asks to close the window;
    // each later one answers the question once it shows, and notes what
    // the result box says.
    static void CALLBACK Tick(HWND w, UINT, UINT_PTR, DWORD) {
        if (ticks++ == 0) {
            ::SendMessageW(w, WM_COMMAND, MAKEWPARAM(frmMain::kIdRecord1, BN_CLICKED), 0);
            ::PostMessageW(w, WM_CLOSE, 0, 0);
            return;
        }
        wchar_t text[256] = {};
        ::GetWindowTextW(::GetDlgItem(w, frmMain::kIdResult), text, 256);
        if (seen.empty() && std::wstring(text).starts_with(L"Die Suche")) seen = text;
        const HWND question = ::FindWindowW(L"#32770", nullptr);
        if (question != nullptr && ::GetWindow(question, GW_OWNER) == w && !asked) {
            asked = true;
            ::PostMessageW(question, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        }
    }
};

// "Nein": the window's timer still fires while the lookup program takes its
// time (its messages are dispatched), a click on the other button does
// nothing, the result box says what the lookup waits for after two
// seconds, and the lookup goes on to its record.
TEST_F(WindowsWindow, RespondsButTakesNoClickDuringALookup) {
    PrepareResponse(SampleScreen(), "sleep-ms 2600\n");
    ::SetTimer(frm, 1, 50, &Answering::Tick);
    window.cmdRecord2_Click();
    ::KillTimer(frm, 1);
    EXPECT_TRUE(Answering::asked);
    EXPECT_EQ(Answering::seen, L"Die Suche läuft seit 2\u00A0Sekunden.");
    EXPECT_EQ(ReadFileBytes(InFolder("fake-request.bin")), "adr\r2");
    EXPECT_EQ(ReadFileBytes(InFolder("fake-runs.txt")), "run\nend\n");
    EXPECT_TRUE(::IsWindowVisible(frm));
}

// "Ja": the lookup program ends before it is done, and so does the window.
TEST_F(WindowsWindow, BreakOffEndsTheLookupAndTheWindow) {
    PrepareResponse(SampleScreen(), "sleep-ms 3000\n");
    Answering::answer = IDYES;
    Answering::ticks = 0;
    Answering::asked = false;
    ::SetTimer(frm, 1, 50, &Answering::Tick);
    window.cmdRecord1_Click();
    EXPECT_TRUE(Answering::asked);
    EXPECT_EQ(ReadFileBytes(InFolder("fake-runs.txt")), "run\n");
    EXPECT_FALSE(::IsWindow(frm));
}

}  // namespace
