// The Windows window at the screen's dots per inch, which ctest sets for
// it under Wine to 96, 120, 144 and 192: the window sees that resolution,
// its client area has the layout's size in the screen's pixels, and both
// captions fit their buttons within the buttons' margins.
// usage: layout_tests DPI

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <cstdio>
#include <cstdlib>

#include "frm_main.windows.h"

namespace {

int failures = 0;

void Expect(bool holds, const char* what, long a, long b) {
    std::printf("%s: %s (%ld, %ld)\n", holds ? "ok" : "FAIL", what, a, b);
    if (!holds) ++failures;
}

// The room for the caption: the visual style's content area of the button,
// or the button within its classic 3-D edge.
RECT CaptionRoom(HWND button, HDC dc, int dpi) {
    RECT room{};
    ::GetClientRect(button, &room);
    if (const HTHEME theme = ::OpenThemeData(button, L"Button")) {
        const RECT bounds = room;
        ::GetThemeBackgroundContentRect(theme, dc, BP_PUSHBUTTON, PBS_NORMAL, &bounds, &room);
        ::CloseThemeData(theme);
    } else {
        const int edge = 2 * ::GetSystemMetricsForDpi(SM_CXEDGE, static_cast<UINT>(dpi));
        ::InflateRect(&room, -edge, -edge);
    }
    return room;
}

}  // namespace

int main(int, char** argv) {
    // The client area's size in pixels at each resolution.
    const struct {
        int dpi;
        LONG width, height;
    } kClients[] = {{96, 345, 194}, {120, 431, 243}, {144, 518, 291}, {192, 690, 388}};
    const int dpi = std::atoi(argv[1]);
    frmMain window(::GetModuleHandleW(nullptr));
    window.Show(SW_SHOWNORMAL);
    const HWND frm = ::FindWindowW(L"frmMain", nullptr);
    const auto seen = static_cast<int>(::GetDpiForWindow(frm));
    Expect(seen == dpi, "the window's dots per inch", seen, dpi);
    RECT client{};
    ::GetClientRect(frm, &client);
    bool known = false;
    for (const auto& expected : kClients) {
        if (expected.dpi != dpi) continue;
        known = true;
        Expect(client.right == expected.width && client.bottom == expected.height, "client area", client.right,
               client.bottom);
    }
    Expect(known, "a layout for these dots per inch", dpi, 0);
    for (const int id : {1, 2}) {
        const HWND button = ::GetDlgItem(frm, id);
        wchar_t caption[64] = {};
        const int length = ::GetWindowTextW(button, caption, 64);
        const HDC dc = ::GetDC(button);
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(button, WM_GETFONT, 0, 0)));
        SIZE text{};
        ::GetTextExtentPoint32W(dc, caption, length, &text);
        const RECT room = CaptionRoom(button, dc, dpi);
        ::ReleaseDC(button, dc);
        Expect(text.cx <= room.right - room.left, "caption width within the margins", text.cx, room.right - room.left);
        Expect(text.cy <= room.bottom - room.top, "caption height within the margins", text.cy, room.bottom - room.top);
    }
    return failures == 0 ? 0 : 1;
}
