// Writes valid sample inputs for the setup's and the uninstaller's fuzz
// targets: seed_setup <corpus-root> fills <root>/fuzz_{setup_payload,
// uninst_record,ini_text,switches,text_rules}, and the packer's readers:
// fuzz_{decompress,payload_format,stream_split,pe_resources,file_list}.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "setup/payload_format.h"
#include "tests/tools/synthetic_pe.h"

namespace {
void Write(const std::string& root, const char* target, const std::string& name, const std::string& bytes) {
  const std::string dir = root + "/" + target;
  mkdir(dir.c_str(), 0755);
  if (std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string root = argv[1];
  mkdir(root.c_str(), 0755);

  payload::PayloadInput in;
  const std::string app = "MZ-app", readme = "hello\r\n", uninst = "MZ-uninst", picture = "PIC";
  in.files = {payload::AsBytes(app), payload::AsBytes(readme), payload::AsBytes(uninst)};
  in.names = {"app.exe", "doc\\readme.txt", "uninst.exe"};
  in.fields = {"Tool", "1.0", "C:\\App\\", "w.jpg", "b.jpg", "app.exe"};
  in.welcome = payload::AsBytes(picture);
  in.banner = payload::AsBytes(picture);
  const payload::BuildResult built = payload::BuildPayload(in);
  if (built.ok()) Write(root, "fuzz_setup_payload", "three_files", std::string(built.payload.begin(), built.payload.end()));
  Write(root, "fuzz_setup_payload", "name", "doc\\sub\\readme.txt");

  Write(root, "fuzz_uninst_record", "record",
        "[Info]\r\ntitle=Tool 1.0\r\nInstallDir=C:\\Program Files\\Tool\\\r\n"
        "LinkFileName=C:\\Users\\me\\Desktop\\Tool.lnk\r\nMenuGroupName=Tool\r\n"
        "[uninst]\r\n1=C:\\Program Files\\Tool\\app.exe\r\n2=C:\\Program Files\\Tool\\doc\\readme.txt\r\n"
        "3=C:\\Program Files\\Tool\\uninst.exe\r\n"
        "[unreg]\r\n1=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\uninst\\Tool\r\n");
  Write(root, "fuzz_ini_text", "set", "; c\r\n[Info]\r\ntitle=Tool\r\n[uninst]\r\n1=a\r\n\xFFuninst\xFF" "2\xFF" "b\x00");
  Write(root, "fuzz_ini_text", "delete_key", "[a]\nk=v\n[b]\nk=w\n\xFF" "B\xFFK\xFF\x01");
  for (const char* line : {"/S /D=C:\\Program Files\\Tool", "/SILENT /DIR=\"C:\\a b\" /LOG=\"x y.log\" /RUN",
                           "/NOICONS /NODESKTOP /NOGROUP /?", "/VERYSILENT /LOG=C:\\l.log /D=D:\\"})
    Write(root, "fuzz_switches", std::to_string(std::string(line).size()), line);
  int n = 0;
  for (const char* text : {"doc\\sub\\readme.txt", "C:\\Program Files\\\xB9\xA4\xBE\xDF\\", "\\\\server\\share\\App",
                           "\x81\x5C\\con .txt|\x80|uninst.ini", "D:/Soft/../x"})
    Write(root, "fuzz_text_rules", std::to_string(++n), text);

  // Compressed blocks and file streams: without a valid one to start from,
  // mutation never gets past the block header or the zlib stream's checks.
  std::string joined = app;
  for (const std::string& f : {readme, std::string(3000, 'x'), std::string()})
    joined += std::string(payload::FileSeparator) + f;
  payload::Bytes block;
  if (payload::CompressBlock(payload::AsBytes(joined), 6, block)) {
    const std::string b(block.begin(), block.end());
    Write(root, "fuzz_decompress", "block", b);
    Write(root, "fuzz_stream_split", "block", std::string("\x01\x10\x04", 3) + b);
  }
  Write(root, "fuzz_stream_split", "files", std::string("\x00\x05\x02", 3) + joined);
  if (built.ok()) Write(root, "fuzz_payload_format", "payload", '\0' + std::string(built.payload.begin(), built.payload.end()));
  Write(root, "fuzz_payload_format", "pieces", "\x03MZ\xFE" "text\xFE" "a.exe\xFE" "b\xFE" "c\xFE" "d");
  Write(root, "fuzz_file_list", "list", "\xEF\xBB\xBF# product\r\nbin/app.exe\tbin\\app.exe\r\n\r\nreadme.txt\n/abs/x.dll\tlib\\x.dll");
  testpe::Options pe64;
  pe64.pe32plus = true;
  pe64.rsrcLast = true;
  for (const auto& [name, options] : {std::pair<const char*, testpe::Options>{"pe32", {}}, {"pe32plus", pe64}}) {
    const testpe::Bytes image = testpe::Make(options);
    Write(root, "fuzz_pe_resources", name, std::string(image.begin(), image.end()));
  }
  return 0;
}
