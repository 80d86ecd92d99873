#include <gtest/gtest.h>

#include <vector>

#include "window/display_text.h"

namespace keil {
namespace {

struct DisplayCase {
    const char* name;
    std::u16string block;
    std::u16string shown;
};

const DisplayCase kCases[] = {
    {"CrLfBreaksTheLine", u"ab\r\ncd\r\n", u"ab|cd|"},
    {"LoneLfBreaksTheLine", u"ab\ncd", u"ab|cd"},
    {"LoneCrBreaksTheLine", u"ab\rcd", u"ab|cd"},
    {"CrCrLfIsTwoBreaks", u"a\r\r\nb", u"a||b"},
    {"LfCrIsTwoBreaks", u"a\n\rb", u"a||b"},
    {"NulShowsAsASymbol", std::u16string(u"a\0b", 3), u"a\u2400b"},
    {"ControlCharactersShowAsSymbols", u"\x01\x1b\x1f\x7f", u"\u2401\u241b\u241f\u2421"},
    {"TabAndBlankStay", u"a\tb c", u"a\tb c"},
    {"C1CodesShowAsWindows1252", u"\x80\x84\x93\x94\x96\x97\x85\x82\x9f", u"€„“”–—…‚Ÿ"},
    {"UnassignedWindows1252BytesShowAsReplacement", u"\x81\x8d\x8f\x90\x9d", u"\ufffd\ufffd\ufffd\ufffd\ufffd"},
    {"Latin1KeepsItsCodes", u"\xa0\xe4\xf6\xfc\xdf\xff", u"\xa0\xe4\xf6\xfc\xdf\xff"},
    // A longer line is cut, and the note says how much of it is left out;
    // the lines after it stand whole.
    {"LineAsLongAsShownStaysWhole", std::u16string(kMostShownPerLine, u'x') + u"\r\n",
     std::u16string(kMostShownPerLine, u'x') + u"|"},
    {"LongerLineIsCutWithANote", u"a\r\n" + std::u16string(kMostShownPerLine + 1234, u'\x80') + u"\r\nZeile\rEnde",
     u"a|" + std::u16string(kMostShownPerLine, u'€') + u" [… 1.234 weitere Zeichen dieser Zeile werden nicht "
                                                     u"angezeigt.]|Zeile|Ende"},
    {"EachLongLineIsCutAtItsOwnEnd",
     std::u16string(kMostShownPerLine + 1, u'x') + u"\r" + std::u16string(kMostShownPerLine + 2, u'y') + u"\nz",
     std::u16string(kMostShownPerLine, u'x') + u" [… 1 weitere Zeichen dieser Zeile werden nicht angezeigt.]|" +
         std::u16string(kMostShownPerLine, u'y') + u" [… 2 weitere Zeichen dieser Zeile werden nicht angezeigt.]|z"},
};

class Display : public testing::TestWithParam<DisplayCase> {};

// The block's bytes: each of its characters is one.
std::vector<std::uint8_t> Bytes(std::u16string_view block) { return {block.begin(), block.end()}; }

TEST_P(Display, ShowsEachCharacter) {
    EXPECT_TRUE(DisplayTextFromBlock(Bytes(GetParam().block), u"|") == GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(DisplayText, Display, testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace keil
