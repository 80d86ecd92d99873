#include "window/display_text.h"

#include <algorithm>

#include "system/error.h"

namespace keil {

std::u16string DisplayTextFromBlock(std::span<const std::uint8_t> block, std::u16string_view lineBreak) {
    constexpr char16_t kCr = 0x0D;
    constexpr char16_t kLf = 0x0A;
    constexpr char16_t kTab = 0x09;
    constexpr char16_t kDel = 0x7F;
    constexpr char16_t kControlPictures = 0x2400;
    constexpr char16_t kDeletePicture = 0x2421;
    // Bytes 0x80 to 0x9F as the lookup program means them: the characters
    // of Windows-1252, and the replacement character for the five bytes
    // that it leaves unassigned.
    constexpr std::u16string_view kWindows1252 =
        u"€\uFFFD‚ƒ„…†‡ˆ‰Š‹Œ\uFFFDŽ\uFFFD\uFFFD‘’“”•–—˜™š›œ\uFFFDžŸ";

    std::u16string text;
    const std::size_t shown = std::min(block.size(), kMostShownCharacters);
    text.reserve(shown);
    std::size_t i = 0;
    for (; i < shown; ++i) {
        const char16_t c = block[i];
        if (c == kCr || c == kLf) {
            text += lineBreak;
            if (c == kCr && i + 1 < block.size() && block[i + 1] == kLf) ++i;
        } else if (c == kTab) {
            text += c;
        } else if (c < 0x20) {
            text += static_cast<char16_t>(kControlPictures + c);
        } else if (c == kDel) {
            text += kDeletePicture;
        } else if (c >= 0x80 && c < 0xA0) {
            text += kWindows1252[c - 0x80];
        } else {
            text += c;
        }
    }
    if (i < block.size()) {
        text += lineBreak;
        text += u"[… ";
        for (const char digit : Grouped(static_cast<long long>(block.size() - i))) text += static_cast<char16_t>(digit);
        text += u" weitere Zeichen der Antwort werden nicht angezeigt.]";
    }
    return text;
}

}  // namespace keil
