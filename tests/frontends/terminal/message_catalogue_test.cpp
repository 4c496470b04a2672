// SPDX-License-Identifier: GPL-3.0-or-later
// The language of the front end's own texts follows the locale, and a
// reason is given whole in one language or left as it was made.
#include "message_catalogue.h"

#include <gtest/gtest.h>

namespace terminal {
namespace {

TEST(MessageCatalogue, TheLocaleChoosesTheLanguage) {
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, nullptr), Language::kJapanese);
  EXPECT_EQ(LanguageOfLocale("", "", "C.UTF-8"), Language::kJapanese);
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "ja_JP.UTF-8"), Language::kJapanese);
  EXPECT_EQ(LanguageOfLocale(nullptr, nullptr, "en_US.UTF-8"), Language::kEnglish);
  // LC_ALL before LC_MESSAGES before LANG.
  EXPECT_EQ(LanguageOfLocale("en_GB.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8"), Language::kEnglish);
  EXPECT_EQ(LanguageOfLocale(nullptr, "ja_JP.UTF-8", "en_US.UTF-8"), Language::kJapanese);
}

TEST(MessageCatalogue, AReasonIsGivenWholeInOneLanguage) {
  // The refusal of a read-only network file, with the reason inside it.
  EXPECT_EQ(ToJapanese("the network file /tmp/a b.network is read-only (mode 0444); nothing was changed"),
            "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ /tmp/a b.network は読み取り専用です (ﾓｰﾄﾞ 0444)。何も変更していません。");
  EXPECT_EQ(ToJapanese("another process (velmora, process ID 42) holds the network file /n; try again when it has "
                       "finished"),
            "別のﾌﾟﾛｾｽ (velmora、ﾌﾟﾛｾｽ ID 42)がﾈｯﾄﾜｰｸ ﾌｧｲﾙ /n を使用中です。終わってからもう一度行ってください。");
  EXPECT_EQ(ToJapanese("NTSV01: no answer from the host within 30 s"), "NTSV01: 30 秒以内にﾎｽﾄから応答がありません。");
  // A reason the catalogue does not know stays English as a whole, also
  // inside a text it knows.
  EXPECT_EQ(ToJapanese("something new; nothing was changed"), std::nullopt);
  EXPECT_EQ(ToJapanese("NTSV01: the RPC pipe broke"), std::nullopt);
  SetLanguage(Language::kEnglish);
  EXPECT_EQ(Localize("the terminal was closed"), "the terminal was closed");
  SetLanguage(Language::kJapanese);
  EXPECT_EQ(Localize("the terminal was closed"), "端末が閉じられました。");
  EXPECT_EQ(Localize("something new"), "something new");
}

}  // namespace
}  // namespace terminal
