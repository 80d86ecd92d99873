#pragma once

// The main window's layout in twips (1/1440 inch), shared by every window
// implementation; each converts it with the screen's dots per inch.

namespace keil::layout {

inline constexpr const char16_t* kCaption = u"Der Keilbrecher";
inline constexpr const char16_t* kRecord1Caption = u"Erster Datensatz";
inline constexpr const char16_t* kRecord2Caption = u"Zweiter Datensatz";

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

}  // namespace keil::layout
