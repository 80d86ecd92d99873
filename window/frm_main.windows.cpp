#include "frm_main.windows.h"

#include <new>
#include <optional>
#include <utility>

#include "display_text.h"
#include "error.h"
#include "window_layout.h"
#include "windows_support.windows.h"

namespace {

constexpr wchar_t kClassName[] = L"frmMain";
constexpr int kIdRecord1 = 1;
constexpr int kIdRecord2 = 2;
constexpr int kIdResult = 3;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

[[noreturn]] void ThrowWindowError(const char* what) {
    keil::ThrowSystemError(static_cast<std::int32_t>(::GetLastError()), what);
}

// The window's dots per inch, as the window system scales it.
UINT DotsPerInch(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    return dpi != 0 ? dpi : 96;
}

}  // namespace

frmMain::frmMain(HINSTANCE instance) {
    using namespace keil::layout;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &frmMain::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0) ThrowWindowError("Das Hauptfenster kann nicht angemeldet werden");

    frm_ = ::CreateWindowExW(0, kClassName, Wide(kCaption), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (frm_ == nullptr) ThrowWindowError("Das Hauptfenster kann nicht angelegt werden");

    const int dpi = static_cast<int>(DotsPerInch(frm_));
    RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi)};
    ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, static_cast<UINT>(dpi));
    ::SetWindowPos(frm_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    const auto control = [&](const wchar_t* kind, const wchar_t* text, DWORD style, DWORD exStyle, int id) {
        HWND hwnd = ::CreateWindowExW(exStyle, kind, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0,
                                      frm_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (hwnd == nullptr) ThrowWindowError("Ein Steuerelement des Hauptfensters kann nicht angelegt werden");
        return hwnd;
    };
    cmdRecord1_ = control(L"BUTTON", Wide(kRecord1Caption), BS_PUSHBUTTON, 0, kIdRecord1);
    cmdRecord2_ = control(L"BUTTON", Wide(kRecord2Caption), BS_PUSHBUTTON, 0, kIdRecord2);
    // Multi-line, no scroll bars: long lines wrap at the box's edge.
    txtResult_ = control(L"EDIT", L"", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, WS_EX_CLIENTEDGE, kIdResult);
    LayOut(dpi);
}

void frmMain::LayOut(int dpi) {
    using namespace keil::layout;
    const auto place = [dpi](HWND control, TwipsRect r) {
        ::SetWindowPos(control, nullptr, TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
                       TwipsToPixels(r.width, dpi), TwipsToPixels(r.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(cmdRecord1_, kRecord1);
    place(cmdRecord2_, kRecord2);
    place(txtResult_, kResult);

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi));
    // The buttons' twips were laid out for a classic 8-point dialog font: the
    // system's message font at that size fits their captions at any
    // resolution.
    metrics.lfMessageFont.lfHeight = -::MulDiv(8, dpi, 72);
    UniqueFont buttonFont(::CreateFontIndirectW(&metrics.lfMessageFont));
    // A text screen's columns line up only in a fixed-pitch font.
    UniqueFont resultFont(::CreateFontW(-::MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                        FIXED_PITCH | FF_MODERN, L"Courier New"));
    for (HWND button : {cmdRecord1_, cmdRecord2_}) {
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont.get()), TRUE);
    }
    ::SendMessageW(txtResult_, WM_SETFONT, reinterpret_cast<WPARAM>(resultFont.get()), TRUE);
    // The controls no longer use the old fonts, which go now.
    buttonFont_ = std::move(buttonFont);
    resultFont_ = std::move(resultFont);
}

frmMain::~frmMain() {
    if (frm_ != nullptr) ::DestroyWindow(frm_);
}

void frmMain::Show(int showCommand) {
    ::ShowWindow(frm_, showCommand);
    ::UpdateWindow(frm_);
    ::SetFocus(cmdRecord1_);
}

int frmMain::RunMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return kExitAfterError;
        // Tab and Shift+Tab walk the controls in tab order, the result box
        // included, instead of typing a tab into it.
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
            const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
            if (HWND next = ::GetNextDlgTabItem(frm_, ::GetFocus(), back)) ::SetFocus(next);
            continue;
        }
        if (message.message == WM_CHAR && message.wParam == L'\t') continue;
        // Ctrl+A selects the whole result, which not every edit control does.
        if (message.message == WM_KEYDOWN && message.wParam == 'A' && message.hwnd == txtResult_ &&
            (::GetKeyState(VK_CONTROL) & 0x8000) != 0) {
            ::SendMessageW(txtResult_, EM_SETSEL, 0, -1);
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void frmMain::SetRecord1Enabled(bool enabled) { ::EnableWindow(cmdRecord1_, enabled); }

void frmMain::SetRecord2Enabled(bool enabled) { ::EnableWindow(cmdRecord2_, enabled); }

void frmMain::SetResultText(const std::u16string& text) {
    const std::u16string shown = keil::DisplayTextFromBlock(text, u"\r\n");
    if (!::SetWindowTextW(txtResult_, reinterpret_cast<const wchar_t*>(shown.c_str()))) {
        ThrowWindowError("Der Text des Ergebnisfelds kann nicht gesetzt werden");
    }
}

void frmMain::cmdRecord1_Click() { RunHeld(&keil::cmdRecord1_Click); }

void frmMain::cmdRecord2_Click() { RunHeld(&keil::cmdRecord2_Click); }

void frmMain::RunHeld(void (*handler)(keil::WindowOperations&)) {
    std::optional<std::pair<std::int32_t, std::string>> failure;
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    try {
        handler(*this);
    } catch (const keil::Error& e) {
        failure.emplace(e.number(), e.text());
    } catch (const std::bad_alloc&) {
        failure.emplace(keil::kErrAllocation, keil::kOutOfMemoryText);
    }
    ::SetCursor(previous);
    // Clicks and keys given while the lookup held the window are dropped,
    // not replayed now that it takes input again.
    MSG dropped{};
    while (::PeekMessageW(&dropped, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (::PeekMessageW(&dropped, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    if (failure) ShowErrorAndQuit(failure->first, failure->second);
}

void ShowErrorBox(HWND owner, std::int32_t number, const std::string& text) {
    const std::wstring message = L"Fehler " + std::to_wstring(number) + L": " + keil::WideFromUtf8(text);
    ::MessageBoxW(owner, message.c_str(), Wide(keil::layout::kCaption), MB_OK | MB_ICONERROR);
}

void frmMain::ShowErrorAndQuit(std::int32_t number, const std::string& text) {
    ShowErrorBox(frm_, number, text);
    ::ShowWindow(frm_, SW_HIDE);
    ::PostQuitMessage(kExitAfterError);
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<frmMain*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->frm_ == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT frmMain::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdRecord1) {
                cmdRecord1_Click();
                return 0;
            }
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdRecord2) {
                cmdRecord2_Click();
                return 0;
            }
            break;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale, or the scale changed:
            // the window takes the rectangle that Windows suggests, and its
            // controls and fonts follow the new dots per inch.
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(frm_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                           suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
            LayOut(HIWORD(wParam));
            return 0;
        }
        case WM_CLOSE:
            ::DestroyWindow(frm_);
            return 0;
        case WM_DESTROY:
            frm_ = nullptr;
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(frm_, message, wParam, lParam);
}
