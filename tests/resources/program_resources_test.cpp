// Checks the program's compiled resources: the four dialogs, the icon and the
// version block, in Japanese. What the dialogs hold is played by the
// scenarios.
#include <standin/resources.h>
#include <standin/text.h>

#include <commctrl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

using standin::ResourceEntry;
using standin::ResourceId;

constexpr uint16_t kIcon = 3, kDialog = 5, kGroupIcon = 14, kVersion = 16;
constexpr uint16_t kJapanese = 0x0411;

std::vector<ResourceEntry> ProgramResources() {
  std::vector<ResourceEntry> entries;
  std::string error;
  EXPECT_TRUE(standin::ParseResFile(velmora_res, velmora_res_size, &entries, &error)) << error;
  return entries;
}

bool Numbered(const ResourceId &id, uint16_t number) { return id.is_number && id.number == number; }

template <typename Match>
const ResourceEntry *Find(const std::vector<ResourceEntry> &entries, uint16_t type, Match match) {
  auto it = std::find_if(entries.begin(), entries.end(),
                         [&](const ResourceEntry &e) { return Numbered(e.type, type) && match(e.name); });
  return it == entries.end() ? nullptr : &*it;
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
