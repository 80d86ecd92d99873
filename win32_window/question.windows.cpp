#include "win32_window/question.windows.h"

#include <utility>
#include <vector>

#include "system/windows_support.windows.h"
#include "window/lookup_window.h"
#include "window/window_layout.h"

namespace {

// A dialog template made in memory, as DLGTEMPLATE and DLGITEMTEMPLATE lay
// it out: WORDs, each item aligned on a DWORD.
class Template {
public:
    Template(DWORD style, short width, short height, const std::wstring& caption, int items) {
        Add(style);
        Add(0);  // extended style
        words_.push_back(static_cast<WORD>(items));
        for (const short value : {short{0}, short{0}, width, height}) words_.push_back(static_cast<WORD>(value));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        Add(caption);
        words_.push_back(8);  // the dialog font's points
        Add(L"MS Shell Dlg");
    }
    // An item of the class `atom` (0x0080 a button, 0x0082 a static text).
    void Item(WORD atom, DWORD style, short x, short y, short width, short height, WORD id, const std::wstring& text) {
        if (words_.size() % 2 != 0) words_.push_back(0);
        Add(WS_CHILD | WS_VISIBLE | style);
        Add(0);
        for (const short value : {x, y, width, height}) words_.push_back(static_cast<WORD>(value));
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        Add(text);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Add(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void Add(const std::wstring& text) {
        for (const wchar_t c : text) words_.push_back(static_cast<WORD>(c));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

}  // namespace

BreakOffQuestion::BreakOffQuestion(HWND owner, std::function<void(bool)> answered) : answered_(std::move(answered)) {
    constexpr WORD kButton = 0x0080;
    constexpr WORD kStatic = 0x0082;
    Template dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS, 230, 66,
                    reinterpret_cast<const wchar_t*>(keil::layout::kCaption), 3);
    dialog.Item(kStatic, SS_LEFT, 10, 10, 210, 24, 0xFFFF, keil::WideFromUtf8(keil::kBreakOffQuestion));
    dialog.Item(kButton, WS_TABSTOP | BS_PUSHBUTTON, 112, 42, 50, 14, IDYES, keil::WideFromUtf8(keil::kYes));
    dialog.Item(kButton, WS_TABSTOP | BS_DEFPUSHBUTTON, 170, 42, 50, 14, IDNO, keil::WideFromUtf8(keil::kNo));
    dialog_ = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), dialog.get(), owner, &BreakOffQuestion::Procedure,
                                           reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr) return;
    // Over the middle of the window it asks for.
    RECT window{};
    RECT box{};
    ::GetWindowRect(owner, &window);
    ::GetWindowRect(dialog_, &box);
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    ::SetWindowPos(dialog_, nullptr, (window.left + window.right - width) / 2, (window.top + window.bottom - height) / 2,
                   0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(dialog_, SW_SHOW);
    ::SetFocus(::GetDlgItem(dialog_, IDNO));
}

BreakOffQuestion::~BreakOffQuestion() {
    if (dialog_ != nullptr) ::DestroyWindow(std::exchange(dialog_, nullptr));
}

bool BreakOffQuestion::Take(MSG& message) {
    return dialog_ != nullptr && Holds(message.hwnd) && ::IsDialogMessageW(dialog_, &message);
}

bool BreakOffQuestion::Holds(HWND window) const {
    return dialog_ != nullptr && (window == dialog_ || ::IsChild(dialog_, window));
}

void BreakOffQuestion::Answer(bool breakOff) {
    if (dialog_ != nullptr) ::DestroyWindow(std::exchange(dialog_, nullptr));
    // May destroy this object.
    answered_(breakOff);
}

INT_PTR CALLBACK BreakOffQuestion::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        // The focus is set once the dialog shows, on "Nein".
        return FALSE;
    }
    auto* self = reinterpret_cast<BreakOffQuestion*>(::GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO || LOWORD(wParam) == IDCANCEL) {
                self->Answer(LOWORD(wParam) == IDYES);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            self->Answer(false);
            return TRUE;
        default:
            return FALSE;
    }
}
