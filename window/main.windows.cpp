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
        ShowErrorBox(nullptr, e.number(), e.text());
        return frmMain::kExitAfterError;
    }
}
