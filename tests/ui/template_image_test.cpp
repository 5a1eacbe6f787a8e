// The template image format: reading, writing, record resizing, fix-up and
// rejection of damaged bytes.
#include <gtest/gtest.h>

#include <random>

#include "runtime/value.h"
#include "ui/template/identifiers.h"
#include "ui/template/template_image.h"

namespace ui {
namespace {

constexpr uint32_t kWinA = MakeId(5, id_class::Window, 0x100);
constexpr uint32_t kWinB = MakeId(5, id_class::Window, 0x101);
// The own record's identifier is larger than its units': it still comes first.
constexpr uint32_t kOwnA = MakeId(id_variant::OwnRecord, id_class::Unit, 0x900);
constexpr uint32_t kMenu = MakeId(id_variant::MenuItem, id_class::Unit, 0x110);
constexpr uint32_t kPic = MakeId(id_variant::Unit, id_class::Unit, 0x111);
constexpr uint32_t kLab1 = MakeId(id_variant::Unit, id_class::Unit, 0x112);
constexpr uint32_t kLab2 = MakeId(id_variant::Unit, id_class::Unit, 0x113);
constexpr uint32_t kBtn = MakeId(id_variant::Unit, id_class::Unit, 0x114);
constexpr uint32_t kOwnB = MakeId(id_variant::OwnRecord, id_class::Unit, 0x200);
constexpr uint32_t kTimerB = MakeId(id_variant::Unit, id_class::Unit, 0x201);

UnitSpec Unit(uint32_t kind, const char* name, int32_t left, uint32_t parent = 0) {
  UnitSpec u;
  u.kind = kind;
  u.name = name;
  u.left = left;
  u.top = 2;
  u.width = 30;
  u.height = 40;
  u.parent = parent;
  return u;
}

TemplateImage SampleImage() {
  UnitSpec own = Unit(rt::tag::Window, "", 50);
  own.bindings = {{0, 0}, {2, 1}, {4, kNoHandler}};
  MenuItemSpec menu{rt::tag::Window, 0, "file", "", 0x46, 0, menu_flag::Checked, "&File", 2, {1, 2, 3, 4}};
  UnitSpec pic = Unit(rt::tag::PicBox, "pic", 0);
  pic.children = {kLab1, kLab2};
  pic.kind_data = {1, 0, 0, 0};
  UnitSpec lab1 = Unit(rt::tag::TransLabel, "lab1", 1, kPic);
  UnitSpec lab2 = Unit(rt::tag::TransLabel, "lab2", 2, kPic);
  lab2.mouse_pointer = {3};
  UnitSpec btn = Unit(rt::tag::Button, "btn", 3);
  btn.tag = "1";
  btn.flags = unit_flag::Visible | unit_flag::TabStop;
  btn.tab_order = 7;
  btn.bindings = {{0, 3}};

  UnitSpec ownb = Unit(rt::tag::Window, "", 0);
  UnitSpec timer = Unit(rt::tag::Timer, "timer", 0);
  timer.bindings = {{0, kNoHandler}};

  TemplateImage image;
  WindowTemplate a;
  a.id = kWinA;
  a.attributes = 8;
  a.class_id = MakeId(0, id_class::Code, 0x100);
  a.first_text = "one";
  a.units = KeyedRecordList::Build({{kOwnA, SerializeUnit(own)},
                                    {kMenu, SerializeMenuItem(menu)},
                                    {kPic, SerializeUnit(pic)},
                                    {kLab1, SerializeUnit(lab1)},
                                    {kLab2, SerializeUnit(lab2)},
                                    {kBtn, SerializeUnit(btn)}});
  WindowTemplate b;
  b.id = kWinB;
  b.class_id = MakeId(0, id_class::Code, 0x101);
  b.second_text = "two";
  b.units = KeyedRecordList::Build({{kOwnB, SerializeUnit(ownb)}, {kTimerB, SerializeUnit(timer)}});
  image.windows.push_back(std::move(a));
  image.windows.push_back(std::move(b));
  return image;
}

Bytes SampleBytes() { return WriteTemplateImage(SampleImage()); }

TEST(TemplateImage, WriteReadWriteGivesTheSameBytesAndFields) {
  Bytes bytes = SampleBytes();
  TemplateImage read;
  ASSERT_EQ(ReadTemplateImage(bytes, read), TemplateError::Ok);
  EXPECT_EQ(WriteTemplateImage(read), bytes);

  ASSERT_EQ(read.windows.size(), 2u);
  const WindowTemplate& a = read.windows[0];
  EXPECT_EQ(a.id, kWinA);
  EXPECT_EQ(a.attributes, 8u);
  EXPECT_EQ(a.first_text, "one");
  EXPECT_EQ(read.windows[1].second_text, "two");
  ASSERT_EQ(a.units.size(), 6u);
  EXPECT_EQ(a.units.Key(0), kOwnA);
  EXPECT_EQ(read.RecordCount(), 8u);

  // Every record gives back what was written.
  TemplateImage original = SampleImage();
  for (size_t w = 0; w < 2; ++w) {
    const KeyedRecordList& in = original.windows[w].units;
    const KeyedRecordList& out = read.windows[w].units;
    for (size_t i = 0; i < in.size(); ++i) {
      if (in.IsMenuItem(i)) {
        EXPECT_EQ(out.MenuItem(i)->ToSpec(), in.MenuItem(i)->ToSpec());
        EXPECT_EQ(SerializeMenuItem(out.MenuItem(i)->ToSpec()),
                  Bytes(out.Record(i).begin(), out.Record(i).end()));
      } else {
        EXPECT_EQ(out.Unit(i)->ToSpec(), in.Unit(i)->ToSpec());
        EXPECT_EQ(SerializeUnit(out.Unit(i)->ToSpec()), Bytes(out.Record(i).begin(), out.Record(i).end()));
      }
    }
  }
}

TEST(TemplateImage, RecordFieldsAndLookups) {
  TemplateImage image;
  ASSERT_EQ(ReadTemplateImage(SampleBytes(), image), TemplateError::Ok);
  EXPECT_EQ(image.Find(kWinB), &image.windows[1]);
  EXPECT_EQ(image.Find(0x52000000), nullptr);  // serial 0: invalid, never found
  EXPECT_EQ(image.Find(0x00000100), nullptr);  // class 0

  KeyedRecordList& units = image.windows[0].units;
  EXPECT_EQ(units.Find(kOwnA), 0u);
  EXPECT_EQ(units.Find(kBtn), 5u);
  EXPECT_FALSE(units.Find(MakeId(1, 6, 0x999)));

  auto pic = units.Unit(*units.Find(kPic));
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->Kind(), rt::tag::PicBox);
  EXPECT_EQ(pic->Parent(), 0u);
  EXPECT_EQ(pic->Children(), (std::vector<uint32_t>{kLab1, kLab2}));
  EXPECT_EQ(pic->KindData().size(), 4u);
  auto lab1 = units.Unit(*units.Find(kLab1));
  EXPECT_EQ(lab1->Parent(), kPic);
  EXPECT_EQ(lab1->Name(), "lab1");
  EXPECT_EQ(lab1->Left(), 1);
  EXPECT_EQ(lab1->Height(), 40);
  EXPECT_TRUE(lab1->KindData().empty());
  auto btn = units.Unit(*units.Find(kBtn));
  EXPECT_EQ(btn->Tag(), "1");
  EXPECT_TRUE(btn->TabStop());
  EXPECT_FALSE(btn->Disabled());
  EXPECT_EQ(btn->TabOrder(), 7);
  EXPECT_EQ(btn->HandlerFor(0), 3);
  EXPECT_EQ(btn->HandlerFor(1), kNoHandler);

  EXPECT_FALSE(units.Unit(1));  // a menu item is not a unit record
  auto menu = units.MenuItem(1);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->Caption(), "&File");
  EXPECT_EQ(menu->ShortcutKey(), 0x46u);
  EXPECT_EQ(menu->MenuFlags(), menu_flag::Checked);
  EXPECT_EQ(menu->Handler(), 2);
  EXPECT_EQ(menu->Rest().size(), 4u);

  // Fixed fields written in place stay where the record says.
  auto m = units.MutableUnit(*units.Find(kBtn));
  m->SetLeft(-7);
  m->SetWidth(32627);
  m->SetFlag(unit_flag::Visible, false);
  m->SetFlag(unit_flag::Disabled, true);
  m->SetSourceUnit(kPic);
  btn = units.Unit(*units.Find(kBtn));
  EXPECT_EQ(btn->Left(), -7);
  EXPECT_EQ(btn->Width(), 32627);
  EXPECT_EQ(btn->Flags(), unit_flag::Disabled | unit_flag::TabStop);
  EXPECT_EQ(btn->SourceUnit(), kPic);
  EXPECT_EQ(btn->Tag(), "1");
}

TEST(TemplateImage, BindingFixUpChecksEveryHandlerAgainstTheTable) {
  TemplateImage image;
  // Handlers used: 0, 1, 2 (menu), 3, and -1 twice.
  EXPECT_EQ(LoadTemplateImage(SampleBytes(), 4, image), TemplateError::Ok);
  const UnitRecord own = *image.windows[0].units.Unit(0);
  EXPECT_EQ(own.HandlerFor(0), 0);  // offset 0 is a real handler
  EXPECT_EQ(own.HandlerFor(2), 1);
  EXPECT_EQ(own.HandlerFor(4), kNoHandler);
  EXPECT_EQ(image.windows[1].units.Unit(1)->HandlerFor(0), kNoHandler);

  EXPECT_EQ(LoadTemplateImage(SampleBytes(), 3, image), TemplateError::BadHandler);
  EXPECT_TRUE(image.windows.empty());

  // A menu item's handler is checked too.
  TemplateImage edited = SampleImage();
  StoreU32(edited.windows[0].units.MutableRecord(1).data() + edited.windows[0].units.MenuItem(1)->layout().handler,
           uint32_t(-2));
  EXPECT_EQ(LoadTemplateImage(WriteTemplateImage(edited), 4, image), TemplateError::BadHandler);
}

TEST(KeyedRecordList, ResizingARecordShiftsTheLaterOffsets) {
  TemplateImage image = SampleImage();
  KeyedRecordList& units = image.windows[0].units;
  std::vector<Bytes> before;
  for (size_t i = 0; i < units.size(); ++i) before.emplace_back(units.Record(i).begin(), units.Record(i).end());
  const size_t pic = *units.Find(kPic);

  ASSERT_TRUE(units.SetTag(pic, "a much longer tag than before"));
  EXPECT_EQ(units.Unit(pic)->Tag(), "a much longer tag than before");
  EXPECT_EQ(units.Record(pic).size(), before[pic].size() + 29);
  EXPECT_EQ(units.Unit(pic)->Children(), (std::vector<uint32_t>{kLab1, kLab2}));
  EXPECT_EQ(units.Unit(pic)->KindData().size(), 4u);
  for (size_t i = 0; i < units.size(); ++i)
    if (i != pic) {
      EXPECT_EQ(Bytes(units.Record(i).begin(), units.Record(i).end()), before[i]) << i;
    }
  // The list is still consistent as a whole.
  EXPECT_TRUE(KeyedRecordList::Parse(units.bytes(), uint32_t(units.size())));

  ASSERT_TRUE(units.SetTag(pic, ""));
  EXPECT_EQ(Bytes(units.Record(pic).begin(), units.Record(pic).end()), before[pic]);
  EXPECT_EQ(WriteTemplateImage(image), SampleBytes());

  // Mouse-pointer data grows and shrinks the same way; the last record too.
  const size_t btn = *units.Find(kBtn);
  Bytes cursor(40, 0xAB);
  ASSERT_TRUE(units.SetMousePointer(pic, cursor));
  ASSERT_TRUE(units.SetMousePointer(btn, {}));
  EXPECT_EQ(units.Unit(pic)->MousePointerData().size(), 40u);
  EXPECT_TRUE(units.Unit(btn)->MousePointerData().empty());
  EXPECT_EQ(units.Unit(btn)->Tag(), "1");
  EXPECT_EQ(units.Unit(*units.Find(kLab2))->MousePointerData()[0], 3);

  ASSERT_TRUE(units.SetMenuCaption(1, "-"));
  EXPECT_TRUE(units.MenuItem(1)->IsSeparator());
  EXPECT_EQ(units.MenuItem(1)->Handler(), 2);
  EXPECT_FALSE(units.SetTag(1, "x"));        // a menu item has no tag
  EXPECT_FALSE(units.SetMenuCaption(2, "x"));  // a unit has no menu caption

  // A tag copied from another record of the same list, whose bytes move.
  ASSERT_TRUE(units.SetTag(pic, std::string(300, 'x')));
  ASSERT_TRUE(units.SetTag(0, units.Unit(pic)->Tag()));
  EXPECT_EQ(units.Unit(0)->Tag(), std::string(300, 'x'));

  // A text with a 0 byte is cut there, so the record stays readable.
  ASSERT_TRUE(units.SetTag(btn, std::string("ab\0cd", 5)));
  EXPECT_EQ(units.Unit(btn)->Tag(), "ab");

  TemplateImage reread;
  EXPECT_EQ(ReadTemplateImage(WriteTemplateImage(image), reread), TemplateError::Ok);
}

TEST(KeyedRecordList, LiveObjectsTravelWithTheListCopy) {
  TemplateImage image = SampleImage();
  KeyedRecordList live = image.windows[0].units;
  KeyedRecordList saved = live;  // taken when loading starts
  int object = 0, cursor = 0;
  live.SetObject(2, &object);
  live.SetCursor(2, &cursor);
  EXPECT_EQ(live.Object(2), &object);
  EXPECT_EQ(live.Cursor(2), &cursor);
  EXPECT_EQ(saved.Object(2), nullptr);
  // The slots in the bytes are untouched: they stay 0 on every build.
  EXPECT_EQ(live.Unit(2)->StoredObjectSlot(), 0u);
  ASSERT_TRUE(live.SetTag(0, "resized"));  // resizing keeps the objects by record
  EXPECT_EQ(live.Object(2), &object);
  std::swap(live, saved);  // the window is destroyed
  EXPECT_EQ(live.Object(2), nullptr);
  EXPECT_EQ(live.Unit(0)->Tag(), "");
  EXPECT_EQ(live.Object(99), nullptr);
}

TEST(TemplateImage, EveryTruncationFailsCleanly) {
  Bytes bytes = SampleBytes();
  for (size_t n = 0; n < bytes.size(); ++n) {
    TemplateImage image;
    image.windows.resize(1);  // whatever was there before is dropped
    Bytes cut(bytes.begin(), bytes.begin() + ptrdiff_t(n));
    EXPECT_NE(ReadTemplateImage(cut, image), TemplateError::Ok) << n;
    EXPECT_TRUE(image.windows.empty()) << n;
  }
  // A trailing byte is not part of any window either.
  Bytes longer = bytes;
  longer.push_back(0);
  TemplateImage image;
  EXPECT_EQ(ReadTemplateImage(longer, image), TemplateError::BadWindowTable);
}

// Image offset of window A's unit table and of its records.
struct Offsets {
  size_t table;    // keys
  size_t records;  // first record's length word
};
Offsets OffsetsOfA() {
  // 4 + 2 windows * 8, attribute, class, "one" (4+3), "" (4), count, size
  size_t table = 4 + 16 + 4 + 4 + 7 + 4 + 4 + 4;
  return {table, table + 8 * 6};
}

TEST(TemplateImage, InconsistentBytesAreRejected) {
  const Bytes good = SampleBytes();
  const Offsets at = OffsetsOfA();
  auto read = [](const Bytes& b) {
    TemplateImage image;
    TemplateError e = ReadTemplateImage(b, image);
    EXPECT_TRUE(e == TemplateError::Ok || image.windows.empty());
    return e;
  };
  ASSERT_EQ(read(good), TemplateError::Ok);

  Bytes b = good;
  StoreU32(b.data(), 12);  // not a multiple of 8
  EXPECT_EQ(read(b), TemplateError::BadWindowTable);
  b = good;
  StoreU32(b.data(), 0x7FFFFFF8);  // more windows than bytes
  EXPECT_EQ(read(b), TemplateError::Truncated);
  b = good;
  StoreU32(b.data() + 4, 0x52000000);  // window identifier with serial 0
  EXPECT_EQ(read(b), TemplateError::BadIdentifier);
  b = good;
  StoreU32(b.data() + 8, kWinA);
  EXPECT_EQ(read(b), TemplateError::DuplicateIdentifier);
  b = good;
  StoreU32(b.data() + at.table - 8, 0xFFFFFFFF);  // unit count
  EXPECT_EQ(read(b), TemplateError::BadUnitTable);
  b = good;
  StoreU32(b.data() + at.table, kPic);  // key 0 is not an own record
  EXPECT_EQ(read(b), TemplateError::BadIdentifier);
  b = good;
  StoreU32(b.data() + at.table + 12, kPic);  // two keys alike
  EXPECT_EQ(read(b), TemplateError::DuplicateIdentifier);
  b = good;
  StoreU32(b.data() + at.table + 24 + 4, 1);  // second offset off by one
  EXPECT_EQ(read(b), TemplateError::BadUnitTable);
  b = good;
  StoreU32(b.data() + at.records, 0x7FFFFFFF);  // a record length past the end
  EXPECT_EQ(read(b), TemplateError::BadUnitTable);

  // Inside a record: find the picture box's fields through a parsed copy.
  TemplateImage image = SampleImage();
  const KeyedRecordList& units = image.windows[0].units;
  const size_t pic = *units.Find(kPic);
  const size_t pic_at = size_t(units.Record(pic).data() - units.bytes().data()) + at.table;
  const UnitLayout l = units.Unit(pic)->layout();
  b = good;
  StoreU32(b.data() + pic_at + l.child_count, 0x40000001);  // children past the record
  EXPECT_EQ(read(b), TemplateError::BadRecord);
  b = good;
  StoreU32(b.data() + pic_at + l.mouse, 0xFFFFFFF0);
  EXPECT_EQ(read(b), TemplateError::BadRecord);
  b = good;
  StoreU32(b.data() + pic_at + l.bindings, 0x20000000);
  EXPECT_EQ(read(b), TemplateError::BadRecord);
  b = good;
  StoreU32(b.data() + pic_at + l.child_count + 4, MakeId(1, 6, 0x777));  // a child that is no unit
  EXPECT_EQ(read(b), TemplateError::BadReference);
  b = good;
  StoreU32(b.data() + pic_at + l.object_slot + 24, kLab1);  // picture inside its own label: a cycle
  EXPECT_EQ(read(b), TemplateError::BadReference);
  b = good;
  StoreU32(b.data() + pic_at + l.object_slot + 24, kPic);  // its own parent
  EXPECT_EQ(read(b), TemplateError::BadReference);
  b = good;
  StoreU32(b.data() + pic_at + l.object_slot + 24, kMenu);  // a menu item as parent
  EXPECT_EQ(read(b), TemplateError::BadReference);
}

TEST(TemplateImage, RandomDamageNeverReadsOutOfBounds) {
  // A few thousand deterministic mutations; the sanitizers catch any bad access.
  const Bytes good = SampleBytes();
  std::mt19937 rng(1234);
  for (int round = 0; round < 3000; ++round) {
    Bytes b = good;
    int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % b.size();
      switch (rng() % 3) {
        case 0: b[at] = uint8_t(rng()); break;
        case 1: if (at + 4 <= b.size()) StoreU32(b.data() + at, uint32_t(rng() % 300)); break;
        default: b.resize(at); break;
      }
      if (b.empty()) break;
    }
    TemplateImage image;
    if (LoadTemplateImage(b, 4, image) != TemplateError::Ok) {
      EXPECT_TRUE(image.windows.empty());
      continue;
    }
    for (WindowTemplate& w : image.windows)
      for (size_t i = 0; i < w.units.size(); ++i) {
        if (auto u = w.units.Unit(i)) {
          (void)u->ToSpec();
          (void)DecodeMousePointer(u->MousePointerData());
          w.units.SetTag(i, "resized tag");
        } else {
          ASSERT_TRUE(w.units.MenuItem(i));
        }
      }
  }
}

TEST(MousePointer, DataDecodesToNumbersAndCursors) {
  EXPECT_EQ(DecodeMousePointer({}).type, MousePointer::Type::None);
  Bytes two = {5, 9};
  EXPECT_EQ(DecodeMousePointer(two).number, 5);
  MousePointer p = DecodeMousePointer(EncodePointerNumber(14));
  EXPECT_EQ(p.type, MousePointer::Type::Number);
  EXPECT_EQ(p.number, 14);

  Bytes file = EncodePointerNumber(-1);
  file.resize(11, 0x22);  // more than 10 bytes: a cursor file image follows
  p = DecodeMousePointer(file);
  EXPECT_EQ(p.type, MousePointer::Type::CursorFile);
  EXPECT_EQ(p.cursor_file.size(), 7u);
  file.resize(10);  // not enough for an image: just the number -1
  p = DecodeMousePointer(file);
  EXPECT_EQ(p.type, MousePointer::Type::Number);
  EXPECT_EQ(ResolvePointerNumber(p.number).source, CursorRef::Source::ClassDefault);

  EXPECT_EQ(ResolvePointerNumber(0).source, CursorRef::Source::ClassDefault);
  CursorRef arrow = ResolvePointerNumber(1);
  EXPECT_EQ(arrow.source, CursorRef::Source::System);
  EXPECT_EQ(arrow.id, 32512u);
  EXPECT_EQ(ResolvePointerNumber(12).id, 32644u);
  CursorRef hand = ResolvePointerNumber(14);
  EXPECT_EQ(hand.source, CursorRef::Source::ProgramResource);
  EXPECT_EQ(hand.id, kHandCursorResource);
  EXPECT_EQ(ResolvePointerNumber(32515).id, 32515u);  // a system identifier stands for itself
  EXPECT_EQ(ResolvePointerNumber(32649).source, CursorRef::Source::ProgramResource);
  EXPECT_EQ(ResolvePointerNumber(15).source, CursorRef::Source::ClassDefault);
  EXPECT_EQ(ProgramPointerNumber(32513), 3);
  EXPECT_EQ(ProgramPointerNumber(7), 7);
}

TEST(Identifiers, ValidityAndParts) {
  EXPECT_TRUE(IsValidId(0x520112EF));
  EXPECT_EQ(IdClass(0x520112EF), id_class::Window);
  EXPECT_EQ(IdSerial(0x520112EF), 0x0112EFu);
  EXPECT_TRUE(IsOwnRecordId(0x060112EE));
  EXPECT_EQ(IdVariant(0x160112F6), id_variant::Unit);
  EXPECT_TRUE(IsMenuItemId(0x260112F6));
  EXPECT_FALSE(IsValidId(0x16000000));
  EXPECT_FALSE(IsValidId(0x100112F6));
  EXPECT_EQ(MakeId(1, 6, 0x0112F9), 0x160112F9u);
}

}  // namespace
}  // namespace ui
