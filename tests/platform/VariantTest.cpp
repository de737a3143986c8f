#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Variant.h"
#include "support/ErrorOf.h"

namespace qrw {
namespace {

using qrw::testing::ErrorOf;

std::string Str(const Variant& v) { return v.ToText(); }

// ---------------------------------------------------------------------------
// Kinds and type names

TEST(VariantKinds, IntLiteralIsIntegerWhenItFitsElseLong) {
  EXPECT_EQ(Variant(32767).Type(), VarType::Integer);
  EXPECT_EQ(Variant(-32768).Type(), VarType::Integer);
  EXPECT_EQ(Variant(32768).Type(), VarType::Long);
  EXPECT_EQ(Variant(-32769).Type(), VarType::Long);
}

TEST(VariantKinds, TypeNames) {
  EXPECT_EQ(Variant().TypeName(), "Empty");
  EXPECT_EQ(Variant::Null().TypeName(), "Null");
  EXPECT_EQ(Variant(5).TypeName(), "Integer");
  EXPECT_EQ(Variant(100000).TypeName(), "Long");
  EXPECT_EQ(Variant(1.5).TypeName(), "Double");
  EXPECT_EQ(Variant::Single(1.5f).TypeName(), "Single");
  EXPECT_EQ(Variant::Currency(1.5).TypeName(), "Currency");
  EXPECT_EQ(Variant::Date(0).TypeName(), "Date");
  EXPECT_EQ(Variant("x").TypeName(), "String");
  EXPECT_EQ(Variant::Bool(true).TypeName(), "Boolean");
  EXPECT_EQ(Variant::Byte(1).TypeName(), "Byte");
}

TEST(VariantKinds, TrueIsMinusOne) {
  EXPECT_EQ(Variant::Bool(true).ToLong(), -1);
  EXPECT_EQ(Variant::Bool(false).ToInteger(), 0);
  EXPECT_EQ(Variant::Bool(true).ToDouble(), -1.0);
}

// ---------------------------------------------------------------------------
// Conversion to text

TEST(VariantToText, DoublesUseShortestFifteenDigitForm) {
  EXPECT_EQ(Str(5.0), "5");
  EXPECT_EQ(Str(1.5), "1.5");
  EXPECT_EQ(Str(-1.5), "-1.5");
  EXPECT_EQ(Str(0.1 + 0.2), "0.3");
  EXPECT_EQ(Str(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(Str(2.0 / 3.0), "0.666666666666667");
  EXPECT_EQ(Str(-0.0), "0");
  EXPECT_EQ(Str(0.0), "0");
  EXPECT_EQ(Str(100.0), "100");
  EXPECT_EQ(Str(123456789012345.0), "123456789012345");
}

TEST(VariantToText, ExponentFormAtTheEdges) {
  EXPECT_EQ(Str(1e14), "100000000000000");
  EXPECT_EQ(Str(1e15), "1E+15");
  EXPECT_EQ(Str(999999999999999.9), "1E+15");  // rounds up into exponent form
  EXPECT_EQ(Str(1e20), "1E+20");
  EXPECT_EQ(Str(-1.25e20), "-1.25E+20");
  EXPECT_EQ(Str(1e300), "1E+300");
  EXPECT_EQ(Str(0.0001), "0.0001");
  EXPECT_EQ(Str(0.00001), "1E-05");
  EXPECT_EQ(Str(1.5e-7), "1.5E-07");
}

TEST(VariantToText, SingleUsesSevenDigits) {
  EXPECT_EQ(Str(Variant::Single(0.1f)), "0.1");
  EXPECT_EQ(Str(Variant::Single(1.0f / 3.0f)), "0.3333333");
  EXPECT_EQ(Str(Variant::Single(1234567.0f)), "1234567");
  EXPECT_EQ(Str(Variant::Single(12345678.0f)), "1.234568E+07");
}

TEST(VariantToText, OtherKinds) {
  EXPECT_EQ(Str(Variant()), "");
  EXPECT_EQ(Str(Variant::Bool(true)), "True");
  EXPECT_EQ(Str(Variant::Bool(false)), "False");
  EXPECT_EQ(Str(Variant::Byte(255)), "255");
  EXPECT_EQ(Str(Variant(-32768)), "-32768");
  EXPECT_EQ(Str(Variant::Long(std::numeric_limits<std::int32_t>::min())), "-2147483648");
  EXPECT_EQ(Str(Variant::Currency(1.5)), "1.5");
  EXPECT_EQ(Str(Variant::Currency(-0.0001)), "-0.0001");
  EXPECT_EQ(Str(Variant::CurrencyScaled(120000)), "12");
  EXPECT_EQ(Str(Variant::CurrencyScaled(std::numeric_limits<std::int64_t>::min())),
            "-922337203685477.5808");
  EXPECT_EQ(Str(Variant::Date(0)), "1899-12-30");
  EXPECT_EQ(Str(Variant::Date(45292.5)), "2024-01-01 12:00:00");
}

TEST(VariantToText, NullRaisesInvalidUseOfNull) {
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToText(); }), rt::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToDouble(); }), rt::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToLong(); }), rt::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { Variant::Null().ToBool(); }), rt::kInvalidUseOfNull);
  try {
    Variant::Null().ToText();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), "Invalid use of Null");
  }
}

// ---------------------------------------------------------------------------
// Reading text as a number

TEST(VariantNumeric, IsNumericShapes) {
  for (const char* yes : {"5", " 5 ", "-5", "+5", ".85", "5.", "1.5e3", "1E+20", "2e-3",
                          "  -0.5E-2  ", "007", "0"}) {
    EXPECT_TRUE(Variant(yes).IsNumeric()) << '"' << yes << '"';
  }
  for (const char* no : {"", "   ", ".", "+", "-", "e5", "1e", "1e+", "1.2.3", "1 2", "abc",
                         "5a", "--5", "+-5", "0x10", "2024-01-01"}) {
    EXPECT_FALSE(Variant(no).IsNumeric()) << '"' << no << '"';
  }
}

TEST(VariantNumeric, IsNumericOfKinds) {
  EXPECT_TRUE(Variant().IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_TRUE(Variant::Bool(false).IsNumeric());
  EXPECT_TRUE(Variant(0).IsNumeric());
  EXPECT_TRUE(Variant::Currency(0).IsNumeric());
  EXPECT_FALSE(Variant::Date(1).IsNumeric());
}

TEST(VariantNumeric, TextConvertsToNumbers) {
  EXPECT_DOUBLE_EQ(Variant(" 1.5 ").ToDouble(), 1.5);
  EXPECT_DOUBLE_EQ(Variant(".85").ToDouble(), 0.85);
  EXPECT_DOUBLE_EQ(Variant("-2e3").ToDouble(), -2000.0);
  EXPECT_EQ(Variant("1e-400").ToDouble(), 0.0);
  EXPECT_EQ(ErrorOf([] { Variant("abc").ToDouble(); }), rt::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant("").ToLong(); }), rt::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant("1e400").ToDouble(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant("0.001e312").ToDouble(); }), rt::kOverflow);
  EXPECT_EQ(Variant("-0.001e-330").ToDouble(), 0.0);
  EXPECT_FALSE(Variant("1e400").IsNumeric());
  EXPECT_EQ(Variant().ToDouble(), 0.0);
  EXPECT_EQ(Variant().ToLong(), 0);
}

// ---------------------------------------------------------------------------
// Rounding and overflow of integer targets

TEST(VariantRounding, HalfToEven) {
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant(-2.5).ToInteger(), -2);
  EXPECT_EQ(Variant(-3.5).ToLong(), -4);
  EXPECT_EQ(Variant(0.5).ToLong(), 0);
  EXPECT_EQ(Variant(1.5).ToByte(), 2);
  EXPECT_EQ(Variant(2.4999).ToLong(), 2);
  EXPECT_EQ(Variant(2.5001).ToLong(), 3);
  EXPECT_EQ(Variant("2.5").ToInteger(), 2);
  EXPECT_EQ(Variant::Currency(2.5).ToLong(), 2);
  EXPECT_EQ(Variant::Currency(0.00005).ToCurrencyScaled(), 0);   // half to even
  EXPECT_EQ(Variant::Currency(0.00015).ToCurrencyScaled(), 2);
  EXPECT_EQ(Variant::Currency(1.00005).ToCurrencyScaled(), 10000);
  EXPECT_EQ(Variant::Currency(-1.00015).ToCurrencyScaled(), -10002);
  EXPECT_EQ(Variant::Currency(123456789012.3456).ToCurrencyScaled(), 1234567890123456);
}

TEST(VariantRounding, OverflowOfTargets) {
  EXPECT_EQ(Variant(32767.4).ToInteger(), 32767);
  EXPECT_EQ(ErrorOf([] { Variant(32767.5).ToInteger(); }), rt::kOverflow);
  EXPECT_EQ(Variant(-32768.5).ToInteger(), -32768);
  EXPECT_EQ(ErrorOf([] { Variant(-32768.6).ToInteger(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(100000).ToInteger(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(2147483647.5).ToLong(); }), rt::kOverflow);
  EXPECT_EQ(Variant(2147483647.4).ToLong(), 2147483647);
  EXPECT_EQ(ErrorOf([] { Variant(-1).ToByte(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(256).ToByte(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(std::nan("")).ToLong(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(1e300).ToSingle(); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant::Currency(1e16); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant(1e16).ToCurrencyScaled(); }), rt::kOverflow);
}

TEST(VariantConvert, ToBool) {
  EXPECT_TRUE(Variant(2).ToBool());
  EXPECT_FALSE(Variant(0.0).ToBool());
  EXPECT_TRUE(Variant("true").ToBool());
  EXPECT_FALSE(Variant("FALSE").ToBool());
  EXPECT_TRUE(Variant(" -1 ").ToBool());
  EXPECT_FALSE(Variant().ToBool());
  EXPECT_EQ(ErrorOf([] { Variant("yes").ToBool(); }), rt::kTypeMismatch);
}

TEST(VariantConvert, ConvertToKeepsNullAndFillsEmpty) {
  EXPECT_TRUE(Variant::Null().ConvertTo(VarType::String).IsNull());
  EXPECT_TRUE(Variant::Null().ConvertTo(VarType::Long).IsNull());
  EXPECT_TRUE(Variant().ConvertTo(VarType::String).SameAs(Variant("")));
  EXPECT_TRUE(Variant().ConvertTo(VarType::Long).SameAs(Variant::Long(0)));
  EXPECT_TRUE(Variant("12").ConvertTo(VarType::Integer).SameAs(Variant(12)));
  EXPECT_TRUE(Variant(1.5).ConvertTo(VarType::String).SameAs(Variant("1.5")));
  EXPECT_TRUE(Variant(3).ConvertTo(VarType::Boolean).SameAs(Variant::Bool(true)));
  EXPECT_TRUE(Variant("2024-02-29").ConvertTo(VarType::Date).SameAs(Variant::Date(45351)));
  EXPECT_EQ(ErrorOf([] { Variant("x").ConvertTo(VarType::Double); }), rt::kTypeMismatch);
}

// ---------------------------------------------------------------------------
// Arithmetic and Null propagation

TEST(VariantArith, IntegerKindsWidenOnOverflow) {
  Variant r = Variant::Add(Variant(30000), Variant(30000));
  EXPECT_EQ(r.Type(), VarType::Long);
  EXPECT_EQ(r.ToLong(), 60000);
  EXPECT_EQ(Variant::Add(Variant(1), Variant(2)).Type(), VarType::Integer);
  EXPECT_EQ(Variant::Add(Variant::Byte(200), Variant::Byte(55)).Type(), VarType::Byte);
  EXPECT_TRUE(Variant::Add(Variant::Byte(200), Variant::Byte(56)).SameAs(Variant(256)));
  EXPECT_TRUE(Variant::Sub(Variant::Byte(1), Variant::Byte(2)).SameAs(Variant(-1)));
  EXPECT_TRUE(Variant::Mul(Variant(300), Variant(300)).SameAs(Variant::Long(90000)));
  EXPECT_EQ(ErrorOf([] { Variant::Add(Variant::Long(2147483647), Variant(1)); }), rt::kOverflow);
  EXPECT_EQ(ErrorOf([] { Variant::Mul(Variant::Long(65536), Variant::Long(65536)); }),
            rt::kOverflow);
  EXPECT_TRUE(Variant::Add(Variant::Bool(true), Variant::Bool(true)).SameAs(Variant(-2)));
}

TEST(VariantArith, MixedKinds) {
  EXPECT_EQ(Variant::Add(Variant(1), Variant(0.5)).Type(), VarType::Double);
  EXPECT_EQ(Variant::Add(Variant::Single(1), Variant::Long(1)).Type(), VarType::Double);
  EXPECT_EQ(Variant::Add(Variant::Single(1), Variant(1)).Type(), VarType::Single);
  Variant c = Variant::Mul(Variant::Currency(1.25), Variant(3));
  EXPECT_TRUE(c.SameAs(Variant::Currency(3.75)));
  EXPECT_TRUE(Variant::Mul(Variant::Currency(0.0001), Variant::Currency(0.5))
                  .SameAs(Variant::CurrencyScaled(0)));  // 0.00005 rounds to even
  EXPECT_EQ(Variant::Add(Variant::Currency(1), Variant(0.5)).Type(), VarType::Double);
  EXPECT_TRUE(Variant::Add(Variant::Date(10), Variant(1)).SameAs(Variant::Date(11)));
  EXPECT_TRUE(Variant::Sub(Variant::Date(10), Variant::Date(4)).SameAs(Variant(6.0)));
}

TEST(VariantArith, NumericTextTakesPartAsDouble) {
  Variant r = Variant::Mul(Variant("1.5"), Variant(60));
  EXPECT_TRUE(r.SameAs(Variant(90.0)));
  EXPECT_TRUE(Variant::Add(Variant("1"), Variant(1)).SameAs(Variant(2.0)));
  EXPECT_TRUE(Variant::Sub(Variant("3"), Variant("1")).SameAs(Variant(2.0)));
  EXPECT_EQ(ErrorOf([] { Variant::Mul(Variant("abc"), Variant(2)); }), rt::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Variant::Add(Variant(""), Variant(2)); }), rt::kTypeMismatch);
}

TEST(VariantArith, AddJoinsTextAndEmptyActsAsZeroOrEmptyText) {
  EXPECT_TRUE(Variant::Add(Variant("1"), Variant("2")).SameAs(Variant("12")));
  EXPECT_TRUE(Variant::Add(Variant(), Variant("a")).SameAs(Variant("a")));
  EXPECT_TRUE(Variant::Add(Variant(), Variant()).SameAs(Variant(0)));
  EXPECT_TRUE(Variant::Add(Variant(), Variant(2.5)).SameAs(Variant(2.5)));
  EXPECT_TRUE(Variant::Mul(Variant(), Variant::Long(7)).SameAs(Variant::Long(0)));
}

TEST(VariantArith, NullPropagates) {
  const Variant n = Variant::Null();
  for (auto op : {&Variant::Add, &Variant::Sub, &Variant::Mul, &Variant::Div, &Variant::IntDiv,
                  &Variant::Mod, &Variant::Pow}) {
    EXPECT_TRUE(op(n, Variant(1)).IsNull());
    EXPECT_TRUE(op(Variant(1), n).IsNull());
    EXPECT_TRUE(op(n, Variant("x")).IsNull());
  }
  EXPECT_TRUE(Variant::Neg(n).IsNull());
  // Null wins over division by zero.
  EXPECT_TRUE(Variant::Div(n, Variant(0)).IsNull());
}

TEST(VariantArith, DivisionAndWholeNumberOperators) {
  EXPECT_TRUE(Variant::Div(Variant(6), Variant(3)).SameAs(Variant(2.0)));
  EXPECT_TRUE(Variant::Div(Variant(1), Variant(4)).SameAs(Variant(0.25)));
  EXPECT_EQ(ErrorOf([] { Variant::Div(Variant(1), Variant(0)); }), 11);
  EXPECT_EQ(ErrorOf([] { Variant::Div(Variant(1), Variant()); }), 11);
  EXPECT_TRUE(Variant::IntDiv(Variant(7), Variant(2)).SameAs(Variant(3)));
  EXPECT_TRUE(Variant::IntDiv(Variant(-7), Variant(2)).SameAs(Variant(-3)));
  EXPECT_TRUE(Variant::IntDiv(Variant(7.5), Variant(2)).SameAs(Variant::Long(4)));  // 8 \ 2
  EXPECT_TRUE(Variant::Mod(Variant(-7), Variant(3)).SameAs(Variant(-1)));
  EXPECT_TRUE(Variant::Mod(Variant(10.5), Variant(3)).SameAs(Variant::Long(1)));  // 10 Mod 3
  EXPECT_EQ(ErrorOf([] { Variant::Mod(Variant(1), Variant(0.4)); }), 11);
  EXPECT_TRUE(Variant::Pow(Variant(2), Variant(10)).SameAs(Variant(1024.0)));
  EXPECT_EQ(ErrorOf([] { Variant::Pow(Variant(-8), Variant(1.0 / 3)); }),
            rt::kInvalidProcedureCall);
}

TEST(VariantArith, Negation) {
  EXPECT_TRUE(Variant::Neg(Variant(-32768)).SameAs(Variant::Long(32768)));
  EXPECT_TRUE(Variant::Neg(Variant::Bool(true)).SameAs(Variant(1)));
  EXPECT_TRUE(Variant::Neg(Variant("2")).SameAs(Variant(-2.0)));
  EXPECT_TRUE(Variant::Neg(Variant()).SameAs(Variant(0)));
  EXPECT_EQ(ErrorOf([] { Variant::Neg(Variant::Long(std::numeric_limits<std::int32_t>::min())); }),
            rt::kOverflow);
}

TEST(VariantArith, ConcatTreatsNullAsEmptyText) {
  EXPECT_TRUE(Variant::Concat(Variant::Null(), Variant("3")).SameAs(Variant("3")));
  EXPECT_TRUE(Variant::Concat(Variant("a"), Variant::Null()).SameAs(Variant("a")));
  EXPECT_TRUE(Variant::Concat(Variant::Null(), Variant::Null()).IsNull());
  EXPECT_TRUE(Variant::Concat(Variant("n="), Variant(1.5)).SameAs(Variant("n=1.5")));
  EXPECT_TRUE(Variant::Concat(Variant(1), Variant(2)).SameAs(Variant("12")));
  EXPECT_TRUE(Variant::Concat(Variant(), Variant::Bool(true)).SameAs(Variant("True")));
}

// ---------------------------------------------------------------------------
// Comparison

bool IsTrueBool(const Variant& v) { return v.Type() == VarType::Boolean && v.ToBool(); }
bool IsFalseBool(const Variant& v) { return v.Type() == VarType::Boolean && !v.ToBool(); }

TEST(VariantCompare, NullOnEitherSideGivesNull) {
  const Variant n = Variant::Null();
  for (auto op : {&Variant::Eq, &Variant::Ne, &Variant::Lt, &Variant::Le, &Variant::Gt,
                  &Variant::Ge}) {
    EXPECT_TRUE(op(n, Variant(1)).IsNull());
    EXPECT_TRUE(op(Variant("a"), n).IsNull());
    EXPECT_TRUE(op(n, n).IsNull());
  }
}

TEST(VariantCompare, NumbersAcrossKinds) {
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant(5), Variant(5.0))));
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant::Currency(1.5), Variant(1.5))));
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant::Bool(true), Variant(-1))));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant::Long(-100000), Variant::Byte(0))));
  EXPECT_TRUE(IsTrueBool(Variant::Gt(Variant::Date(2), Variant(1))));
  // Currency compares exactly, not through a double.
  EXPECT_TRUE(IsFalseBool(Variant::Eq(Variant::CurrencyScaled(922337203685477000),
                                      Variant::CurrencyScaled(922337203685477001))));
}

TEST(VariantCompare, TextIsBinaryOrder) {
  EXPECT_TRUE(IsFalseBool(Variant::Eq(Variant("abc"), Variant("ABC"))));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant("B"), Variant("a"))));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant("10"), Variant("9"))));  // text, not numbers
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant("ab"), Variant("abc"))));
  EXPECT_EQ(Variant::Compare(Variant("abc"), Variant("ABC"), true), 0);
  EXPECT_EQ(Variant::Compare(Variant("\xC3\xA9t\xC3\xA9"), Variant("\xC3\x89T\xC3\x89"), true), 0);
  EXPECT_EQ(Variant::Compare(Variant("a"), Variant("B"), true), -1);
  EXPECT_EQ(Variant::Compare(Variant("a"), Variant("B")), 1);
}

TEST(VariantCompare, NumberAgainstText) {
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant(5), Variant(" 5.0 "))));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant(9), Variant("10"))));
  EXPECT_TRUE(IsTrueBool(Variant::Gt(Variant("10"), Variant(9))));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant(1e300), Variant("abc"))));
  EXPECT_TRUE(IsTrueBool(Variant::Gt(Variant("abc"), Variant(1e300))));
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant::Date(45292), Variant("2024-01-01"))));
}

TEST(VariantCompare, EmptyIsZeroAndEmptyText) {
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant(), Variant(0))));
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant(), Variant(""))));
  EXPECT_TRUE(IsTrueBool(Variant::Eq(Variant(), Variant())));
  EXPECT_TRUE(IsTrueBool(Variant::Lt(Variant(), Variant(" "))));
  EXPECT_TRUE(IsTrueBool(Variant::Gt(Variant(), Variant(-1))));
}

TEST(VariantCompare, ThreeWayOrdersNullFirst) {
  EXPECT_EQ(Variant::Compare(Variant::Null(), Variant::Null()), 0);
  EXPECT_EQ(Variant::Compare(Variant::Null(), Variant(-1e300)), -1);
  EXPECT_EQ(Variant::Compare(Variant(""), Variant::Null()), 1);
  EXPECT_EQ(Variant::Compare(Variant(2), Variant(1.5)), 1);
}

TEST(VariantCompare, ConditionTruth) {
  EXPECT_FALSE(Variant::Null().IsTrue());
  EXPECT_FALSE(Variant().IsTrue());
  EXPECT_TRUE(Variant(0.001).IsTrue());
  EXPECT_TRUE(Variant::Eq(Variant(1), Variant(1)).IsTrue());
}

}  // namespace
}  // namespace qrw
