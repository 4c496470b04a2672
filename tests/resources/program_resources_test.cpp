// Checks the program's compiled resources against the dialogs, icon and
// version block the program and its users rely on.
#include <standin/resources.h>
#include <standin/text.h>

#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using standin::DialogItemTemplate;
using standin::DialogTemplate;
using standin::ResourceEntry;
using standin::ResourceId;

constexpr uint16_t kIcon = 3, kDialog = 5, kGroupIcon = 14, kVersion = 16;
constexpr uint16_t kJapanese = 0x0411;
constexpr uint16_t kProgramIcon = 111;
constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;

struct ControlSpec {
  int id;
  const char *class_name;
  const char16_t *text;  // null: the title is the program icon's ordinal
  DWORD style;
  DWORD ex_style;
  int16_t x, y, cx, cy;
};

struct DialogSpec {
  const char16_t *name;
  bool extended;
  const char16_t *caption;
  const char16_t *window_class;  // empty: the dialog class
  DWORD style;
  DWORD ex_style;
  int16_t x, y, cx, cy;
  std::vector<ControlSpec> controls;
};

const DWORD kDayList =
    kShown | LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_GROUP | WS_TABSTOP;
const DWORD kTimeEdit = kShown | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP;
const DWORD kLabel = kShown | SS_LEFT | WS_GROUP;
const DWORD kGroupBox = kShown | BS_GROUPBOX;

// clang-format off
const DialogSpec kDialogs[] = {
    {u"DLG_VELMORA", false, u"Velmora", u"DLG_VELMORA",
     WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_ABSALIGN | DS_3DLOOK | DS_SETFONT | DS_CENTER,
     0, 0, 0, 247, 239, {
         {105, "BUTTON", u"ｺﾝﾋﾟｭｰﾀ選択(&S)...", kShown | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 90, 22, 64, 14},
         {104, "SysListView32", u"List1", kShown | LVS_REPORT | LVS_SINGLESEL | LVS_AUTOARRANGE | LVS_ALIGNLEFT |
              LVS_NOSORTHEADER | WS_BORDER | WS_GROUP | WS_TABSTOP, 0, 7, 80, 230, 128},
         {101, "BUTTON", u"追加(&A)...", kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 76, 216, 52, 14},
         {102, "BUTTON", u"修正(&C)...", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 132, 216, 52, 14},
         {103, "BUTTON", u"削除(&R)", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 188, 216, 52, 14},
         {107, "BUTTON", u"ﾊﾞｰｼﾞｮﾝ情報(&V)...", kShown | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 176, 12, 64, 14},
         {109, "BUTTON", u"ﾍﾙﾌﾟ(&H)...", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 176, 32, 64, 14},
         {106, "BUTTON", u"終了(&X)", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 176, 52, 64, 14},
         {108, "STATIC", u"Static", kShown | SS_LEFT | SS_SUNKEN | WS_BORDER | WS_GROUP, 0, 16, 24, 70, 12},
         {108, "BUTTON", u"ｺﾝﾋﾟｭｰﾀ名", kGroupBox, 0, 6, 8, 158, 52},
         {108, "STATIC", u"ｼﾞｮﾌﾞ・ｽｹｼﾞｭｰﾙ", kLabel, 0, 8, 68, 48, 8},
         {151, "STATIC", u"static", kLabel, 0, 16, 44, 140, 8},
     }},
    {u"DLG_ABOUT", true, u"Velmora のﾊﾞｰｼﾞｮﾝ情報", u"",
     WS_POPUP | WS_CAPTION | DS_ABSALIGN | DS_3DLOOK | DS_SETFONT | DS_MODALFRAME | DS_CENTER,
     WS_EX_CONTROLPARENT, 0, 0, 166, 73, {
         {122, "BUTTON", u"OK(&O)", kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 128, 8, 32, 14},
         {121, "STATIC", nullptr, kShown | SS_ICON, 0, 8, 8, 20, 20},
         {-1, "STATIC", u"Velmora", kLabel, 0, 32, 8, 56, 8},
         {-1, "STATIC", u"Version β2 (0.9.9.2)", kLabel, 0, 36, 20, 84, 8},
         {-1, "STATIC", u"Velmora 開発者一同", kShown | SS_CENTER | WS_GROUP, 0, 12, 50, 138, 8},
         {-1, "BUTTON", u"", kGroupBox, 0, 8, 40, 148, 24},
         {-1, "STATIC", u"for Microsoft WindowsNT Series", kLabel, 0, 36, 28, 116, 8},
     }},
    {u"DLG_CP", true, u"ｺﾝﾋﾟｭｰﾀ選択", u"",
     WS_POPUP | WS_CAPTION | DS_3DLOOK | DS_SETFONT | DS_MODALFRAME,
     WS_EX_CONTROLPARENT, 0, 0, 155, 63, {
         {131, "EDIT", u"", kShown | ES_UPPERCASE | ES_AUTOHSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP, 0, 8, 20, 136, 12},
         {132, "BUTTON", u"OK(&O)", kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 52, 40, 44, 14},
         {133, "BUTTON", u"ｷｬﾝｾﾙ(&C)", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 100, 40, 44, 14},
         {-1, "STATIC", u"ｺﾝﾋﾟｭｰﾀ名", kLabel, 0, 8, 8, 36, 8},
     }},
    {u"DLG_JOB", true, u"ｼﾞｮﾌﾞ詳細設定", u"",
     WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
     WS_EX_CONTROLPARENT, 0, 0, 294, 123, {
         {141, "EDIT", u"", kShown | WS_BORDER | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL, 0, 8, 20, 276, 12},
         {142, "BUTTON", u"今日", kShown | BS_AUTORADIOBUTTON | WS_GROUP, 0, 16, 56, 40, 8},
         {143, "BUTTON", u"明日", kShown | BS_AUTORADIOBUTTON, 0, 16, 68, 40, 8},
         {144, "BUTTON", u"毎回", kShown | BS_AUTORADIOBUTTON, 0, 16, 80, 40, 8},
         {145, "BUTTON", u"次の...", kShown | BS_AUTORADIOBUTTON, 0, 16, 92, 40, 8},
         {155, "BUTTON", u"曜日指定", kShown | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0, 72, 40, 40, 12},
         {146, "LISTBOX", u"", kDayList, 0, 72, 52, 40, 60},
         {156, "BUTTON", u"日付指定", kShown | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0, 120, 40, 40, 12},
         {147, "LISTBOX", u"", kDayList, 0, 120, 52, 40, 60},
         {154, "COMBOBOX", u"", kShown | CBS_DROPDOWNLIST | WS_GROUP | WS_TABSTOP, 0, 176, 52, 32, 48},
         {148, "EDIT", u"", kTimeEdit, WS_EX_RIGHT, 212, 52, 16, 12},
         {149, "EDIT", u"", kTimeEdit, WS_EX_RIGHT, 236, 52, 16, 12},
         {152, "BUTTON", u"OK(&O)", kShown | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 168, 96, 56, 14},
         {153, "BUTTON", u"ｷｬﾝｾﾙ(&C)", kShown | BS_PUSHBUTTON | WS_TABSTOP, 0, 228, 96, 56, 14},
         {-1, "STATIC", u"分に開始", kLabel, 0, 252, 56, 28, 8},
         {-1, "STATIC", u"ｺﾏﾝﾄﾞﾗｲﾝ", kLabel, 0, 8, 8, 28, 8},
         {-1, "BUTTON", u"実行単位", kGroupBox, 0, 8, 40, 56, 72},
         {-1, "STATIC", u"時", kLabel, 0, 228, 56, 8, 8},
         {-1, "BUTTON", u"時刻指定", kGroupBox, 0, 168, 40, 120, 32},
     }},
};
// clang-format on

std::vector<ResourceEntry> ProgramResources() {
  std::vector<ResourceEntry> entries;
  std::string error;
  EXPECT_TRUE(standin::ParseResFile(velmora_res, velmora_res_size, &entries, &error)) << error;
  return entries;
}

bool Named(const ResourceId &id, const std::u16string &name) { return !id.is_number && id.name == name; }
bool Numbered(const ResourceId &id, uint16_t number) { return id.is_number && id.number == number; }

template <typename Match>
const ResourceEntry *Find(const std::vector<ResourceEntry> &entries, uint16_t type, Match match) {
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const ResourceEntry &e) { return Numbered(e.type, type) && match(e.name); });
  return it == entries.end() ? nullptr : &*it;
}

// Window class names are case-insensitive; windres stores them upper-cased.
std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

void ExpectControl(const ControlSpec &want, const DialogItemTemplate &got) {
  EXPECT_EQ(got.id, want.id);
  EXPECT_EQ(Upper(got.class_name), Upper(want.class_name));
  // Predefined classes must be stored as ordinals, as the dialog manager expects.
  EXPECT_EQ(got.class_id.is_number, std::string(want.class_name) != "SysListView32");
  if (want.text) {
    EXPECT_TRUE(Named(got.title, want.text)) << "text differs";
  } else {
    EXPECT_TRUE(Numbered(got.title, kProgramIcon)) << "not the program icon";
  }
  EXPECT_EQ(got.style, want.style) << std::hex << (got.style ^ want.style) << " differs";
  EXPECT_EQ(got.ex_style, want.ex_style);
  EXPECT_EQ(std::make_tuple(got.x, got.y, got.cx, got.cy), std::make_tuple(want.x, want.y, want.cx, want.cy));
  EXPECT_EQ(got.help_id, 0u);
  EXPECT_TRUE(got.creation_data.empty());
}

TEST(ProgramResources, DialogsMatchTheirLayout) {
  std::vector<ResourceEntry> entries = ProgramResources();
  for (const DialogSpec &want : kDialogs) {
    SCOPED_TRACE(std::string(want.name, want.name + std::char_traits<char16_t>::length(want.name)));
    const ResourceEntry *entry = Find(entries, kDialog, [&](const ResourceId &id) { return Named(id, want.name); });
    ASSERT_NE(entry, nullptr);
    DialogTemplate got;
    std::string error;
    ASSERT_TRUE(standin::ParseDialogTemplate(entry->data.data(), entry->data.size(), &got, &error)) << error;
    EXPECT_EQ(got.extended, want.extended);
    EXPECT_EQ(got.caption, want.caption);
    EXPECT_TRUE(want.window_class[0] ? Named(got.window_class, want.window_class)
                                     : !got.window_class.is_number && got.window_class.name.empty());
    EXPECT_TRUE(!got.menu.is_number && got.menu.name.empty()) << "has a menu";
    EXPECT_EQ(got.style, want.style) << std::hex << (got.style ^ want.style) << " differs";
    EXPECT_EQ(got.ex_style, want.ex_style);
    EXPECT_EQ(got.help_id, 0u);
    EXPECT_EQ(std::make_tuple(got.x, got.y, got.cx, got.cy), std::make_tuple(want.x, want.y, want.cx, want.cy));
    EXPECT_EQ(got.point_size, 9);
    EXPECT_EQ(got.face, u"ＭＳ Ｐゴシック");
    if (want.extended) {
      EXPECT_EQ(got.weight, 0);
      EXPECT_EQ(got.italic, 0);
      EXPECT_EQ(got.charset, 1);
    }
    ASSERT_EQ(got.items.size(), want.controls.size());
    for (size_t i = 0; i < want.controls.size(); ++i) {
      SCOPED_TRACE("control " + std::to_string(i + 1));
      ExpectControl(want.controls[i], got.items[i]);
    }
  }
}

TEST(ProgramResources, HoldsExactlyTheProgramsResourcesInJapanese) {
  std::multiset<std::pair<uint16_t, std::u16string>> found;
  size_t icon_images = 0;
  for (const ResourceEntry &entry : ProgramResources()) {
    ASSERT_TRUE(entry.type.is_number);
    EXPECT_EQ(entry.language, kJapanese);
    if (entry.type.number == kIcon) {
      ++icon_images;  // numbered by windres; the group refers to them
    } else {
      found.insert({entry.type.number, entry.name.is_number
                                           ? u"#" + standin::Utf8ToUtf16(std::to_string(entry.name.number))
                                           : entry.name.name});
    }
  }
  const std::multiset<std::pair<uint16_t, std::u16string>> expected = {
      {kDialog, u"DLG_VELMORA"}, {kDialog, u"DLG_ABOUT"}, {kDialog, u"DLG_CP"},
      {kDialog, u"DLG_JOB"},     {kGroupIcon, u"#111"},   {kVersion, u"#1"},
  };
  EXPECT_EQ(found, expected);
  EXPECT_EQ(icon_images, 2u);
}

#pragma pack(push, 1)
struct GroupIconEntry {
  uint8_t width, height, colours, reserved;
  uint16_t planes, bit_count;
  uint32_t bytes;
  uint16_t id;
};
#pragma pack(pop)

TEST(ProgramResources, IconGroupHasLargeAndSmallSixteenColourImages) {
  std::vector<ResourceEntry> entries = ProgramResources();
  const ResourceEntry *group = Find(entries, kGroupIcon, [](const ResourceId &id) { return Numbered(id, 111); });
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->data.size(), 6u + 2 * sizeof(GroupIconEntry));
  uint16_t header[3];
  std::memcpy(header, group->data.data(), sizeof header);
  EXPECT_EQ(header[1], 1);  // icons, not cursors
  ASSERT_EQ(header[2], 2);
  const int sizes[] = {32, 16};
  for (int i = 0; i < 2; ++i) {
    GroupIconEntry image;
    std::memcpy(&image, group->data.data() + 6 + i * sizeof image, sizeof image);
    EXPECT_EQ(image.width, sizes[i]);
    EXPECT_EQ(image.height, sizes[i]);
    EXPECT_EQ(image.colours, 16);
    EXPECT_EQ(image.bit_count, 4);
    const ResourceEntry *icon = Find(entries, kIcon, [&](const ResourceId &id) { return Numbered(id, image.id); });
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->data.size(), image.bytes);
    // The image itself: a 4-bit DIB twice as high as wide (colours, then mask).
    ASSERT_GE(icon->data.size(), 40u);
    int32_t dib_width, dib_height;
    uint16_t dib_bits;
    std::memcpy(&dib_width, icon->data.data() + 4, 4);
    std::memcpy(&dib_height, icon->data.data() + 8, 4);
    std::memcpy(&dib_bits, icon->data.data() + 14, 2);
    EXPECT_EQ(dib_width, sizes[i]);
    EXPECT_EQ(dib_height, 2 * sizes[i]);
    EXPECT_EQ(dib_bits, 4);
    size_t row_bytes = ((sizes[i] * 4 + 31) / 32) * 4, mask_row = ((sizes[i] + 31) / 32) * 4;
    EXPECT_EQ(icon->data.size(), 40 + 16 * 4 + sizes[i] * (row_bytes + mask_row));
  }
}

// One node of a version block: key, value and children, bounds-checked.
struct VersionNode {
  std::u16string key;
  uint16_t type = 0;
  std::vector<uint8_t> value;  // text values without their terminator
  std::vector<VersionNode> children;
};

bool ReadVersionNode(const std::vector<uint8_t> &data, size_t offset, size_t end, VersionNode *node, size_t *next) {
  auto word = [&](size_t at) { return static_cast<uint16_t>(data[at] | (data[at + 1] << 8)); };
  if (offset + 6 > end) return false;
  uint16_t length = word(offset), value_length = word(offset + 2);
  node->type = word(offset + 4);
  size_t node_end = offset + length;
  if (length < 6 || node_end > end) return false;
  size_t at = offset + 6;
  for (;; at += 2) {
    if (at + 2 > node_end) return false;
    if (word(at) == 0) break;
    node->key.push_back(static_cast<char16_t>(word(at)));
  }
  at = (at + 2 + 3) & ~size_t{3};
  size_t value_bytes = node->type == 1 ? value_length * 2u : value_length;
  if (at + value_bytes > node_end) return false;
  node->value.assign(data.begin() + at, data.begin() + at + value_bytes);
  while (node->type == 1 && node->value.size() >= 2 && node->value[node->value.size() - 1] == 0 &&
         node->value[node->value.size() - 2] == 0) {
    node->value.resize(node->value.size() - 2);
  }
  at = (at + value_bytes + 3) & ~size_t{3};
  while (at < node_end) {
    VersionNode child;
    if (!ReadVersionNode(data, at, node_end, &child, &at)) return false;
    node->children.push_back(std::move(child));
  }
  *next = (node_end + 3) & ~size_t{3};
  return true;
}

std::u16string Text(const std::vector<uint8_t> &bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return text;
}

TEST(ProgramResources, VersionBlockNamesTheProgramAndItsVersion) {
  std::vector<ResourceEntry> entries = ProgramResources();
  const ResourceEntry *entry = Find(entries, kVersion, [](const ResourceId &id) { return Numbered(id, 1); });
  ASSERT_NE(entry, nullptr);
  VersionNode root;
  size_t next;
  ASSERT_TRUE(ReadVersionNode(entry->data, 0, entry->data.size(), &root, &next));
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");

  // VS_FIXEDFILEINFO, 13 DWORDs.
  ASSERT_EQ(root.value.size(), 52u);
  uint32_t fixed[13];
  std::memcpy(fixed, root.value.data(), sizeof fixed);
  EXPECT_EQ(fixed[0], 0xFEEF04BDu);  // signature
  EXPECT_EQ(fixed[2], 0x00000009u);  // file version 0.9 ...
  EXPECT_EQ(fixed[3], 0x00090002u);  // ... .9.2
  EXPECT_EQ(fixed[4], 0x00000009u);  // product version likewise
  EXPECT_EQ(fixed[5], 0x00090002u);
  EXPECT_EQ(fixed[8], 0x00040004u);  // VOS_NT_WINDOWS32
  EXPECT_EQ(fixed[9], 1u);           // VFT_APP

  std::map<std::u16string, std::u16string> strings;
  std::vector<uint8_t> translation;
  for (const VersionNode &block : root.children) {
    if (block.key == u"StringFileInfo") {
      ASSERT_EQ(block.children.size(), 1u);
      EXPECT_EQ(block.children[0].key, u"041104B0");
      for (const VersionNode &value : block.children[0].children) strings[value.key] = Text(value.value);
    } else if (block.key == u"VarFileInfo") {
      ASSERT_EQ(block.children.size(), 1u);
      EXPECT_EQ(block.children[0].key, u"Translation");
      translation = block.children[0].value;
    }
  }
  const std::map<std::u16string, std::u16string> expected = {
      {u"CompanyName", u""},           {u"FileDescription", u"Velmora ｱﾌﾟﾘｹｰｼｮﾝ"},
      {u"FileVersion", u"0, 9, 9, 2"}, {u"InternalName", u"Velmora"},
      {u"ProductName", u"Velmora"},    {u"ProductVersion", u"β2"},
  };
  EXPECT_EQ(strings, expected);
  EXPECT_EQ(translation, (std::vector<uint8_t>{0x11, 0x04, 0xB0, 0x04}));  // 0x0411, 1200
}

}  // namespace
