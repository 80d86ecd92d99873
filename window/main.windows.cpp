#include <string>

#include "error.h"
#include "frm_main.windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Lays the window out in the screen's real pixels instead of letting
    // the system stretch a 96-DPI bitmap.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    try {
        frmMain window(instance);
        window.Show(showCommand);
        return window.RunMessageLoop();
    } catch (const keil::Error& e) {
        const std::wstring text = L"Error " + std::to_wstring(e.number()) + L": the window could not be made.";
        ::MessageBoxW(nullptr, text.c_str(), L"Der Keilbrecher", MB_OK | MB_ICONERROR);
        return frmMain::kExitAfterError;
    }
}
