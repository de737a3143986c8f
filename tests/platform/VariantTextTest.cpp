#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/Variant.h"
#include "support/ErrorOf.h"

namespace qrw {
namespace {

using qrw::testing::ErrorOf;

// "Grüße, €5" : ü and ß take two bytes, € three.
const std::string kWord = "Gr\xC3\xBC\xC3\x9F" "e, \xE2\x82\xAC" "5";

// ---------------------------------------------------------------------------
// Lengths and slices count characters

TEST(TextSlices, LengthCountsCharacters) {
  EXPECT_EQ(text::Len(""), 0u);
  EXPECT_EQ(text::Len("abc"), 3u);
  EXPECT_EQ(text::Len(kWord), 9u);
  EXPECT_EQ(text::Len("\xF0\x9F\x98\x80"), 1u);  // four-byte character
}

TEST(TextSlices, MidLeftRight) {
  EXPECT_EQ(text::Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(text::Mid("abcdef", 4), "def");
  EXPECT_EQ(text::Mid("abc", 3, 10), "c");
  EXPECT_EQ(text::Mid("abc", 4), "");
  EXPECT_EQ(text::Mid("abc", 100, 2), "");
  EXPECT_EQ(text::Mid("abc", 2, 0), "");
  EXPECT_EQ(text::Mid(kWord, 3, 2), "\xC3\xBC\xC3\x9F");
  EXPECT_EQ(text::Mid(kWord, 8), "\xE2\x82\xAC" "5");
  EXPECT_EQ(text::Left(kWord, 3), "Gr\xC3\xBC");
  EXPECT_EQ(text::Left("abc", 0), "");
  EXPECT_EQ(text::Left("abc", 10), "abc");
  EXPECT_EQ(text::Right(kWord, 2), "\xE2\x82\xAC" "5");
  EXPECT_EQ(text::Right("abc", 0), "");
  EXPECT_EQ(text::Right("abc", 10), "abc");
}

TEST(TextSlices, BadArgumentsRaiseInvalidProcedureCall) {
  EXPECT_EQ(ErrorOf([] { text::Mid("abc", 0); }), rt::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { text::Mid("abc", 1, -1); }), rt::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { text::Left("abc", -1); }), rt::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { text::Right("abc", -1); }), rt::kInvalidProcedureCall);
  EXPECT_EQ(ErrorOf([] { text::InStr(0, "abc", "a"); }), rt::kInvalidProcedureCall);
}

TEST(TextSlices, MalformedBytesCountAsCharacters) {
  // A lone continuation byte and a truncated sequence each count once and
  // are never split or dropped.
  const std::string bad = "a\x80" "b\xC3";
  EXPECT_EQ(text::Len(bad), 4u);
  EXPECT_EQ(text::Mid(bad, 2, 1), "\x80");
  EXPECT_EQ(text::Right(bad, 1), "\xC3");
  EXPECT_EQ(text::Left(bad, 4), bad);
  EXPECT_EQ(text::InStr(bad, "b"), 3);
}

// ---------------------------------------------------------------------------
// Searching

TEST(TextSearch, InStrPositions) {
  EXPECT_EQ(text::InStr("Re-Order From x", "Re-Order From"), 1);
  EXPECT_EQ(text::InStr("abcabc", "c"), 3);
  EXPECT_EQ(text::InStr(4, "abcabc", "c"), 6);
  EXPECT_EQ(text::InStr(7, "abcabc", "c"), 0);   // start beyond the text
  EXPECT_EQ(text::InStr(100, "abc", ""), 0);
  EXPECT_EQ(text::InStr(2, "abc", ""), 2);
  EXPECT_EQ(text::InStr("", "a"), 0);
  EXPECT_EQ(text::InStr("", ""), 0);
  EXPECT_EQ(text::InStr("abc", "abcd"), 0);
  EXPECT_EQ(text::InStr("abc", "C"), 0);
}

TEST(TextSearch, InStrCountsCharactersNotBytes) {
  EXPECT_EQ(text::InStr(kWord, "e"), 5);
  EXPECT_EQ(text::InStr(kWord, "5"), 9);
  EXPECT_EQ(text::InStr(kWord, "\xE2\x82\xAC"), 8);
  EXPECT_EQ(text::InStr(4, kWord, "\xC3\x9F"), 4);
  EXPECT_EQ(text::InStr(5, kWord, "\xC3\x9F"), 0);
  // The bytes of a match inside a character are no match.
  EXPECT_EQ(text::InStr("\xC3\xA9x\xA9x", "\xA9x"), 3);
  EXPECT_EQ(text::InStr("\xC3\xA9x", "\xA9x"), 0);
}

TEST(TextSearch, InStrIgnoringCase) {
  EXPECT_EQ(text::InStr(1, "Re-ORDER from", "re-order FROM", true), 1);
  EXPECT_EQ(text::InStr(1, kWord, "\xC3\x9C\xC3\x9F" "E", true), 3);  // ÜßE
  EXPECT_EQ(text::InStr(1, "xAbc", "abc", false), 0);
  EXPECT_EQ(text::InStr(1, "xAbc", "abc", true), 2);
}

// ---------------------------------------------------------------------------
// Blanks and case

TEST(TextCase, TrimRemovesSpacesOnly) {
  EXPECT_EQ(text::Trim("  a b  "), "a b");
  EXPECT_EQ(text::LTrim("  a  "), "a  ");
  EXPECT_EQ(text::RTrim("  a  "), "  a");
  EXPECT_EQ(text::Trim("    "), "");
  EXPECT_EQ(text::Trim(""), "");
  EXPECT_EQ(text::Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(text::Trim(" \r\n"), "\r\n");
}

TEST(TextCase, UpperAndLowerCoverLatin1) {
  EXPECT_EQ(text::UCase("abc xyz 123"), "ABC XYZ 123");
  EXPECT_EQ(text::LCase("ABC XYZ 123"), "abc xyz 123");
  EXPECT_EQ(text::UCase("\xC3\xA9\xC3\xA0\xC3\xBE"), "\xC3\x89\xC3\x80\xC3\x9E");  // éàþ
  EXPECT_EQ(text::LCase("\xC3\x89\xC3\x80\xC3\x9E"), "\xC3\xA9\xC3\xA0\xC3\xBE");
  EXPECT_EQ(text::UCase("\xC3\xB7\xC3\x9F"), "\xC3\xB7\xC3\x9F");  // ÷ and ß stay
  EXPECT_EQ(text::LCase("\xC3\x97"), "\xC3\x97");                  // × stays
  EXPECT_EQ(text::UCase("\xC3\xBF"), "\xC5\xB8");                  // ÿ -> Ÿ
  EXPECT_EQ(text::LCase("\xC5\xB8"), "\xC3\xBF");
  EXPECT_EQ(text::UCase("\xE2\x82\xAC" "a"), "\xE2\x82\xAC" "A");  // € untouched
  EXPECT_TRUE(text::EqualsNoCase("StockLF", "STOCKlf"));
  EXPECT_FALSE(text::EqualsNoCase("Stock", "Stocks"));
}

// ---------------------------------------------------------------------------
// Dates

std::string Iso(double serial) { return DateToIso(serial); }

double Serial(const std::string& s) {
  double d = -1e9;
  EXPECT_TRUE(IsoToDate(s, d)) << s;
  return d;
}

TEST(Dates, SerialNumbersToText) {
  EXPECT_EQ(Iso(0), "1899-12-30");
  EXPECT_EQ(Iso(1), "1899-12-31");
  EXPECT_EQ(Iso(2), "1900-01-01");
  EXPECT_EQ(Iso(60), "1900-02-28");
  EXPECT_EQ(Iso(61), "1900-03-01");  // 1900 was not a leap year
  EXPECT_EQ(Iso(45351), "2024-02-29");
  EXPECT_EQ(Iso(45292.75), "2024-01-01 18:00:00");
  EXPECT_EQ(Iso(-1), "1899-12-29");
  EXPECT_EQ(Iso(-1.25), "1899-12-29 06:00:00");  // time counts forward from the day
  EXPECT_EQ(Iso(-0.5), "1899-12-30 12:00:00");
  EXPECT_EQ(Iso(2958465), "9999-12-31");
  EXPECT_EQ(Iso(-657434), "0100-01-01");
}

TEST(Dates, TimeRoundsToTheSecond) {
  EXPECT_EQ(Iso(45292 + 0.99999999), "2024-01-02");
  EXPECT_EQ(Iso(45292 + 1.0 / 86400 + 1e-9), "2024-01-01 00:00:01");
  EXPECT_EQ(Iso(45292.0000000001), "2024-01-01");
}

TEST(Dates, TextToSerialNumbers) {
  EXPECT_EQ(Serial("1899-12-30"), 0.0);
  EXPECT_EQ(Serial("2024-02-29"), 45351.0);
  EXPECT_EQ(Serial("2024-01-01 18:00:00"), 45292.75);
  EXPECT_EQ(Serial("2024-01-01T18:00:00"), 45292.75);
  EXPECT_EQ(Serial("2024-01-01 18:00"), 45292.75);
  EXPECT_EQ(Serial(" 2024-01-01 "), 45292.0);
  EXPECT_EQ(Serial("1899-12-29 06:00:00"), -1.25);
  for (double s : {0.0, 1.5, -1.25, 45292.75, 2958465.0, -657434.0, 36525.0 + 43201.0 / 86400}) {
    EXPECT_EQ(Serial(Iso(s)), s) << s;
  }
}

TEST(Dates, MalformedTextIsRejected) {
  double d = 0;
  for (const char* bad : {"", "2024", "2024-1-01", "2024-01-1", "2023-02-29", "2024-13-01",
                          "2024-00-10", "2024-04-31", "2024-01-01 24:00:00", "2024-01-01 12:60",
                          "2024-01-01 12:00:60", "2024-01-01x", "2024-01-01 12", "01/02/2024",
                          "0099-01-01", "2024-01-01 12:00:00 PM"}) {
    EXPECT_FALSE(IsoToDate(bad, d)) << bad;
  }
}

TEST(Dates, OutOfRangeSerialsOverflow) {
  EXPECT_EQ(ErrorOf([] { DateToIso(1e12); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { DateToIso(std::nan("")); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(1e9).ToDate(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("not a date").ToDate(); }), rt::kTypeMismatch);
  EXPECT_EQ(Variant("45292.5").ToDate(), 45292.5);
}

// ---------------------------------------------------------------------------
// Error descriptions

TEST(RunTimeErrors, RaiseCarriesNumberAndDescription) {
  try {
    rt::Raise(rt::kTypeMismatch);
    FAIL() << "no error raised";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 13);
    EXPECT_EQ(e.Description(), "Type mismatch");
    EXPECT_STREQ(e.what(), "Type mismatch");
  }
  EXPECT_EQ(rt::Description(6), "Overflow");
  EXPECT_EQ(rt::Description(5), "Invalid procedure call or argument");
  EXPECT_EQ(rt::Description(11), "Division by zero");
  EXPECT_EQ(rt::Description(91), "Object variable or With block variable not set");
  EXPECT_EQ(rt::Description(94), "Invalid use of Null");
  EXPECT_FALSE(rt::Description(12345).empty());
}

}  // namespace
}  // namespace qrw
