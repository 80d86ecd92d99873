#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "win32_window/question.windows.h"
#include "window/lookup_window.h"

// The message box of an error (see ErrorBoxText), the window's caption.
void ShowErrorBox(HWND owner, const keil::Failure& failure);

// Owns a font and deletes it on destruction.
struct FontDeleter {
    void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

// The program's one window as a native Win32 window: two record buttons and
// the result box. Lookups run on it; their errors end the program here.
class frmMain : public keil::LookupWindow {
public:
    // The controls' IDs. They avoid IDOK (1) and IDCANCEL (2), which the
    // dialog navigation sends for Return and Escape.
    static constexpr int kIdRecord1 = 101;
    static constexpr int kIdRecord2 = 102;
    static constexpr int kIdResult = 103;

    // The window of the instance `instance`, whose lookups use the lookup
    // folder `place`.
    frmMain(HINSTANCE instance, keil::LookupPlace place);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    void Show(int showCommand);
    // Runs the message loop until the window closes; returns the exit status.
    int RunMessageLoop();

protected:
    void SetRecord1Enabled(bool enabled) override;
    void SetRecord2Enabled(bool enabled) override;
    void SetResultText(const std::u16string& text) override;
    // Dispatches the thread's messages but the user's input, which it
    // drops; a request to close the window (Alt+F4, the close box) still
    // reaches it, and asks whether to break the lookup off.
    void TakeTurn() override;
    // The words stand in the result box, which the block or an error's
    // emptying replaces. To be spoken, the result box is a polite live
    // region named by them, and a screen reader is told that it changed.
    void ShowWaitNotice(const std::string& text, bool speak) override;

    // Holds the window for a lookup: the busy pointer, and the focus kept;
    // what was clicked or typed meanwhile is dropped at the end.
    std::unique_ptr<Hold> HoldForLookup() override;
    // A modeless dialog of the window's, with German buttons: the lookup
    // goes on while it stands.
    void OpenQuestion() override;
    void CloseQuestion() override;
    void ShowErrorAndEnd(const keil::Failure& failure) override;
    void End(int status) override;
    bool ScreenReaderRuns() override;
    void SpeakRecord(const std::u16string& text) override;
    void MoveFocusToResult() override;
    // The result box gets its own name back, and a WM_QUIT that came
    // during the lookup is posted again.
    void AfterLookup() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // The messages that Handle hands on; those that say whether they took
    // the message return true when no default handling follows.
    bool OnCommand(WORD id, WORD notification);
    void OnNextControl(WPARAM wParam, LPARAM lParam);
    bool OnActivate(WPARAM wParam);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnClose();
    // Places the controls by the twips layout at the window's size and
    // resolution (dpi_): the buttons where they are, the result box filling
    // the rest.
    void Place();
    // Gives the controls fonts made for `dpi`, freeing the fonts they had.
    void MakeFonts(int dpi);
    // Shows the result box's vertical scroll bar when, and only when, its
    // text does not fit.
    void UpdateScrollBar();

    HWND frm_ = nullptr;
    HWND cmdRecord1_ = nullptr;
    HWND cmdRecord2_ = nullptr;
    HWND txtResult_ = nullptr;
    UniqueFont buttonFont_;
    UniqueFont resultFont_;
    int dpi_ = 96;
    // The control that had the focus when the window was last deactivated.
    HWND lastFocus_ = nullptr;
    // The result box as a live region while a wait is spoken (see
    // ShowWaitNotice); null where the system offers no annotation.
    struct LiveNotice;
    std::unique_ptr<LiveNotice> notice_;
    // The exit status of a WM_QUIT that came during a lookup.
    std::optional<int> quitCode_;
    // The question that a request to close asks during a lookup; one that
    // was answered, kept until the lookup has ended.
    std::unique_ptr<BreakOffQuestion> question_;
    std::unique_ptr<BreakOffQuestion> closedQuestion_;
};
