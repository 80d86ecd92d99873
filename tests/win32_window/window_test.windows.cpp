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
#include <vector>

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

// A block whose first line is of 200,000 characters: the box shows the
// beginning of it with a note of the rest, and the lines after it whole.
TEST_F(WindowsWindow, ALongFirstLineKeepsTheLinesAfterIt) {
    std::vector<std::uint8_t> block(200'000, 'x');
    for (const char c : std::string("\r\nOrt     Bonn\r\n")) block.push_back(static_cast<std::uint8_t>(c));
    window.ShowResultBlock(block);
    const HWND box = ::GetDlgItem(frm, frmMain::kIdResult);
    std::wstring shown(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(::GetWindowTextW(box, shown.data(), static_cast<int>(shown.size()))));
    EXPECT_TRUE(shown.ends_with(L" [… 196.000 weitere Zeichen dieser Zeile werden nicht angezeigt.]\r\nOrt     Bonn\r\n"))
        << shown.size();
}

// The clerk's answer to the question that a request to close asks during a
// lookup, found by a timer of the window's, which runs on meanwhile.
struct Answering {
    static inline int answer = IDNO;  // 0: none, the question stands
    static inline int ticks = 0;
    static inline bool asked = false;
    static inline int defaultAnswer = 0;
    static inline std::vector<std::wstring> seen;

    // The first tick clicks the other button, the ninth asks to close the
    // window; each answers the question once it shows, and notes what the
    // result box says.
    static void CALLBACK Tick(HWND w, UINT, UINT_PTR, DWORD) {
        const int tick = ticks++;
        if (tick == 0) ::SendMessageW(w, WM_COMMAND, MAKEWPARAM(frmMain::kIdRecord1, BN_CLICKED), 0);
        // Once the words of the wait have replaced the record before.
        if (tick == 8) ::PostMessageW(w, WM_CLOSE, 0, 0);
        wchar_t text[256] = {};
        ::GetWindowTextW(::GetDlgItem(w, frmMain::kIdResult), text, 256);
        if (std::wstring(text).starts_with(L"Die Suche") && (seen.empty() || seen.back() != text)) seen.push_back(text);
        const HWND question = ::FindWindowW(L"#32770", nullptr);
        if (question != nullptr && ::GetWindow(question, GW_OWNER) == w && !asked) {
            asked = true;
            defaultAnswer = LOWORD(::SendMessageW(question, DM_GETDEFID, 0, 0));
            if (answer != 0) ::PostMessageW(question, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
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
    EXPECT_EQ(Answering::defaultAnswer, IDNO);
    // The old record goes at once; the words count from two seconds on.
    ASSERT_GE(Answering::seen.size(), 2u);
    EXPECT_EQ(Answering::seen[0], L"Die Suche läuft.");
    EXPECT_EQ(Answering::seen[1], L"Die Suche läuft seit 2\u00A0Sekunden.");
    EXPECT_EQ(ReadFileBytes(InFolder("fake-request.bin")), "adr\r2");
    EXPECT_EQ(ReadFileBytes(InFolder("fake-runs.txt")), "run\nend\n");
    EXPECT_TRUE(::IsWindowVisible(frm));
}

// A question that still stands when the lookup ends: the lookup went on
// meanwhile, the question goes, and the record shows.
TEST_F(WindowsWindow, AQuestionThatStandsNeverStopsTheLookup) {
    PrepareResponse(SampleScreen(), "sleep-ms 1500\n");
    Answering::answer = 0;
    Answering::ticks = 0;
    Answering::asked = false;
    ::SetTimer(frm, 1, 50, &Answering::Tick);
    window.cmdRecord1_Click();
    ::KillTimer(frm, 1);
    EXPECT_TRUE(Answering::asked);
    EXPECT_EQ(::FindWindowW(L"#32770", nullptr), nullptr);
    EXPECT_EQ(ReadFileBytes(InFolder("fake-runs.txt")), "run\nend\n");
    wchar_t shown[256] = {};
    ::GetWindowTextW(::GetDlgItem(frm, frmMain::kIdResult), shown, 256);
    EXPECT_EQ(std::wstring(shown).substr(0, 11), L"Muster GmbH");
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
