#include "display_text.h"

namespace keil {

std::u16string DisplayTextFromBlock(std::u16string_view block, std::u16string_view lineBreak) {
    constexpr char16_t kCr = 0x0D;
    constexpr char16_t kLf = 0x0A;
    constexpr char16_t kTab = 0x09;
    constexpr char16_t kDel = 0x7F;
    constexpr char16_t kControlPictures = 0x2400;
    constexpr char16_t kDeletePicture = 0x2421;
    constexpr char16_t kReplacement = 0xFFFD;

    std::u16string text;
    text.reserve(block.size());
    for (std::size_t i = 0; i < block.size(); ++i) {
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
            text += kReplacement;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace keil
