// SPDX-License-Identifier: GPL-3.0-or-later
// The resource reader on malformed and cut input, which it must refuse with a message. What it reads from whole files
// is played by every scenario: the program's own dialogs (plain and extended templates, a window class, fonts,
// IDC_STATIC, an icon's ordinal) are built from it.
#include <standin/resources.h>

#include <gtest/gtest.h>

#include <algorithm>

extern "C" const unsigned char reader_sample_res[];
extern "C" const unsigned long reader_sample_res_size;

namespace standin {
namespace {

std::vector<uint8_t> SampleBytes() { return {reader_sample_res, reader_sample_res + reader_sample_res_size}; }

std::vector<ResourceEntry> SampleEntries() {
  std::vector<ResourceEntry> entries;
  std::string error;
  EXPECT_TRUE(ParseResFile(reader_sample_res, reader_sample_res_size, &entries, &error)) << error;
  return entries;
}

std::string Refusal(const std::vector<uint8_t> &bytes) {
  DialogTemplate dialog;
  std::string error;
  EXPECT_FALSE(ParseDialogTemplate(bytes.data(), bytes.size(), &dialog, &error));
  return error;
}

// Each cut of the file is either rejected with a message or read as the entries wholly before the cut, and every cut
// template is rejected: never garbage, never a read past the end (the sanitizer build checks the latter).
TEST(ResourceReader, CutInputIsRefusedOrYieldsWholeEntries) {
  const std::vector<ResourceEntry> full = SampleEntries();
  const std::vector<uint8_t> bytes = SampleBytes();
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
    std::vector<ResourceEntry> entries;
    std::string error;
    if (ParseResFile(cut.data(), cut.size(), &entries, &error)) {
      ASSERT_LE(entries.size(), full.size()) << size;
      for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].data, full[i].data) << size;
    } else {
      EXPECT_FALSE(error.empty()) << size;
    }
  }
  // Data of an odd size puts the next entry at the next multiple of 4, and the closing padding may be missing; then
  // the fields that no dialog on the screen shows.
  std::vector<uint8_t> odd(bytes.begin(), bytes.end() - 2);
  odd[32] = 241;
  std::vector<ResourceEntry> entries;
  ASSERT_TRUE(ParseResFile(odd.data(), odd.size(), &entries, nullptr));
  EXPECT_EQ(entries.back().data, full.back().data);
  EXPECT_EQ(full[0].language, 0x411);
  DialogTemplate extended;
  ASSERT_TRUE(ParseDialogTemplate(full[1].data.data(), full[1].data.size(), &extended, nullptr));
  EXPECT_EQ(extended.help_id, 7u);
  EXPECT_EQ(extended.face, u"Face");
  DialogTemplate plain;
  ASSERT_TRUE(ParseDialogTemplate(full[0].data.data(), full[0].data.size(), &plain, nullptr));
  EXPECT_EQ(plain.items[1].id, 0xFFFF);
  for (const ResourceEntry &entry : full)
    for (size_t size = 0; size < entry.data.size(); ++size)
      EXPECT_FALSE(Refusal({entry.data.begin(), entry.data.begin() + size}).empty()) << size;
}

TEST(ResourceReader, RefusesMalformedHeadersAndTemplates) {
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
  std::vector<uint8_t> no_characteristics(sample.begin(), sample.begin() + 28);
  no_characteristics[4] = 28;
  const std::pair<const char *, std::vector<uint8_t>> files[] = {
      {"data size beyond the end", patched(32, {0xFF, 0xFF, 0xFF, 0x7F})},
      {"header size beyond the end", patched(36, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"header size shorter than its fields", patched(36, {0x08, 0, 0, 0})},
      {"no empty first entry", patched(0, {0x10, 0, 0, 0})},
      {"a first entry of type 5", patched(10, {5})},
      {"header without its characteristics", no_characteristics},
      {"unterminated name", unterminated},
  };
  for (const auto &[what, bytes] : files) {
    std::vector<ResourceEntry> entries;
    std::string error;
    EXPECT_FALSE(ParseResFile(bytes.data(), bytes.size(), &entries, &error)) << what;
    EXPECT_FALSE(error.empty()) << what;
  }

  std::vector<ResourceEntry> entries = SampleEntries();
  // Read again into the same vector, the file's entries replace what it held.
  ASSERT_TRUE(ParseResFile(sample.data(), sample.size(), &entries, nullptr));
  EXPECT_EQ(entries.size(), SampleEntries().size());
  // The empty leading entry alone is a whole file: its last field ends the bytes.
  std::vector<ResourceEntry> none;
  EXPECT_TRUE(ParseResFile(sample.data(), 32, &none, nullptr) && none.empty());
  // A count that the bytes cannot hold is refused before items are made for it.
  std::vector<uint8_t> plain = entries[0].data;
  plain[8] = plain[9] = 0xFF;
  EXPECT_NE(Refusal(plain).find("declares 65535 items"), std::string::npos);
  // Yet a count that the bytes just hold is taken: one item of the smallest kind (a class ordinal, no title or data).
  std::vector<uint8_t> smallest(24 + 26, 0);
  smallest[8] = 1;
  smallest[24 + 18] = smallest[24 + 19] = 0xFF;
  smallest[24 + 20] = 0x80;
  DialogTemplate one;
  ASSERT_TRUE(ParseDialogTemplate(smallest.data(), smallest.size(), &one, nullptr));
  EXPECT_EQ(one.items.size(), 1u);
  EXPECT_NE(Refusal({smallest.begin(), smallest.end() - 1}).find("declares 1 items"),
            std::string::npos);                                   // a byte short
  smallest[24 + 18] = smallest[24 + 19] = smallest[24 + 20] = 0;  // a class named by an empty string
  EXPECT_NE(Refusal(smallest).find("empty class name"), std::string::npos);
  // An ordinal that is no predefined class (BUTTON's 0x80 made 0x86).
  plain = entries[0].data;
  const uint8_t button[] = {0xFF, 0xFF, 0x80, 0x00};
  const auto at = std::search(plain.begin(), plain.end(), std::begin(button), std::end(button));
  ASSERT_NE(at, plain.end());
  at[2] = 0x86;
  EXPECT_NE(Refusal(plain).find("class"), std::string::npos);
  std::vector<uint8_t> extended = entries[1].data;
  extended[16] = 4;  // the 100 bytes after its font hold no 4 extended items
  EXPECT_NE(Refusal(extended).find("declares 4 items"), std::string::npos);
  extended[0] = 2;  // (refused before its count is read)
  EXPECT_NE(Refusal(extended).find("version"), std::string::npos);
}

}  // namespace
}  // namespace standin
