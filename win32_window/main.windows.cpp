#include <objbase.h>

#include "shared_folder/fixed_paths.h"
#include "system/error.h"
#include "win32_window/frm_main.windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The application manifest makes the program per-monitor DPI aware, so
    // that the window is laid out in the screen's real pixels.
    // The annotations that tell a screen reader of a long wait are COM's.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct ComUser {
        bool initialised;
        ~ComUser() {
            if (initialised) ::CoUninitialize();
        }
    } const comUser{SUCCEEDED(com)};
    try {
        frmMain window(instance, keil::FixedLookupPlace());
        window.Show(showCommand);
        return window.RunMessageLoop();
    } catch (const keil::Error& e) {
        ShowErrorBox(nullptr, keil::Failure{e.number(), e.text()});
        return keil::kExitAfterError;
    }
}
