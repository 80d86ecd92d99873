#pragma once

namespace keil {

// Whether a screen reader runs for this session now: on Linux as AT-SPI
// says (org.a11y.Status ScreenReaderEnabled, which Orca sets), asked
// without waiting when first called and told of each change from then on;
// on Windows as the system says (SPI_GETSCREENREADER). When it cannot
// tell, false.
bool ScreenReaderRunning();

}  // namespace keil
