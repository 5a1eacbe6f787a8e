#include <gtest/gtest.h>

#include <cstring>

#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "tests/support/exit_code.h"

namespace rt {
namespace {

TEST(Memory, CopiesGiveNullForEmpty) {
  EXPECT_EQ(CopyText(nullptr), nullptr);
  EXPECT_EQ(CopyText(""), nullptr);
  EXPECT_EQ(CopyTextN("abc", 0), nullptr);
  EXPECT_EQ(MakeByteSet("x", 0), nullptr);
  char* t = CopyTextN("abcdef", 3);
  EXPECT_STREQ(t, "abc");
  FreeMemory(t);
}

TEST(Memory, ByteSetLayoutIsHeaderThenBytes) {
  void* b = MakeByteSet("\x01\x02\x03", 3);
  uint8_t raw[11];
  std::memcpy(raw, b, 11);
  const uint8_t want[11] = {1, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3};
  EXPECT_EQ(0, std::memcmp(raw, want, 11));
  FreeMemory(b);
}

TEST(Memory, ConstantDataIsNeverFreedAndCopiedOnRealloc) {
  static const char block[] = "hello\0world";
  SetConstantData(block, sizeof block);
  FreeMemory(block);  // must do nothing
  FreeMemory(nullptr);
  char* r = static_cast<char*>(ReallocMemory(const_cast<char*>(block), 100));
  EXPECT_NE(r, block);
  EXPECT_EQ(0, std::memcmp(r, block, sizeof block));
  EXPECT_STREQ(block, "hello");
  FreeMemory(r);
  // A pointer near the end copies only what is left inside the block.
  char* tail = static_cast<char*>(ReallocMemory(const_cast<char*>(block + 6), 3));
  EXPECT_EQ(0, std::memcmp(tail, "wor", 3));
  FreeMemory(tail);
  SetConstantData(nullptr, 0);
}

TEST(Memory, AllocationFailureReportsTheSizeAndExits) {
  EXPECT_EXIT(
      {
        heap::FailAllocationsFrom(1000);
        AllocMemory(1000);
      },
      testsupport::ExitedMinusOne, DEATH_TEXT("1000"));
}

TEST(Memory, FreeArrayFreesTextElements) {
  void* a = MakePointerArray(2);
  ArrayElements<char*>(a)[0] = CopyText("x");
  ArrayElements<char*>(a)[1] = nullptr;
  EXPECT_EQ(ArrayCount(a), 2);
  FreeArray(tag::Text | tag::ArrayBit, a);  // leak checker verifies the element went too
}

}  // namespace
}  // namespace rt
