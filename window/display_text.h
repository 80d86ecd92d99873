#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace keil {

// The text that a result box shows for a result block, given as its bytes,
// each the character of the same code. Every character keeps its code,
// except line ends and control characters, which no text box shows as
// they are:
// - CR LF, a lone CR and a lone LF each become `lineBreak`;
// - TAB stays;
// - the other codes 0 to 31 and 127 become their visible symbols
//   U+2400 to U+241F and U+2421 (so NUL shows as a symbol instead of
//   cutting the text short);
// - codes 128 to 159 become the Windows-1252 characters of the same byte
//   (€, „, “, …), or U+FFFD, the replacement character, for the five
//   bytes that Windows-1252 leaves unassigned.
// - of a line longer than kMostShownPerLine, the first that many
//   characters are shown, then a note of how many more of the line follow;
//   every line of the block is shown, its end included.
std::u16string DisplayTextFromBlock(std::span<const std::uint8_t> block, std::u16string_view lineBreak);

// A record's line is a text screen's, 80 or so characters. A text box lays
// out a line that has no blank in a time that grows with the square of its
// length (a line of 100,000 characters held the window for seconds, one of
// 10 MB for minutes), so no line it gets is longer than this.
inline constexpr std::size_t kMostShownPerLine = 4000;

}  // namespace keil
