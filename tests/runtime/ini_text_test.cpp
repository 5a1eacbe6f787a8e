// The indexed INI document against the plain text edit it stands in for: the
// same sequence of edits on the same starting bytes must give the same bytes
// after every step, and the offset it reports must not skip a changed byte
// (the file on disk is only rewritten from there).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/win32/ini_text.h"

namespace {

struct Step {
  const char* section;
  const char* key;    // null: delete the section
  const char* value;  // null: delete the key
};

// What an install writes: two Info keys, the file items, the later Info keys
// and the registry section.
std::vector<Step> InstallSteps(int files) {
  static std::vector<std::string> keys, values;
  keys.clear();
  values.clear();
  keys.reserve(files);
  values.reserve(files);
  std::vector<Step> steps{{"Info", "title", "\xB2\xFA\xC6\xB7 1.0"}, {"Info", "InstallDir", "C:\\P"}};
  for (int i = 1; i < files; ++i) {
    keys.push_back(std::to_string(i));
    values.push_back("C:\\P\\dir" + std::to_string(i % 10) + "\\f" + std::to_string(i) + ".bin");
  }
  for (int i = 0; i + 1 < files; ++i) steps.push_back({"uninst", keys[i].c_str(), values[i].c_str()});
  steps.push_back({"Info", "LinkFileName", "C:\\Users\\u\\Desktop\\P.lnk"});
  steps.push_back({"Info", "MenuGroupName", "P"});
  steps.push_back({"unreg", "key", "P"});
  return steps;
}

void Check(const std::string& start, const std::vector<Step>& steps, const std::string& label) {
  std::string reference = start;
  rt::win32::IniDocument doc;
  doc.Load(start);
  ASSERT_EQ(doc.Text(), start) << label;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    const std::string before = reference;
    const bool expected = rt::win32::EditIniText(reference, s.section, s.key, s.value);
    size_t from = 12345678;
    const bool got = doc.Edit(s.section, s.key, s.value, &from);
    ASSERT_EQ(got, expected) << label << ", step " << i;
    ASSERT_EQ(doc.size(), reference.size()) << label << ", step " << i;
    ASSERT_EQ(doc.Text(), reference) << label << ", step " << i;
    if (!got) continue;
    ASSERT_LE(from, std::min(before.size(), reference.size())) << label << ", step " << i;
    ASSERT_EQ(before.substr(0, from), reference.substr(0, from)) << label << ", step " << i;
    ASSERT_EQ(doc.Tail(from), reference.substr(from)) << label << ", step " << i;
  }
}

TEST(IniDocument, GivesTheTextEditsBytesAfterEveryStep) {
  const std::vector<Step> install = InstallSteps(40);
  struct Case {
    const char* name;
    std::string start;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"a fresh file", "", install},
      {"the record of an earlier install", "[Info]\r\ntitle=old\r\nInstallDir=C:\\P\r\n[uninst]\r\n1=C:\\P\\dir1\\f1.bin\r\n"
                                           "2=C:\\Q\\other.bin\r\n[unreg]\r\nkey=P\r\n",
       install},
      {"sections in another order, other cases and blanks",
       "; kept\n[UNINST]\n 3 = x \n\n[ info ]\nTITLE=t\n\n\n[Unreg]\nKEY=1", install},
      {"a last line without a break", "[uninst]\r\n1=a", install},
      {"only a comment without a break", "; nothing", install},
      {"lone CR and LF line breaks", "[uninst]\r1=a\n\r\n\r[x]\ny=1\r", install},
      {"a section given twice: the first counts", "[uninst]\r\n1=a\r\n[other]\r\n[uninst]\r\n2=b\r\n", install},
      {"keys before any section", "1=a\r\n2=b\r\n", install},
      {"an unclosed header and a header with text after it", "[uninst\r\n1=a\r\n[Info] trailing\r\nx=1\r\n", install},
      {"two-byte characters whose trail bytes look like letters", "[S]\r\n\x81\x41=1\r\n",
       {{"S", "\x81\x61", "2"}, {"s", "\x81\x41", "3"}, {"S", "\x81\x61", "4"}}},
      {"odd names: '=' in a key, ']' in a section, '[' leading a key, blanks",
       "",
       {{"a]b", "k", "1"}, {"a]b", "k", "2"}, {"a", "k=j", "3"}, {"a", "k", "4"}, {"s", "[k", "5"}, {"s", "x", "6"},
        {" s ", " x ", " 7 "}, {"s", "", "8"}, {"", "e", "9"}}},
      {"line breaks inside names and values", "[s]\r\nk=1\r\n",
       {{"s", "k", "a\r\nb=2"}, {"s", "b", "3"}, {"s\nt", "k", "4"}, {"s", "k\r", "5"}, {"t", "x", "6"}}},
      {"deletions between additions", "[A]\r\nk=1\r\nj=2\r\n[B]\r\nm=3\r\n",
       {{"A", "k", nullptr}, {"A", "n", "1"}, {"B", "m", nullptr}, {"B", "m", nullptr}, {"Z", nullptr, nullptr},
        {"A", nullptr, nullptr}, {"A", "k", "2"}, {"B", "q", "4"}, {"B", "zz", nullptr}}},
      {"the same value again", "[s]\r\nk=1",
       {{"s", "k", "1"}, {"S", "K", "1"}, {"s", "k", "2"}, {"s", "j", "2"}}},
  };
  for (const Case& c : cases) Check(c.start, c.steps, c.name);
}

TEST(IniDocument, AnItemAddedToTheLastSectionChangesOnlyItsOwnLine) {
  rt::win32::IniDocument doc;
  doc.Load("[Info]\r\ntitle=t\r\n[uninst]\r\n1=a\r\n");
  size_t from = 0;
  const size_t before = doc.size();
  ASSERT_TRUE(doc.Edit("uninst", "2", "b", &from));
  EXPECT_EQ(from, before);
  EXPECT_EQ(doc.Tail(from), "2=b\r\n");
}

}  // namespace
