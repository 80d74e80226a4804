#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace tw {
namespace {

using namespace std::string_literals;

TEST(NextWord, TakesWordsOneByOneAndSkipsTheBlanksBetweenThem) {
  std::string source = "  1:Fm   NOCALL-1 To NOCALL-2";
  EXPECT_EQ(NextWord(source), "1:Fm");
  EXPECT_EQ(source, "NOCALL-1 To NOCALL-2");
  EXPECT_EQ(NextWord(source), "NOCALL-1");
  EXPECT_EQ(NextWord(source), "To");
  EXPECT_EQ(NextWord(source), "NOCALL-2");
  EXPECT_EQ(source, "");
  EXPECT_EQ(NextWord(source), "");
  EXPECT_EQ(source, "");
}

TEST(NextWord, DropsExactlyOneTrailingCarriageReturn) {
  std::string source = "CONNECTED\r";
  EXPECT_EQ(NextWord(source), "CONNECTED");
  EXPECT_EQ(source, "");

  source = "A B\r\r";
  EXPECT_EQ(NextWord(source), "A");
  EXPECT_EQ(source, "B\r");
  EXPECT_EQ(NextWord(source), "B");
  EXPECT_EQ(source, "");

  // Blanks before the dropped CR leave nothing behind.
  source = "LAST   \r";
  EXPECT_EQ(NextWord(source), "LAST");
  EXPECT_EQ(source, "");
}

TEST(NextWord, KeepsACarriageReturnThatIsNotAtTheEnd) {
  std::string source = "AB\rCD EF";
  EXPECT_EQ(NextWord(source), "AB\rCD");
  EXPECT_EQ(source, "EF");
}

TEST(NextWord, BlankOrCarriageReturnOnlySourcesGiveAnEmptyWord) {
  for (std::string source : {""s, "    "s, "\r"s, "   \r"s}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(NextWord(source), "");
    EXPECT_EQ(source, "");
  }
}

TEST(NextWord, OnlyTheBlankDelimitsWordsNulTabAndHighBytesDoNot) {
  std::string source = "\x00\xFF\tX \xE9t\xE9"s;
  EXPECT_EQ(NextWord(source), "\x00\xFF\tX"s);
  EXPECT_EQ(source, "\xE9t\xE9");
}

TEST(SplitAt, ReturnsTextBeforeTheFirstDelimiterAndKeepsTheRest) {
  std::string source = "2;Port1 Radio;Port2;";
  EXPECT_EQ(SplitAt(source, ";"), "2");
  EXPECT_EQ(SplitAt(source, ";"), "Port1 Radio");
  EXPECT_EQ(SplitAt(source, ";"), "Port2");
  EXPECT_EQ(source, "");
}

TEST(SplitAt, MultiByteAndNulDelimiters) {
  std::string source = "a<>b<>c";
  EXPECT_EQ(SplitAt(source, "<>"), "a");
  EXPECT_EQ(source, "b<>c");

  source = "\xFF\x01\x00rest\x00"s;
  EXPECT_EQ(SplitAt(source, "\x00"s), "\xFF\x01");
  EXPECT_EQ(source, "rest\x00"s);
}

TEST(SplitAt, DelimiterAtTheStartGivesEmptyTextBeforeIt) {
  std::string source = ",X";
  EXPECT_EQ(SplitAt(source, ","), "");
  EXPECT_EQ(source, "X");
}

TEST(SplitAt, WithoutTheDelimiterReturnsEverythingAndEmptiesTheSource) {
  std::string source = "NO DELIMITER\x00\xFE"s;
  EXPECT_EQ(SplitAt(source, ";"), "NO DELIMITER\x00\xFE"s);
  EXPECT_EQ(source, "");

  source = "abc";
  EXPECT_EQ(SplitAt(source, ""), "abc");
  EXPECT_EQ(source, "");
}

TEST(Padding, FillsUpToTheLengthAndLeavesLongerTextsAlone) {
  EXPECT_EQ(PadRight("AB", 5, ' '), "AB   ");
  EXPECT_EQ(PadLeft("7", 3, '0'), "007");
  EXPECT_EQ(PadRight("ABCDEF", 3, '.'), "ABCDEF");
  EXPECT_EQ(PadLeft("ABCDEF", 6, '.'), "ABCDEF");
  EXPECT_EQ(PadRight("", 2, '\0'), "\x00\x00"s);
  EXPECT_EQ(PadLeft("\xFF", 3, '\xE0'), "\xE0\xE0\xFF");
}

TEST(UpperText, ChangesOnlyLowerCaseAsciiLetters) {
  EXPECT_EQ(UpperText("nocall-1 via relay"), "NOCALL-1 VIA RELAY");
  // Neighbours of a..z, NUL and Latin-1 letters stay as they are.
  EXPECT_EQ(UpperText("`az{\x00\xE4\xFF@"s), "`AZ{\x00\xE4\xFF@"s);
}

TEST(RemoveAndReplaceChar, WorkOnEveryOccurrenceOfAnyByte) {
  EXPECT_EQ(RemoveChar("A B  C ", ' '), "ABC");
  EXPECT_EQ(RemoveChar("\x00X\x00Y\x00"s, '\0'), "XY");
  EXPECT_EQ(RemoveChar("\xFF\x01\xFF", '\xFF'), "\x01");
  EXPECT_EQ(ReplaceChar("a,b,,c", ',', "; "), "a; b; ; c");
  EXPECT_EQ(ReplaceChar("x\ry\r", '\r', ""), "xy");
  EXPECT_EQ(ReplaceChar("\x80z"s, '\x80', "\x00\x00"s), "\x00\x00z"s);
}

TEST(IsDigits, OnlyNonEmptyDecimalDigitStrings) {
  EXPECT_TRUE(IsDigits("0123456789"));
  EXPECT_TRUE(IsDigits("7"));
  EXPECT_FALSE(IsDigits(""));
  EXPECT_FALSE(IsDigits("12 "));
  EXPECT_FALSE(IsDigits("/"));  // just below '0'
  EXPECT_FALSE(IsDigits(":"));  // just above '9'
  EXPECT_FALSE(IsDigits("1\x00"s));
  EXPECT_FALSE(IsDigits("\xB2"));  // superscript two in Latin-1
  EXPECT_FALSE(IsDigits("-1"));
}

TEST(CopyToNul, StopsAtTheFirstNul) {
  EXPECT_EQ(CopyToNul("Port1\x00garbage\x00"s), "Port1");
  EXPECT_EQ(CopyToNul("\x00" "abc"s), "");
  EXPECT_EQ(CopyToNul("no nul \xFF"), "no nul \xFF");
}

TEST(HexByte, TwoUpperCaseDigits) {
  EXPECT_EQ(HexByte(0x00), "00");
  EXPECT_EQ(HexByte(0x0F), "0F");
  EXPECT_EQ(HexByte(0xA0), "A0");
  EXPECT_EQ(HexByte(0xF0), "F0");
  EXPECT_EQ(HexByte(0xFF), "FF");
}

TEST(HexToByte, ReadsOneOrTwoDigitsInEitherCase) {
  EXPECT_EQ(HexToByte("F0"), 0xF0);
  EXPECT_EQ(HexToByte("f0"), 0xF0);
  EXPECT_EQ(HexToByte("Ff"), 0xFF);
  EXPECT_EQ(HexToByte("09"), 0x09);
  EXPECT_EQ(HexToByte("A"), 0x0A);
  EXPECT_EQ(HexToByte("c"), 0x0C);
}

TEST(HexToByte, EmptyOrThreePlusCharactersGiveZero) {
  EXPECT_EQ(HexToByte(""), 0);
  EXPECT_EQ(HexToByte("FFF"), 0);
  EXPECT_EQ(HexToByte("0F0"), 0);
  EXPECT_EQ(HexToByte("12345"), 0);
}

TEST(HexToByte, NonHexCharactersCountAsZero) {
  EXPECT_EQ(HexToByte("G1"), 0x01);
  EXPECT_EQ(HexToByte("1G"), 0x10);
  EXPECT_EQ(HexToByte("zz"), 0x00);
  EXPECT_EQ(HexToByte("\xFF"), 0x00);
  EXPECT_EQ(HexToByte("\xC1" "A"), 0x0A);  // high byte whose low 7 bits are 'A'
  EXPECT_EQ(HexToByte("\x00" "7"s), 0x07);
  EXPECT_EQ(HexToByte("@"), 0x00);  // just below 'A'
  EXPECT_EQ(HexToByte("g"), 0x00);  // just above 'f'
}

TEST(BoolText, TrueAndFalse) {
  EXPECT_EQ(BoolText(true), "TRUE");
  EXPECT_EQ(BoolText(false), "FALSE");
}

TEST(DigitsValue, ReadsLeadingDigitsAndSaturates) {
  EXPECT_EQ(DigitsValue("0"), 0u);
  EXPECT_EQ(DigitsValue("65535"), 65535u);
  EXPECT_EQ(DigitsValue("12x9"), 12u);
  EXPECT_EQ(DigitsValue(""), 0u);
  EXPECT_EQ(DigitsValue("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(DigitsValue("18446744073709551616"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(DigitsValue("99999999999999999999999999"), std::numeric_limits<std::uint64_t>::max());
}

TEST(Contains, FindsBytesIncludingNul) {
  EXPECT_TRUE(Contains("*** CONNECTED With N0CALL", "CONNECTED With"));
  EXPECT_FALSE(Contains("connected with", "CONNECTED"));
  EXPECT_TRUE(Contains("a\x00" "b"s, "\x00"s));
  EXPECT_TRUE(Contains("anything", ""));
}

TEST(Cat, JoinsTextsCharactersAndDecimalIntegers) {
  std::string text = "x";
  EXPECT_EQ(Cat("{L2} <Op> Port(", 3, ") Len(", std::size_t{600}, ") ", text, '!'),
            "{L2} <Op> Port(3) Len(600) x!");
  // A byte is a number, a char is a character.
  EXPECT_EQ(Cat(std::uint8_t{240}, ' ', 'A', -5), "240 A-5");
  EXPECT_EQ(Cat("a", std::string("\x00"s), "b"), "a\x00" "b"s);
}

TEST(Text, AnAx25AddressIsSixLettersOrDigitsAndAnSsidUpTo15) {
  const struct {
    const char* call;
    bool valid;
  } cases[] = {
      {"N0CALL", true},   {"W1AW-15", true},  {"K1A-0", true},   {"A", true},         {"n0call-7", true},
      {"N0CALL-16", false}, {"N0CALL-99", false}, {"THISISTOOLONG", false}, {"N0 CALL", false}, {"", false},
      {"-1", false},       {"N0CALL-", false}, {"N0CALL-1A", false}, {"N0CALL-123", false}, {"N0-CALL-1", false},
      {"ABCDEFG", false},  {"N0C*LL", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAx25Address(c.call), c.valid) << c.call;
}

}  // namespace
}  // namespace tw
