// The Windows window follows a change of its dots per inch: told by
// WM_DPICHANGED of 144 dots per inch, it takes the suggested rectangle,
// places its controls by the layout at 144 and gives them fonts made for
// it, freeing the old ones.

#include <gtest/gtest.h>

#include <tuple>

#include "frm_main.windows.h"

namespace {

LONG FontHeight(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

TEST(WindowsWindow, FollowsAChangeOfDpi) {
    frmMain window(::GetModuleHandleW(nullptr));
    window.Show(SW_SHOWNORMAL);
    const HWND frm = ::FindWindowW(L"frmMain", nullptr);
    const auto oldFont = reinterpret_cast<HGDIOBJ>(::SendMessageW(::GetDlgItem(frm, 1), WM_GETFONT, 0, 0));
    RECT suggested{40, 30, 40 + 600, 30 + 400};
    ::SendMessageW(frm, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    RECT frame{};
    ::GetWindowRect(frm, &frame);
    EXPECT_TRUE(::EqualRect(&frame, &suggested));
    // Each control's left, top, width and height at 144 dots per inch, and
    // its font's height: 8 points on the buttons, 9 in the result box.
    const struct {
        int id;
        std::tuple<LONG, LONG, LONG, LONG> place;
        LONG fontHeight;
    } kControls[] = {{1, {24, 24, 170, 38}, -16}, {2, {24, 72, 170, 38}, -16}, {3, {204, 24, 302, 254}, -18}};
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

}  // namespace
