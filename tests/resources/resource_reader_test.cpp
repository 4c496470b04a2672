// SPDX-License-Identifier: GPL-3.0-or-later
#include <standin/resources.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

extern "C" const unsigned char reader_sample_res[];
extern "C" const unsigned long reader_sample_res_size;

namespace {

using standin::DialogTemplate;
using standin::ParseDialogTemplate;
using standin::ParseResFile;
using standin::ResourceEntry;
using standin::ResourceId;

constexpr uint16_t kDialogType = 5;

std::vector<uint8_t> SampleBytes() { return {reader_sample_res, reader_sample_res + reader_sample_res_size}; }

std::vector<ResourceEntry> SampleEntries() {
  std::vector<ResourceEntry> entries;
  std::string error;
  EXPECT_TRUE(ParseResFile(reader_sample_res, reader_sample_res_size, &entries, &error)) << error;
  return entries;
}

bool Is(const ResourceId &id, const std::u16string &name) { return !id.is_number && id.name == name; }
bool Is(const ResourceId &id, uint16_t number) { return id.is_number && id.number == number; }

template <typename Name>
const ResourceEntry *FindDialog(const std::vector<ResourceEntry> &entries, Name name) {
  for (const ResourceEntry &entry : entries) {
    if (Is(entry.type, kDialogType) && Is(entry.name, name)) return &entry;
  }
  return nullptr;
}

template <typename Name>
DialogTemplate SampleDialog(Name name) {
  std::vector<ResourceEntry> entries = SampleEntries();
  const ResourceEntry *entry = FindDialog(entries, name);
  DialogTemplate dialog;
  if (!entry) {
    ADD_FAILURE() << "dialog missing from the sample";
    return dialog;
  }
  std::string error;
  EXPECT_TRUE(ParseDialogTemplate(entry->data.data(), entry->data.size(), &dialog, &error)) << error;
  return dialog;
}

TEST(ResourceReader, ListsEveryResourceWithItsLanguage) {
  std::vector<ResourceEntry> entries = SampleEntries();
  ASSERT_EQ(entries.size(), 3u);  // the empty leading entry is not a resource
  ASSERT_NE(FindDialog(entries, u"PLAIN_DIALOG"), nullptr);
  ASSERT_NE(FindDialog(entries, u"NOFONT"), nullptr);
  ASSERT_NE(FindDialog(entries, uint16_t{300}), nullptr);
  EXPECT_EQ(FindDialog(entries, u"PLAIN_DIALOG")->language, 0x0411);
  EXPECT_EQ(FindDialog(entries, uint16_t{300})->language, 0x0409);
}

TEST(ResourceReader, ReadsPlainDialogTemplate) {
  DialogTemplate dialog = SampleDialog(u"PLAIN_DIALOG");
  EXPECT_FALSE(dialog.extended);
  EXPECT_EQ(dialog.style, 0x80C800C8u);
  EXPECT_EQ(dialog.ex_style, 1u);
  EXPECT_EQ(std::make_tuple(dialog.x, dialog.y, dialog.cx, dialog.cy), std::make_tuple(10, 20, 200, 100));
  EXPECT_TRUE(Is(dialog.window_class, u"SAMPLECLASS"));
  EXPECT_FALSE(dialog.menu.is_number);
  EXPECT_TRUE(dialog.menu.name.empty());
  EXPECT_EQ(dialog.caption, u"Plain ﾀﾞｲｱﾛｸﾞ");
  EXPECT_EQ(dialog.point_size, 9);
  EXPECT_EQ(dialog.face, u"ＭＳ Ｐゴシック");

  ASSERT_EQ(dialog.items.size(), 4u);
  const auto &ok = dialog.items[0];
  EXPECT_EQ(ok.id, 1);
  EXPECT_EQ(ok.class_name, "BUTTON");
  EXPECT_TRUE(Is(ok.title, u"OK"));
  EXPECT_EQ(ok.style, 0x50010001u);
  EXPECT_EQ(std::make_tuple(ok.x, ok.y, ok.cx, ok.cy), std::make_tuple(5, 6, 50, 14));

  EXPECT_EQ(dialog.items[1].id, -1);  // IDC_STATIC
  EXPECT_EQ(dialog.items[1].x, -3);
  EXPECT_TRUE(Is(dialog.items[2].title, 111));  // an icon's ordinal
  EXPECT_EQ(dialog.items[3].class_name, "MYWIDGET");
  EXPECT_EQ(dialog.items[3].ex_style, 0x200u);
}

TEST(ResourceReader, ReadsExtendedDialogTemplate) {
  DialogTemplate dialog = SampleDialog(uint16_t{300});
  EXPECT_TRUE(dialog.extended);
  EXPECT_EQ(dialog.help_id, 7u);
  EXPECT_EQ(dialog.style, 0x80C80048u);
  EXPECT_EQ(dialog.caption, u"Ext");
  EXPECT_EQ(dialog.point_size, 8);
  EXPECT_EQ(dialog.weight, 700);
  EXPECT_EQ(dialog.italic, 1);
  EXPECT_EQ(dialog.charset, 128);
  EXPECT_EQ(dialog.face, u"Face");

  ASSERT_EQ(dialog.items.size(), 2u);
  const auto &edit = dialog.items[0];
  EXPECT_EQ(edit.id, 70000);  // identifiers are 32-bit in extended templates
  EXPECT_EQ(edit.help_id, 42u);
  EXPECT_EQ(edit.ex_style, 0x200u);
  EXPECT_EQ(edit.style, 0x50810080u);
  EXPECT_EQ(edit.class_name, "EDIT");
  EXPECT_TRUE(Is(edit.title, u"Edit"));
  EXPECT_EQ(dialog.items[1].class_name, "COMBOBOX");
  EXPECT_EQ(dialog.items[1].creation_data, (std::vector<uint8_t>{0x34, 0x12, 0x78, 0x56}));
}

TEST(ResourceReader, ReadsDialogWithoutFontOrItems) {
  DialogTemplate dialog = SampleDialog(u"NOFONT");
  EXPECT_TRUE(Is(dialog.menu, 5));
  EXPECT_EQ(dialog.point_size, 0);
  EXPECT_TRUE(dialog.face.empty());
  EXPECT_TRUE(dialog.items.empty());
}

// Hand-built plain template: predefined classes stored as ordinals.
TEST(ResourceReader, MapsPredefinedClassOrdinals) {
  std::vector<uint8_t> bytes = {
      0x00, 0x00, 0x00, 0x80, 0,    0,    0,    0,    1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // style, ex style, 1 item, rect
      0,    0,    0,    0,    0,    0,                                               // no menu, no class, empty caption
      0,    0,    0,    0x50, 0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 9, 0,  // item header, id 9
      0xFF, 0xFF, 0x84, 0x00, 0xFF, 0xFF, 0x6F, 0x00, 0, 0};                         // SCROLLBAR, title ordinal 111
  DialogTemplate dialog;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog, &error)) << error;
  ASSERT_EQ(dialog.items.size(), 1u);
  EXPECT_EQ(dialog.items[0].id, 9);
  EXPECT_TRUE(Is(dialog.items[0].title, 111));
  EXPECT_TRUE(Is(dialog.items[0].class_id, 0x84));
  EXPECT_EQ(dialog.items[0].class_name, "SCROLLBAR");

  bytes[44] = 0x86;  // not a predefined class
  EXPECT_FALSE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog, &error));
  EXPECT_NE(error.find("class"), std::string::npos);

  // A count that the bytes cannot hold is refused before items are made for it.
  bytes.resize(24);
  bytes[8] = bytes[9] = 0xFF;
  EXPECT_FALSE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog, &error));
  EXPECT_NE(error.find("declares 65535 items"), std::string::npos) << error;
}

// Each cut of the file is either rejected with a message or read as the
// entries wholly before the cut; never garbage, never a read past the end
// (the sanitizer build checks the latter).
TEST(ResourceReader, TruncatedFileIsRejectedOrYieldsWholeEntries) {
  std::vector<ResourceEntry> full = SampleEntries();
  std::vector<uint8_t> bytes = SampleBytes();
  for (size_t size = 0; size < bytes.size(); ++size) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
    std::vector<ResourceEntry> entries;
    std::string error;
    if (ParseResFile(cut.data(), cut.size(), &entries, &error)) {
      ASSERT_LE(entries.size(), full.size()) << size;
      for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].data, full[i].data) << size;
    } else {
      EXPECT_FALSE(error.empty()) << size;
    }
  }
}

TEST(ResourceReader, TruncatedDialogTemplateIsRejected) {
  for (const ResourceEntry &entry : SampleEntries()) {
    for (size_t size = 0; size < entry.data.size(); ++size) {
      std::vector<uint8_t> cut(entry.data.begin(), entry.data.begin() + size);
      DialogTemplate dialog;
      std::string error;
      EXPECT_FALSE(ParseDialogTemplate(cut.data(), cut.size(), &dialog, &error)) << size;
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(ResourceReader, RejectsMalformedHeaders) {
  const std::vector<uint8_t> sample = SampleBytes();
  auto patched = [&](size_t offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> out = sample;
    std::copy(bytes.begin(), bytes.end(), out.begin() + offset);
    return out;
  };
  // The empty leading entry, then a header whose name runs to the end.
  std::vector<uint8_t> unterminated(sample.begin(), sample.begin() + 32);
  const uint8_t header[] = {0x10, 0, 0, 0, 0x40, 0, 0, 0, 0xFF, 0xFF, 5, 0, 'A', 0, 'B', 0};
  unterminated.insert(unterminated.end(), std::begin(header), std::end(header));
  const std::pair<const char *, std::vector<uint8_t>> cases[] = {
      {"data size beyond the end", patched(32, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"header size beyond the end", patched(36, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"header size shorter than its fields", patched(36, {0x08, 0, 0, 0})},
      {"no empty first entry", patched(0, {0x10, 0, 0, 0})},
      {"unterminated name", unterminated},
  };
  for (const auto &[what, bytes] : cases) {
    std::vector<ResourceEntry> entries;
    std::string error;
    EXPECT_FALSE(ParseResFile(bytes.data(), bytes.size(), &entries, &error)) << what;
    EXPECT_FALSE(error.empty()) << what;
  }
}

TEST(ResourceReader, RejectsUnknownExtendedTemplateVersion) {
  std::vector<ResourceEntry> entries = SampleEntries();
  const ResourceEntry *entry = FindDialog(entries, uint16_t{300});
  ASSERT_NE(entry, nullptr);
  std::vector<uint8_t> bytes = entry->data;
  bytes[0] = 2;
  DialogTemplate dialog;
  std::string error;
  EXPECT_FALSE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog, &error));
  EXPECT_NE(error.find("version"), std::string::npos);
}

}  // namespace
