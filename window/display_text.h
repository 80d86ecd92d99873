#pragma once

#include <string>
#include <string_view>

namespace keil {

// The text that a result box shows for a result block. Every character
// keeps its code, except line ends and control characters, which no text
// box shows as they are:
// - CR LF, a lone CR and a lone LF each become `lineBreak`;
// - TAB stays;
// - the other codes 0 to 31 and 127 become their visible symbols
//   U+2400 to U+241F and U+2421 (so NUL shows as a symbol instead of
//   cutting the text short);
// - codes 128 to 159 become the Windows-1252 characters of the same byte
//   (€, „, “, …), or U+FFFD, the replacement character, for the five
//   bytes that Windows-1252 leaves unassigned.
std::u16string DisplayTextFromBlock(std::u16string_view block, std::u16string_view lineBreak);

}  // namespace keil
