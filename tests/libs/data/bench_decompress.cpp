// Prints DecompressData throughput against zlib's uncompress of the same block.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "libs/data/data_library.h"
#include "runtime/memory.h"

int main(int argc, char** argv) {
  const size_t size = argc > 1 ? std::stoul(argv[1]) << 20 : 10u << 20;
  // Mixed content: runs of text, random bytes and structured binary, roughly
  // like a product folder (ratio about 2).
  std::vector<uint8_t> data(size);
  std::mt19937 rng(42);
  for (size_t i = 0; i < size; ++i) {
    const size_t region = (i >> 14) % 3;
    data[i] = region == 0 ? static_cast<uint8_t>("the quick brown fox "[i % 20]) : region == 1 ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>(i * 31 >> 8);
  }
  uLongf clen = compressBound(size);
  std::vector<uint8_t> block(8 + clen);
  compress2(block.data() + 8, &clen, data.data(), size, 9);
  block.resize(8 + clen);
  const uint32_t magic = datalib::kBlockMagic, usize = static_cast<uint32_t>(size);
  std::memcpy(block.data(), &magic, 4);
  std::memcpy(block.data() + 4, &usize, 4);

  datalib::LibraryNotify(rt::req::kInit, reinterpret_cast<intptr_t>(&rt::RuntimeNotify), 0);
  void* bs = rt::MakeByteSet(block.data(), static_cast<int64_t>(block.size()));
  rt::ValueRecord arg = rt::BytesValue(bs);
  const int rounds = 10;
  using clock = std::chrono::steady_clock;
  double best_ours = 1e9, best_zlib = 1e9;
  std::vector<uint8_t> out(size);
  for (int r = 0; r < rounds; ++r) {
    auto t0 = clock::now();
    rt::ValueRecord res = rt::CallCommand(datalib::DecompressData, 1, &arg);
    auto t1 = clock::now();
    if (rt::ByteSetLength(res.v.ptr) != static_cast<int32_t>(size)) { std::puts("decompression failed"); return 1; }
    rt::FreeMemory(res.v.ptr);
    uLongf olen = size;
    auto t2 = clock::now();
    uncompress(out.data(), &olen, block.data() + 8, block.size() - 8);
    auto t3 = clock::now();
    best_ours = std::min(best_ours, std::chrono::duration<double>(t1 - t0).count());
    best_zlib = std::min(best_zlib, std::chrono::duration<double>(t3 - t2).count());
  }
  const double mb = size / 1048576.0;
  std::printf("block: %.1f MB -> %.1f MB compressed\n", mb, block.size() / 1048576.0);
  std::printf("%-16s %10s %10s\n", "", "best ms", "MB/s out");
  std::printf("%-16s %10.1f %10.0f\n", "DecompressData", best_ours * 1e3, mb / best_ours);
  std::printf("%-16s %10.1f %10.0f\n", "zlib uncompress", best_zlib * 1e3, mb / best_zlib);
  std::printf("ratio ours/zlib: %.2f\n", best_ours / best_zlib);
  rt::FreeMemory(bs);
  return 0;
}
