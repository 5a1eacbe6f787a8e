// The generator's reading of window descriptions: what it builds, and the
// mistakes it refuses with the line that holds them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gbk/wintmpl_test_texts.h"
#include "runtime/value.h"
#include "tools/wintmpl/description.h"
#include "ui/template/kinddata.h"

namespace wintmpl {
namespace {

class Descriptions : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    std::filesystem::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("wintmpl_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

const char* kHead =
    "window Main 0x52000010\n"
    "  own 0x06000011\n"
    "  class 0x09000012\n"
    "  rect 0 0 100 50\n";

TEST_F(Descriptions, BuildsUnitsChildrenAndHandlers) {
  std::string a = Write("a.txt", std::string(kHead) +
                                     "  on created Start\n"
                                     "unit Box PicBox 0x16000013 \"图片框1\"  # a comment\n"
                                     "  rect 1 2 3 4\n"
                                     "unit Title TransLabel 0x16000014 \"透明标签1\"\n"
                                     "  parent Box\n"
                                     "  rect 5 6 7 8\n"
                                     "  set Caption \"a\\r\\n\\\"b\\\"\"\n"
                                     "  set Font \"宋体\" -16 bold charset=134\n"
                                     "unit Ok Button 0x16000015 \"ok\"\n"
                                     "  rect 0 0 1 1\n"
                                     "  flags visible\n"
                                     "  tag \"7\"\n"
                                     "  on clicked Clicked\n"
                                     "  on got-focus Start\n");
  std::string b = Write("b.txt",
                        "window Other 0x52000020\n  own 0x06000021\n  class 0x09000022\n  rect 0 0 1 1\n"
                        "  data full\n  on 4 Resized\n  on created Start\n");
  Program p = ReadDescriptions({a, b});
  ASSERT_EQ(p.image.windows.size(), 2u);
  EXPECT_EQ(p.handlers, (std::vector<std::string>{"Start", "Clicked", "Resized"}));
  const ui::KeyedRecordList& units = p.image.windows[0].units;
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units.Unit(0)->HandlerFor(0), 0);
  auto box = units.Unit(1);
  EXPECT_EQ(box->Name(), gbk::WintmplPicBoxName);
  EXPECT_EQ(box->Children(), std::vector<uint32_t>{0x16000014});
  EXPECT_TRUE(box->KindData().empty());
  auto title = ui::TransLabelData::Parse(units.Unit(2)->KindData());
  ASSERT_TRUE(title && title->font);
  EXPECT_EQ(title->caption, "a\r\n\"b\"");
  EXPECT_EQ(title->font->weight, 700);
  EXPECT_EQ(units.Unit(2)->Parent(), 0x16000013u);
  auto ok = units.Unit(3);
  EXPECT_EQ(ok->Flags(), ui::unit_flag::Visible);  // flags replace the kind's default
  EXPECT_EQ(ok->Tag(), "7");
  EXPECT_EQ(ok->HandlerFor(0), 1);
  EXPECT_EQ(ok->HandlerFor(-7), 0);
  auto other = p.image.windows[1].units.Unit(0);
  EXPECT_EQ(other->HandlerFor(4), 2);
  EXPECT_EQ(ui::WindowData::Parse(other->KindData()), ui::WindowData{});
  EXPECT_FALSE(other->KindData().empty());
}

TEST_F(Descriptions, MistakesNameTheirLine) {
  struct Case {
    const char* body;
    const char* line;
    const char* says;
  } cases[] = {
      {"unit X Button 0x16000013 \"x\"\n  rect 0 0 1 1\n  set Colour 5\n", ":7:", "no property Colour"},
      {"unit X Button 0x26000013 \"x\"\n", ":5:", "variant 1"},
      {"unit X Gadget 0x16000013 \"x\"\n", ":5:", "unknown unit kind"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\n  on clicked H\n", ":7:", "no event clicked"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\n  parent Y\n", ":5:", "no unit Y"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\nunit Y Label 0x16000013 \"y\"\n  rect 0 0 1 1\n", ":7:",
       "used twice"},
      {"unit X Label 0x16000013 \"x\"\n", ":5:", "rect"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\n  set Caption \"\xF0\x9F\x98\x80\"\n", ":7:", "GBK"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\n  set WordWrap maybe\n", ":7:", "on or off"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1\n", ":6:", "value missing"},
      {"unit X Label 0x16000013 \"x\n", ":5:", "unterminated"},
      {"unit X Label 0x16000013 \"x\"\n  rect 0 0 1 1\n  data empty\n  set Effect 1\n", ":5:", "data empty"},
  };
  for (const Case& c : cases) {
    std::string f = Write("bad.txt", std::string(kHead) + c.body);
    try {
      ReadDescriptions({f});
      ADD_FAILURE() << "accepted: " << c.body;
    } catch (const DescriptionError& e) {
      std::string what = e.what();
      EXPECT_NE(what.find(c.line), std::string::npos) << what;
      EXPECT_NE(what.find(c.says), std::string::npos) << what;
    }
  }
  // Two windows with one identifier.
  std::string a = Write("a.txt", kHead);
  std::string b = Write("b.txt", kHead);
  EXPECT_THROW(ReadDescriptions({a, b}), DescriptionError);
}

}  // namespace
}  // namespace wintmpl
