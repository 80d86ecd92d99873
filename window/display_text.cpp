#include "window/display_text.h"

#include "system/error.h"

#include <algorithm>
#include <cstring>

namespace keil {
namespace {

constexpr char16_t kCr = 0x0D;
constexpr char16_t kLf = 0x0A;

// The note at the cut of a line of which `left` more characters follow.
std::u16string CutNote(std::size_t left) {
    std::u16string note = u" [… ";
    for (const char digit : Grouped(static_cast<long long>(left))) note += static_cast<char16_t>(digit);
    return note + u" weitere Zeichen dieser Zeile werden nicht angezeigt.]";
}

// Where the line that goes on at `from` ends: its first CR or LF, or the
// block's end. memchr, as a line may be millions of bytes long, a piece
// at a time, so that the look for CR finds the piece still in the cache.
std::size_t LineEnd(std::span<const std::uint8_t> block, std::size_t from) {
    constexpr std::size_t kPiece = 16 << 10;
    for (std::size_t at = from; at < block.size(); at += kPiece) {
        const auto* piece = block.data() + at;
        const std::size_t size = std::min(kPiece, block.size() - at);
        const auto* lf = static_cast<const std::uint8_t*>(std::memchr(piece, kLf, size));
        const std::size_t beforeLf = lf != nullptr ? static_cast<std::size_t>(lf - piece) : size;
        const auto* cr = static_cast<const std::uint8_t*>(std::memchr(piece, kCr, beforeLf));
        if (cr != nullptr) return at + static_cast<std::size_t>(cr - piece);
        if (lf != nullptr) return at + beforeLf;
    }
    return block.size();
}

}  // namespace

std::u16string DisplayTextFromBlock(std::span<const std::uint8_t> block, std::u16string_view lineBreak) {
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
    std::size_t inLine = 0;  // characters of the current line so far
    for (std::size_t i = 0; i < block.size(); ++i) {
        const char16_t c = block[i];
        if (c == kCr || c == kLf) {
            text += lineBreak;
            inLine = 0;
            if (c == kCr && i + 1 < block.size() && block[i + 1] == kLf) ++i;
            continue;
        }
        if (inLine == kMostShownPerLine) {
            // The rest of this line, up to its end, is left out.
            std::size_t end = LineEnd(block, i);
            text += CutNote(end - i);
            i = end - 1;
            continue;
        }
        ++inLine;
        if (c == kTab) {
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
    return text;
}

}  // namespace keil
