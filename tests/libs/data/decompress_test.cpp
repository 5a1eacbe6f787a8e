#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "libs/data/data_library.h"
#include "tests/runtime/command_support.h"

namespace {
using namespace testsupport;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string Zlib(const std::string& data) {
  uLongf n = compressBound(data.size());
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()), data.size(), 9);
  out.resize(n);
  return out;
}

std::string Block(const std::string& data, uint32_t stored) { return Le32(0x033E0F0D) + Le32(stored) + Zlib(data); }

std::string Inflated(const std::string& block) {
  ByteSet b(block);
  return TakeBytes(Call(datalib::DecompressData, {b.Value()}));
}

class Decompress : public ::testing::Test {
 protected:
  void SetUp() override { datalib::LibraryNotify(rt::req::kInit, reinterpret_cast<intptr_t>(&rt::RuntimeNotify), 0); }
};

TEST_F(Decompress, ValidBlockInflates) {
  std::string data;
  for (int i = 0; i < 100000; ++i) data += static_cast<char>(i * 7 % 251);
  EXPECT_EQ(Inflated(Block(data, data.size())), data);
  // The stored size is only a bound: half the real size (rounded up) still works.
  EXPECT_EQ(Inflated(Block(data, (data.size() + 1) / 2)), data);
  // Trailing bytes after the stream are ignored.
  EXPECT_EQ(Inflated(Block(data, data.size()) + "$#@*&$*&junk"), data);
}

TEST_F(Decompress, EveryFailureIsEmpty) {
  const std::string data = "hello hello hello hello";
  const std::string good = Block(data, data.size());
  EXPECT_EQ(Inflated(""), "");
  for (size_t n = 1; n < 8; ++n) EXPECT_EQ(Inflated(good.substr(0, n)), "") << n;
  std::string magic = good;
  magic[2] ^= 0x10;
  EXPECT_EQ(Inflated(magic), "");
  EXPECT_EQ(Inflated(Block(data, 0)), "");
  EXPECT_EQ(Inflated(Block(data, 0x40000000)), "");
  EXPECT_EQ(Inflated(Block(data, data.size() / 2 - 1)), "");  // inflates to more than twice the size
  std::string adler = good;
  adler[adler.size() - 1] ^= 1;
  EXPECT_EQ(Inflated(adler), "");
  EXPECT_EQ(Inflated(good.substr(0, good.size() - 3)), "");  // truncated stream
  EXPECT_EQ(Inflated(Block("", 10)), "");                    // inflates to nothing
}

TEST_F(Decompress, HostileSizeCostsNoMemoryUpFront) {
  // Near the largest accepted size: a 2 GiB buffer must not be needed to
  // find out that the stream is short.
  EXPECT_EQ(Inflated(Block("abc", 0x3FFFFFFF)), "abc");
}

}  // namespace
