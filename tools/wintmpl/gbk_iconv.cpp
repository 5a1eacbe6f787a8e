// UTF-8 to GBK through the host's iconv.
#include <errno.h>
#include <iconv.h>

#include <stdexcept>

#include "tools/wintmpl/description.h"

namespace wintmpl {

std::string ToGbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert UTF-8 to GBK");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* o = out.data();
  size_t out_left = out.size();
  size_t r = iconv(cd, &in, &in_left, &o, &out_left);
  int err = errno;
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) {
    (void)err;
    throw std::runtime_error("text has no GBK form: \"" + utf8 + "\"");
  }
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace wintmpl
