#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <string>

#include "lookup_run.h"

// The message box of an error: its number and text, the window's caption.
void ShowErrorBox(HWND owner, std::int32_t number, const std::string& text);

// The program's one window as a native Win32 window: two record buttons and
// the result box. Lookups run on it; their errors end the program here.
class frmMain : public keil::WindowOperations {
public:
    explicit frmMain(HINSTANCE instance);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    void Show(int showCommand);
    // Runs the message loop until the window closes; returns the exit status.
    int RunMessageLoop();

    void SetRecord1Enabled(bool enabled) override;
    void SetRecord2Enabled(bool enabled) override;
    void SetResultText(const std::u16string& text) override;

    void cmdRecord1_Click();
    void cmdRecord2_Click();

    static constexpr int kExitAfterError = 1;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void RunHeld(void (*handler)(keil::WindowOperations&));
    void ShowErrorAndQuit(std::int32_t number, const std::string& text);

    HWND frm_ = nullptr;
    HWND cmdRecord1_ = nullptr;
    HWND cmdRecord2_ = nullptr;
    HWND txtResult_ = nullptr;
    HFONT buttonFont_ = nullptr;
    HFONT resultFont_ = nullptr;
};
