#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "gbk/runtime_texts.h"
#include "runtime/commands.h"
#include "tests/runtime/command_support.h"

namespace rt {
namespace {
using namespace testsupport;

ValueRecord F(float f) { ValueRecord r = MakeValue(tag::Float); r.v.f32 = f; return r; }
ValueRecord D(double d) { return DoubleValue(d); }
ValueRecord DT(double d) { ValueRecord r = MakeValue(tag::DateTime); r.v.f64 = d; return r; }
ValueRecord L(int64_t l) { ValueRecord r = MakeValue(tag::Long); r.v.i64 = l; return r; }
ValueRecord By(uint8_t b) { ValueRecord r = MakeValue(tag::Byte); r.v.u8 = b; return r; }

TEST(Conversions, NumbersToText) {
  EXPECT_EQ(TakeText(Call(cmd::ToText, {By(200)})), "200");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {ShortValue(-5)})), "-5");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {IntValue(-2147483647 - 1)})), "-2147483648");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {L(1234567890123LL)})), "1234567890123");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {F(0.1f)})), "0.1");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {F(1234567.0f)})), "1.23457e+06");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(0.1)})), "0.1");
  // Exponents and the values without digits read the same on every system
  // (the Windows formatter's own forms are "1e+006" and "1.#INF").
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(1e100)})), "1e+100");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(-2.5e-7)})), "-2.5e-07");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(123456789012345.0)})), "1.234567890123e+14");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {F(-3e-38f)})), "-3e-38");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(std::numeric_limits<double>::infinity())})), "inf");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(-std::numeric_limits<double>::infinity())})), "-inf");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {D(std::numeric_limits<double>::quiet_NaN())})), "nan");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {BoolValue(true)})), gbk::True);
  EXPECT_EQ(TakeText(Call(cmd::ToText, {BoolValue(false)})), gbk::False);
}

TEST(Conversions, DateTimeToText) {
  const std::string date = std::string("2024") + gbk::Year + "3" + gbk::Month + "5" + gbk::Day;
  EXPECT_EQ(TakeText(Call(cmd::ToText, {DT(45356.0)})), date);  // midnight: date only
  EXPECT_EQ(TakeText(Call(cmd::ToText, {DT(45356.5)})), date + "12" + gbk::Hour);
  EXPECT_EQ(TakeText(Call(cmd::ToText, {DT(45356.5 + 90.0 / 86400)})), date + "12" + gbk::Hour + "1" + gbk::Minute + "30" + gbk::Second);
  EXPECT_EQ(TakeText(Call(cmd::ToText, {DT(0)})), std::string("1899") + gbk::Year + "12" + gbk::Month + "30" + gbk::Day);
  // Out of range values are clamped, not garbage.
  EXPECT_EQ(TakeText(Call(cmd::ToText, {DT(1e12)})), std::string("9999") + gbk::Year + "12" + gbk::Month + "31" + gbk::Day);
}

TEST(Conversions, BlocksToText) {
  ByteSet b(std::string("ab\0cd", 5));
  EXPECT_EQ(TakeText(Call(cmd::ToText, {b.Value()})), "ab");
  ByteSet noZero("xyz");
  EXPECT_EQ(TakeText(Call(cmd::ToText, {noZero.Value()})), "xyz");
  EXPECT_EQ(Call(cmd::ToText, {PtrValue(tag::Text | tag::ArrayBit, nullptr)}).v.text, nullptr);
}

TEST(Conversions, ToInteger) {
  EXPECT_EQ(Call(cmd::ToInteger, {F(-2.7f)}).v.i32, -2);
  EXPECT_EQ(Call(cmd::ToInteger, {D(3.99)}).v.i32, 3);
  EXPECT_EQ(Call(cmd::ToInteger, {TextValue("12ab")}).v.i32, 12);
  EXPECT_EQ(Call(cmd::ToInteger, {TextValue("  -42")}).v.i32, -42);
  EXPECT_EQ(Call(cmd::ToInteger, {TextValue("abc")}).v.i32, 0);
  EXPECT_EQ(Call(cmd::ToInteger, {TextValue("\xa3\xb1\xa3\xb2")}).v.i32, 12);  // full-width "12"
  EXPECT_EQ(Call(cmd::ToInteger, {TextValue("99999999999")}).v.i32, 2147483647);
  EXPECT_EQ(Call(cmd::ToInteger, {L(0x100000005LL)}).v.i32, 5);
  EXPECT_EQ(Call(cmd::ToInteger, {By(255)}).v.i32, 255);
  EXPECT_EQ(Call(cmd::ToInteger, {D(1e300)}).v.i32, 0);
}

TEST(Conversions, ToBytesAndBack) {
  EXPECT_EQ(TakeBytes(Call(cmd::ToBytes, {TextValue("$#@*")})), "$#@*");
  EXPECT_EQ(TakeBytes(Call(cmd::ToBytes, {IntValue(0x04030201)})), "\x01\x02\x03\x04");
  EXPECT_EQ(TakeBytes(Call(cmd::ToBytes, {ShortValue(0x0201)})), "\x01\x02");
  EXPECT_EQ(TakeBytes(Call(cmd::ToBytes, {D(0)})), std::string(8, '\0'));
  EXPECT_EQ(Call(cmd::ToBytes, {TextValue("")}).v.ptr, nullptr);
  // A one-dimensional numeric array gives its element bytes.
  int32_t arr[4] = {1, 2, 0x0201, 0};
  arr[0] = 1;
  arr[1] = 2;  // two elements of int
  int32_t block[4] = {1, 2, 0x41, 0x42};
  EXPECT_EQ(TakeBytes(Call(cmd::ToBytes, {PtrValue(tag::Int | tag::ArrayBit, block)})), std::string("\x41\0\0\0\x42\0\0\0", 8));
  const char raw[] = "memory!";
  ValueRecord addr = sizeof(void*) == 8 ? L(reinterpret_cast<intptr_t>(raw)) : IntValue(static_cast<int32_t>(reinterpret_cast<intptr_t>(raw)));
  EXPECT_EQ(TakeBytes(Call(cmd::BytesFromMemory, {addr, IntValue(6)})), "memory");
  EXPECT_EQ(Call(cmd::BytesFromMemory, {addr, IntValue(0)}).v.ptr, nullptr);
}

}  // namespace
}  // namespace rt
