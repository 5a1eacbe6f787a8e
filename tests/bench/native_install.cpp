// The least an installer has to do, as the install benchmarks' yardstick: take
// the payload out of a packed setup, inflate the files with zlib and write
// them with the system's plain file calls, nothing else (no pages, no
// questions, no records).
//
//   native_install SETUP.EXE FOLDER
//
// FOLDER must exist. Prints one line of milliseconds since the program's
// entry: read (payload found and split), inflate, write (directories and
// files), total; then the file and byte counts. Exit code 0, or 1 with the
// reason on standard error.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup/payload_format.h"
#include "text/convert.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tools/pe/pe_resources.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point g_start = Clock::now();

double Ms() { return std::chrono::duration<double, std::milli>(Clock::now() - g_start).count(); }

int Fail(const std::string& why) {
  std::fprintf(stderr, "native_install: %s\n", why.c_str());
  return 1;
}

#ifdef _WIN32

std::wstring Wide(const std::string& text, UINT codePage) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
  std::wstring w(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), w.data(), n);
  return w;
}

// The payload as the setup finds its own: the system's resource loader on
// the image mapped as data. The module stays loaded: the views point into it.
bool ReadPayload(const std::string& setup, payload::ByteView& out, std::string& error) {
  HMODULE image = LoadLibraryExW(Wide(setup, CP_ACP).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image) return error = "cannot open " + setup, false;
  HRSRC info = FindResourceW(image, MAKEINTRESOURCEW(payload::ResourceName), MAKEINTRESOURCEW(payload::ResourceType));
  HGLOBAL data = info ? LoadResource(image, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return error = "no payload in " + setup, false;
  out = {static_cast<const uint8_t*>(bytes), SizeofResource(image, info)};
  return true;
}

bool WriteProduct(const std::string& folder, const std::vector<std::string>& names,
                  const std::vector<payload::ByteView>& files, std::string& error) {
  std::wstring base = Wide(folder, CP_ACP);
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  for (size_t i = 0; i < names.size(); ++i) {
    const std::wstring name = Wide(names[i], 936);
    if (name.empty()) return error = "a name is not GBK text", false;
    for (size_t at = name.find(L'\\'); at != std::wstring::npos; at = name.find(L'\\', at + 1)) {
      const std::wstring dir = base + name.substr(0, at);
      if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return error = "cannot create the folder of " + names[i], false;
      }
    }
    const std::wstring path = base + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return error = "cannot create a file (" + std::to_string(GetLastError()) + ")", false;
    DWORD written = 0;
    const bool ok = WriteFile(h, files[i].data(), DWORD(files[i].size()), &written, nullptr) &&
                    written == files[i].size();
    CloseHandle(h);
    if (!ok) return error = "cannot write a file", false;
  }
  return true;
}

#else

std::vector<uint8_t> g_image;

bool ReadPayload(const std::string& setup, payload::ByteView& out, std::string& error) {
  std::ifstream f(setup, std::ios::binary | std::ios::ate);
  if (!f) return error = "cannot open " + setup, false;
  g_image.resize(size_t(f.tellg()));
  f.seekg(0);
  if (!f.read(reinterpret_cast<char*>(g_image.data()), std::streamsize(g_image.size()))) {
    return error = "cannot read " + setup, false;
  }
  pe::PeInfo info;
  pe::ByteView data;
  if (!pe::ParsePe(g_image, info, error)) return false;
  if (!pe::LocateResource(g_image, info, pe::ResourceId::Id(payload::ResourceType),
                          pe::ResourceId::Id(payload::ResourceName), -1, data, error)) {
    if (error.empty()) error = "no payload in " + setup;
    return false;
  }
  out = {data.data(), data.size()};
  return true;
}

bool WriteProduct(const std::string& folder, const std::vector<std::string>& names,
                  const std::vector<payload::ByteView>& files, std::string& error) {
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name;
    if (!text::GbkToUtf8(names[i], name)) return error = "a name is not GBK text", false;
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    for (size_t at = name.find('/'); at != std::string::npos; at = name.find('/', at + 1)) {
      const std::string dir = folder + "/" + name.substr(0, at);
      if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return error = "cannot create " + dir, false;
    }
    const std::string path = folder + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return error = "cannot create " + path, false;
    const uint8_t* p = files[i].data();
    size_t left = files[i].size();
    while (left > 0) {
      const ssize_t n = write(fd, p, left);
      if (n <= 0) break;
      p += n;
      left -= size_t(n);
    }
    close(fd);
    if (left) return error = "cannot write " + path, false;
  }
  return true;
}

#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: native_install SETUP.EXE FOLDER");
  std::string error;
  payload::ByteView resource;
  if (!ReadPayload(argv[1], resource, error)) return Fail(error);
  const payload::Layout layout = payload::ReadLayout(resource);
  if (!layout.ok || layout[payload::SectionFiles].size() < payload::BlockHeaderSize) return Fail("damaged payload");
  const double read = Ms();

  const payload::ByteView block = layout[payload::SectionFiles];
  const uLong size = uLong(block[4]) | uLong(block[5]) << 8 | uLong(block[6]) << 16 | uLong(block[7]) << 24;
  std::vector<uint8_t> stream(size);
  uLongf got = size;
  if (uncompress(stream.data(), &got, block.data() + payload::BlockHeaderSize,
                 uLong(block.size() - payload::BlockHeaderSize)) != Z_OK ||
      got != size) {
    return Fail("the stream does not inflate to its stored size");
  }
  const std::vector<payload::ByteView> files = payload::SplitBytes(stream, payload::FileSeparator);
  const std::vector<std::string>& names = layout.names;
  if (names.size() != files.size()) return Fail("names and files differ in number");
  const double inflated = Ms();

  if (!WriteProduct(argv[2], names, files, error)) return Fail(error);
  const double written = Ms();

  std::printf("read=%.1f inflate=%.1f write=%.1f total=%.1f files=%zu bytes=%lu\n", read, inflated - read,
              written - inflated, written, files.size(), static_cast<unsigned long>(size));
  return 0;
}
