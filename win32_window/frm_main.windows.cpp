#include "win32_window/frm_main.windows.h"

#include <commctrl.h>
#include <initguid.h>
#include <objbase.h>
#include <oleacc.h>

#include <utility>

#include "system/error.h"
#include "system/windows_support.windows.h"
#include "win32_window/question.windows.h"
#include "window/screen_reader.h"
#include "window/window_layout.h"

namespace {

constexpr wchar_t kClassName[] = L"frmMain";
// Resizable, with minimise and maximise boxes; the dialog navigation
// (IsDialogMessageW) walks its controls.
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

[[noreturn]] void ThrowWindowError(const char* what) {
    keil::ThrowSystemError(static_cast<std::int32_t>(::GetLastError()), what);
}

// The window's dots per inch, as the window system scales it.
UINT DotsPerInch(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    return dpi != 0 ? dpi : 96;
}

// The window's outer size for the layout's client area at `dpi`: the size
// it opens at and cannot become smaller than.
SIZE LayoutWindowSize(int dpi) {
    using namespace keil::layout;
    RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi)};
    ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

bool KeyDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

// Messages that carry what the user does with keyboard, mouse, pen, touch
// or an input method, in the client area or on the frame.
bool IsUserInput(UINT message) {
    const struct {
        UINT first, last;
    } kInput[] = {{WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}, {WM_INPUT, WM_INPUT},         {WM_KEYFIRST, WM_IME_KEYLAST},
                  {WM_MOUSEFIRST, WM_MOUSELAST},         {0x0240 /* touch, pointer */, 0x0257},
                  {WM_IME_SETCONTEXT, WM_IME_KEYUP},     {WM_NCMOUSEHOVER, WM_MOUSELEAVE}, {WM_HOTKEY, WM_HOTKEY}};
    for (const auto& range : kInput) {
        if (message >= range.first && message <= range.last) return true;
    }
    return false;
}

// A window's device context, released on every road.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The height of a line of `font` in `window`, as an edit control lays it
// out; 0 when it cannot be had.
LONG LineHeight(HWND window, HFONT font) {
    const WindowDc dc(window);
    TEXTMETRICW metrics{};
    if (dc.get() != nullptr) {
        const HGDIOBJ old = ::SelectObject(dc.get(), font);
        ::GetTextMetricsW(dc.get(), &metrics);
        ::SelectObject(dc.get(), old);
    }
    return metrics.tmHeight;
}

// Holds the window while a lookup runs: the busy pointer; at the end the
// clicks and keys given meanwhile are dropped, not replayed now that the
// window takes input again, and the focus goes back to the control that had
// it (disabling the focused button takes it away).
class HeldWindow : public keil::LookupWindow::Hold {
public:
    HeldWindow() : focus_(::GetFocus()), cursor_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~HeldWindow() override {
        ::SetCursor(cursor_);
        MSG dropped{};
        while (::PeekMessageW(&dropped, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
        while (::PeekMessageW(&dropped, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        }
        if (focus_ != nullptr && ::IsWindowEnabled(focus_)) ::SetFocus(focus_);
    }
    HeldWindow(const HeldWindow&) = delete;
    HeldWindow& operator=(const HeldWindow&) = delete;

private:
    HWND focus_;
    HCURSOR cursor_;
};

// UI Automation's LiveSetting property (Polite: 1), for the dynamic
// annotation of a Win32 control as a live region.
constexpr GUID kLiveSetting = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;
// The control's own object, as IAccPropServices takes it.
constexpr auto kClientObject = static_cast<DWORD>(OBJID_CLIENT);

}  // namespace

// The result box annotated as a polite live region whose name is the words
// of a wait, as Microsoft documents for a Win32 control that a screen
// reader is to speak while the focus is elsewhere: the properties set with
// IAccPropServices, then EVENT_OBJECT_LIVEREGIONCHANGED. The box gets its
// own name back when the wait has ended.
struct frmMain::LiveNotice {
    explicit LiveNotice(HWND resultBox) : box(resultBox) {
        if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                      reinterpret_cast<void**>(&services)))) {
            services = nullptr;
        }
    }
    ~LiveNotice() {
        End();
        if (services != nullptr) services->Release();
    }
    LiveNotice(const LiveNotice&) = delete;
    LiveNotice& operator=(const LiveNotice&) = delete;

    void Say(const std::wstring& words) {
        if (services == nullptr) return;
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = kPolite;
        if (SUCCEEDED(services->SetHwndPropStr(box, kClientObject, CHILDID_SELF, PROPID_ACC_NAME, words.c_str())) &&
            SUCCEEDED(services->SetHwndProp(box, kClientObject, CHILDID_SELF, kLiveSetting, polite))) {
            annotated = true;
            ::NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, box, OBJID_CLIENT, CHILDID_SELF);
        }
    }
    void End() {
        if (!annotated) return;
        const MSAAPROPID properties[] = {PROPID_ACC_NAME, kLiveSetting};
        services->ClearHwndProps(box, kClientObject, CHILDID_SELF, properties, 2);
        annotated = false;
    }

    HWND box;
    IAccPropServices* services = nullptr;
    bool annotated = false;
};

frmMain::frmMain(HINSTANCE instance, keil::LookupPlace place) : LookupWindow(std::move(place), u"\r\n") {
    using namespace keil::layout;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &frmMain::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    // Registered once for the process; a second window takes the class as it is.
    if (::RegisterClassExW(&windowClass) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ThrowWindowError("Das Fenster des Keilbrechers kann nicht angelegt werden");
    }

    frm_ = ::CreateWindowExW(kExStyle, kClassName, Wide(kCaption), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (frm_ == nullptr) ThrowWindowError("Das Fenster des Keilbrechers kann nicht angelegt werden");

    const auto control = [&](const wchar_t* kind, const wchar_t* text, DWORD style, DWORD exStyle, int id) {
        HWND hwnd = ::CreateWindowExW(exStyle, kind, text, WS_CHILD | style, 0, 0, 0, 0, frm_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (hwnd == nullptr) ThrowWindowError("Das Fenster des Keilbrechers kann nicht vollständig angelegt werden");
        return hwnd;
    };
    constexpr DWORD kShownStop = WS_VISIBLE | WS_TABSTOP;
    cmdRecord1_ = control(L"BUTTON", Wide(kRecord1Caption), kShownStop | BS_PUSHBUTTON, 0, kIdRecord1);
    cmdRecord2_ = control(L"BUTTON", Wide(kRecord2Caption), kShownStop | BS_PUSHBUTTON, 0, kIdRecord2);
    // The result box's name for assistive tools: a label that is never
    // shown, right before the box, from which the box takes its name.
    control(L"STATIC", Wide(kResultName), SS_LEFT, 0, -1);
    // Multi-line: long lines wrap at the box's edge, and a vertical scroll
    // bar shows when the text does not fit (UpdateScrollBar).
    txtResult_ = control(L"EDIT", L"", kShownStop | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                         WS_EX_CLIENTEDGE, kIdResult);

    notice_ = std::make_unique<LiveNotice>(txtResult_);
    dpi_ = static_cast<int>(DotsPerInch(frm_));
    MakeFonts(dpi_);
    const SIZE size = LayoutWindowSize(dpi_);
    ::SetWindowPos(frm_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Place();
}

void frmMain::Place() {
    using namespace keil::layout;
    const int dpi = dpi_;
    RECT client{};
    ::GetClientRect(frm_, &client);
    const auto place = [](HWND control, int left, int top, int width, int height) {
        ::SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (const auto& [button, r] : {std::pair{cmdRecord1_, kRecord1}, std::pair{cmdRecord2_, kRecord2}}) {
        place(button, TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi), TwipsToPixels(r.width, dpi),
              TwipsToPixels(r.height, dpi));
    }
    const PixelRect box = ResultBoxPixels(client.right, client.bottom, dpi, dpi);
    place(txtResult_, box.left, box.top, box.width, box.height);
    UpdateScrollBar();
}

void frmMain::UpdateScrollBar() {
    // Tried without the bar first: the wider box may wrap the text into
    // fewer lines that fit.
    ::ShowScrollBar(txtResult_, SB_VERT, FALSE);
    RECT text{};
    ::SendMessageW(txtResult_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
    const LONG lineHeight = LineHeight(txtResult_, resultFont_.get());
    const LONG fitting = lineHeight > 0 ? (text.bottom - text.top) / lineHeight : 0;
    if (::SendMessageW(txtResult_, EM_GETLINECOUNT, 0, 0) > fitting) ::ShowScrollBar(txtResult_, SB_VERT, TRUE);
}

void frmMain::MakeFonts(int dpi) {
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
    notice_.reset();
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
        if (got == -1) return keil::kExitAfterError;
        // Ctrl+A selects the whole result, which not every edit control does.
        if (message.message == WM_KEYDOWN && message.wParam == 'A' && message.hwnd == txtResult_ &&
            KeyDown(VK_CONTROL)) {
            ::SendMessageW(txtResult_, EM_SETSEL, 0, -1);
            continue;
        }
        // The platform's dialog navigation: Tab and Shift+Tab walk the
        // controls in tab order, Alt and a button's access key click it,
        // Return on a button sends IDOK (see Handle).
        if (::IsDialogMessageW(frm_, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void frmMain::SetRecord1Enabled(bool enabled) { ::EnableWindow(cmdRecord1_, enabled); }

void frmMain::SetRecord2Enabled(bool enabled) { ::EnableWindow(cmdRecord2_, enabled); }

void frmMain::SetResultText(const std::u16string& text) {
    if (!::SetWindowTextW(txtResult_, reinterpret_cast<const wchar_t*>(text.c_str()))) {
        ThrowWindowError("Die Adresse kann im Adressfeld nicht angezeigt werden");
    }
    UpdateScrollBar();
}

void frmMain::TakeTurn() {
    MSG message{};
    // WM_QUIT, which would come again before painting and timers if it
    // were posted again now, is kept for the message loop until the lookup
    // has ended.
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const bool altF4 = message.message == WM_SYSKEYDOWN && message.wParam == VK_F4;
        const bool closeBox = message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE;
        if (message.message == WM_QUIT) {
            quitCode_ = static_cast<int>(message.wParam);
        } else if (question_ && question_->Holds(message.hwnd)) {
            // The question takes input as any dialog does.
            if (!question_ || !question_->Take(message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        } else if ((altF4 || closeBox) && frm_ != nullptr) {
            // The user's one input that still counts: a request to close.
            ::SendMessageW(frm_, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (!IsUserInput(message.message)) {
            ::DispatchMessageW(&message);
        }
    }
}

void frmMain::ShowWaitNotice(const std::string& text, bool speak) {
    const std::wstring words = keil::WideFromUtf8(text);
    ::SetWindowTextW(txtResult_, words.c_str());
    UpdateScrollBar();
    if (speak) notice_->Say(words);
}

void frmMain::OpenQuestion() {
    question_ = std::make_unique<BreakOffQuestion>(frm_, [this](bool breakOff) {
        // The dialog is gone; the question goes after the answer is in.
        AnswerQuestion(breakOff);
        closedQuestion_ = std::move(question_);
    });
}

void frmMain::CloseQuestion() { question_.reset(); }

std::unique_ptr<keil::LookupWindow::Hold> frmMain::HoldForLookup() { return std::make_unique<HeldWindow>(); }

void frmMain::AfterLookup() {
    notice_->End();
    closedQuestion_.reset();
    if (quitCode_) ::PostQuitMessage(*std::exchange(quitCode_, std::nullopt));
}

// The window goes, and with it the message loop: at once, or through
// WM_DESTROY.
void frmMain::End(int status) {
    if (frm_ != nullptr) {
        ::DestroyWindow(frm_);
    } else {
        ::PostQuitMessage(status);
    }
}

bool frmMain::ScreenReaderRuns() { return keil::ScreenReaderRunning(); }

void frmMain::SpeakRecord(const std::u16string& text) {
    // UI Automation's notification, which Narrator and NVDA speak wherever
    // the focus is (Windows 10 1709 and later); the live region of the
    // result box where it is missing.
    using HostProvider = HRESULT(WINAPI*)(HWND, IUnknown**);
    using RaiseNotification = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
    constexpr int kActionCompleted = 2;
    constexpr int kImportantAll = 0;
    const HMODULE automation = ::LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto hostProvider = reinterpret_cast<HostProvider>(
        automation != nullptr ? reinterpret_cast<void*>(::GetProcAddress(automation, "UiaHostProviderFromHwnd")) : nullptr);
    const auto raise = reinterpret_cast<RaiseNotification>(
        automation != nullptr ? reinterpret_cast<void*>(::GetProcAddress(automation, "UiaRaiseNotificationEvent"))
                              : nullptr);
    const std::wstring words(reinterpret_cast<const wchar_t*>(text.c_str()), text.size());
    IUnknown* provider = nullptr;
    bool said = false;
    if (hostProvider != nullptr && raise != nullptr && SUCCEEDED(hostProvider(txtResult_, &provider)) &&
        provider != nullptr) {
        BSTR record = ::SysAllocString(words.c_str());
        BSTR activity = ::SysAllocString(L"Keilbrecher.Datensatz");
        said = SUCCEEDED(raise(provider, kActionCompleted, kImportantAll, record, activity));
        ::SysFreeString(record);
        ::SysFreeString(activity);
        provider->Release();
    }
    if (!said) notice_->Say(words);
}

void frmMain::MoveFocusToResult() { ::SetFocus(txtResult_); }

void ShowErrorBox(HWND owner, const keil::Failure& failure) {
    const std::wstring message = keil::WideFromUtf8(keil::ErrorBoxText(failure));
    ::MessageBoxW(owner, message.c_str(), Wide(keil::layout::kCaption), MB_OK | MB_ICONERROR);
}

void frmMain::ShowErrorAndEnd(const keil::Failure& failure) {
    ShowErrorBox(frm_, failure);
    ::ShowWindow(frm_, SW_HIDE);
    ::PostQuitMessage(keil::kExitAfterError);
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
            if (OnCommand(LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        case WM_NEXTDLGCTL:
            OnNextControl(wParam, lParam);
            return 0;
        case WM_ACTIVATE:
            if (OnActivate(wParam)) return 0;
            break;
        case WM_SIZE:
            // Minimised, the client area is empty; the controls keep their
            // places until the window is restored.
            if (wParam != SIZE_MINIMIZED) Place();
            return 0;
        case WM_GETMINMAXINFO: {
            const SIZE least = LayoutWindowSize(dpi_);
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {least.cx, least.cy};
            return 0;
        }
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SETCURSOR:
            if (!LookupRunning()) break;
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_ENDSESSION:
            // The session ends: a lookup is broken off, as on "Ja".
            if (wParam != FALSE) MustEnd();
            return 0;
        case WM_DESTROY:
            // Destroyed during a lookup, the window breaks it off and ends
            // once it is over; destroyed idle, it ends now.
            frm_ = nullptr;
            MustEnd();
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(frm_, message, wParam, lParam);
}

bool frmMain::OnCommand(WORD id, WORD notification) {
    switch (id) {
        case kIdRecord1:
            if (notification != BN_CLICKED) return false;
            cmdRecord1_Click();
            return true;
        case kIdRecord2:
            if (notification != BN_CLICKED) return false;
            cmdRecord2_Click();
            return true;
        case IDOK: {
            // Return or keypad Enter, with no default button: a focused
            // record button is clicked, as a dialog does; neither button
            // becomes the window's default.
            if (notification != BN_CLICKED) return false;
            const HWND focus = ::GetFocus();
            if (focus == cmdRecord1_ || focus == cmdRecord2_) ::SendMessageW(focus, BM_CLICK, 0, 0);
            return true;
        }
        case kIdResult:
            if (notification == EN_CHANGE) UpdateScrollBar();
            return false;
        default:
            return false;
    }
}

void frmMain::OnNextControl(WPARAM wParam, LPARAM lParam) {
    // Tab in the result box, which the dialog navigation hands on to its
    // parent as a dialog's edit control does.
    const HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                          : ::GetNextDlgTabItem(frm_, ::GetFocus(), wParam != 0);
    if (next != nullptr) ::SetFocus(next);
}

bool frmMain::OnActivate(WPARAM wParam) {
    // The focus leaves with the window and comes back to the control that
    // had it, as in a dialog.
    if (LOWORD(wParam) == WA_INACTIVE) {
        lastFocus_ = ::GetFocus();
        return false;
    }
    if (HIWORD(wParam) != 0) return false;
    ::SetFocus(::IsChild(frm_, lastFocus_) && ::IsWindowEnabled(lastFocus_) ? lastFocus_ : cmdRecord1_);
    return true;
}

void frmMain::OnDpiChanged(int dpi, const RECT& suggested) {
    // Moved to a monitor of another scale, or the scale changed: the window
    // takes the rectangle that Windows suggests, and its controls and fonts
    // follow the new dots per inch.
    dpi_ = dpi;
    MakeFonts(dpi_);
    ::SetWindowPos(frm_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // A window that keeps its size (a maximised one) gets no WM_SIZE, so
    // the controls are placed here too.
    Place();
}

void frmMain::OnClose() {
    // Closed in the middle of a lookup, the window would be gone when the
    // lookup comes back to it: the lookup is broken off first, if the clerk
    // says so.
    if (LookupRunning()) {
        AskToBreakOff();
    } else {
        ::DestroyWindow(frm_);
    }
}
