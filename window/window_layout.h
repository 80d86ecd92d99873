#pragma once

// The main window's layout in twips (1/1440 inch), shared by every window
// implementation; each converts it with the screen's dots per inch.
//
// Why twips: they measure the screen in inches, not in pixels, so the
// window has the same size and proportions at 96 dots per inch and on a
// scaled 4K screen, and one layout serves the Qt and the Win32 window
// alike. The buttons' sizes were made for an 8-point dialog font, which
// each window uses at every resolution, so that the captions fit.

namespace keil::layout {

inline constexpr const char16_t* kCaption = u"Der Keilbrecher";
// "&" marks the access key: Alt+E and Alt+Z click the buttons.
inline constexpr const char16_t* kRecord1Caption = u"&Erster Datensatz";
inline constexpr const char16_t* kRecord2Caption = u"&Zweiter Datensatz";
// The result box's name for assistive tools.
inline constexpr const char16_t* kResultName = u"Lieferantenadresse";

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int kClientWidth = 5175;
inline constexpr int kClientHeight = 2910;
inline constexpr TwipsRect kRecord1{240, 240, 1695, 375};
inline constexpr TwipsRect kRecord2{240, 720, 1695, 375};
inline constexpr TwipsRect kResult{2040, 240, 3015, 2535};

// Twips to pixels at `dotsPerInch`, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dotsPerInch) {
    return (twips * dotsPerInch + 720) / 1440;
}

struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

// The result box in a client area of `width` by `height` pixels. The window
// opens at the layout's size and may grow: the box keeps its left and top
// edges and its margins to the right and bottom edges, so that it grows
// with the window while the buttons stay where they are. At the layout's
// own size it is the layout's box, pixel for pixel.
constexpr PixelRect ResultBoxPixels(int width, int height, int dpiX, int dpiY) {
    const int left = TwipsToPixels(kResult.left, dpiX);
    const int top = TwipsToPixels(kResult.top, dpiY);
    const int rightMargin = TwipsToPixels(kClientWidth, dpiX) - left - TwipsToPixels(kResult.width, dpiX);
    const int bottomMargin = TwipsToPixels(kClientHeight, dpiY) - top - TwipsToPixels(kResult.height, dpiY);
    return {left, top, width - left - rightMargin, height - top - bottomMargin};
}

}  // namespace keil::layout
