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
  for (const ResourceEntry &entry : full) {
    for (size_t size = 0; size < entry.data.size(); ++size) {
      const std::vector<uint8_t> cut(entry.data.begin(), entry.data.begin() + size);
      EXPECT_FALSE(Refusal(cut).empty()) << size;
    }
  }
}

}  // namespace
}  // namespace standin
