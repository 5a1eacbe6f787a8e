#include "text/convert.h"

#include <iconv.h>

#include <cerrno>

namespace text {
namespace {

// CP936 rather than GBK: only the former maps 0x80 to the euro sign, as the
// system's code page 936 does.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  std::string buf(in.size() * 2 + 16, '\0');
  bool ok = true;
  while (left > 0) {
    char* dst = buf.data();
    size_t room = buf.size();
    size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(buf.data(), dst);
    if (rc == size_t(-1) && errno != E2BIG) {
      ok = false;  // EILSEQ: unconvertible or invalid; EINVAL: cut-off sequence
      break;
    }
    if (rc != size_t(-1) && rc > 0) {
      ok = false;  // irreversible (substituted) conversions
      break;
    }
  }
  iconv_close(cd);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

bool Utf8ToGbk(std::string_view utf8, std::string& gbk) { return Convert("CP936", "UTF-8", utf8, gbk); }
bool GbkToUtf8(std::string_view gbk, std::string& utf8) { return Convert("UTF-8", "CP936", gbk, utf8); }

}  // namespace text
