#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "window/screen_reader.h"

namespace keil {

bool ScreenReaderRunning() {
    BOOL running = FALSE;
    return ::SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

}  // namespace keil
