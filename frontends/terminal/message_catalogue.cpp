// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_catalogue.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace terminal {
namespace {

// Each entry is an English text as the platform or the front end makes it,
// with holes: {} stands for what is shown as it is (a name, a path, a
// number, the system's own wording), {t} for a text of our own that is
// itself looked up. The Japanese names the holes {1}, {2}, ... in the
// English order. Entries are tried in order; the first whose holes all fit
// wins, so a narrower text comes before a wider one.
struct Entry {
  const char *english;
  const char *japanese;
};

const Entry kCatalogue[] = {
    // The network file and its lock (the host layer).
    {"{t}; nothing was changed", "{1}。何も変更していません。"},
    {"{t}; nothing was added", "{1}。何も追加していません。"},
    {"{t}: {}; the network file {} was not changed", "{1}: {2}。ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {3} は変更していません。"},
    {"another process{t} holds the network file {} and is stopped (suspended, as by Ctrl+Z or a STOP signal): it "
     "lets go of the file only when it is continued (kill -CONT {}) or ended",
     "別のﾌﾟﾛｾｽ{1}がﾈｯﾄﾜｰｸ ﾌｧｲﾙ {2} を使ったまま停止しています (Ctrl+Z や STOP ｼｸﾞﾅﾙによる中断)。"
     "再開 (kill -CONT {3}) か終了するまでﾌｧｲﾙは解放されません"},
    {"another process{t} holds the network file {}; try again when it has finished",
     "別のﾌﾟﾛｾｽ{1}がﾈｯﾄﾜｰｸ ﾌｧｲﾙ {2} を使用中です。終わってからもう一度行ってください。"},
    {"another process holds the network file {}; try again when it has finished",
     "別のﾌﾟﾛｾｽがﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を使用中です。終わってからもう一度行ってください。"},
    {" ({}, process ID {})", " ({1}、ﾌﾟﾛｾｽ ID {2})"},
    {" (process ID {})", " (ﾌﾟﾛｾｽ ID {1})"},
    {"the lock file {} is a symbolic link; Velmora does not follow it",
     "ﾛｯｸ ﾌｧｲﾙ {1} はｼﾝﾎﾞﾘｯｸ ﾘﾝｸです。Velmora はﾘﾝｸをたどりません。"},
    {"you may not write the lock file {} (it belongs to user ID {}, mode {}), so Velmora cannot lock the network "
     "file to change it; nothing was changed. Its owner or the administrator may remove it while no one uses the "
     "network: Velmora makes it again with the network file's owner and mode",
     "ﾛｯｸ ﾌｧｲﾙ {1} に書き込めないため (ﾕｰｻﾞｰ ID {2} の所有、ﾓｰﾄﾞ {3})、変更のためにﾈｯﾄﾜｰｸ ﾌｧｲﾙをﾛｯｸできません。"
     "何も変更していません。ﾈｯﾄﾜｰｸを誰も使っていないときに、所有者か管理者が削除してください。"
     "Velmora がﾈｯﾄﾜｰｸ ﾌｧｲﾙと同じ所有者とﾓｰﾄﾞで作り直します。"},
    {"you may not create the lock file {} ({})", "ﾛｯｸ ﾌｧｲﾙ {1} を作成できません ({2})"},
    {"cannot open the lock file {}: {}", "ﾛｯｸ ﾌｧｲﾙ {1} を開けません: {2}"},
    {"the lock file {} is {t}", "ﾛｯｸ ﾌｧｲﾙ {1} は{2}です。"},
    {"cannot lock the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} をﾛｯｸできません: {2}"},
    {"cannot read the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を読めません: {2}"},
    {"the network file {} is {t}, not a regular file", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は{2}で、通常のﾌｧｲﾙではありません。"},
    {"the network file {} is a symbolic link to a file that does not exist",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は、存在しないﾌｧｲﾙへのｼﾝﾎﾞﾘｯｸ ﾘﾝｸです。"},
    {"cannot find the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} が見つかりません: {2}"},
    {"the network file {} has {} names (hard links); Velmora replaces the file as a whole and would leave the "
     "other names with the old network, so it changes nothing (use one name, or symbolic links)",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} には名前 (ﾊｰﾄﾞ ﾘﾝｸ) が {2} 個あります。Velmora はﾌｧｲﾙを丸ごと置き換えるため、"
     "ほかの名前に古いﾈｯﾄﾜｰｸが残ります。何も変更しません (名前を 1 つにするか、ｼﾝﾎﾞﾘｯｸ ﾘﾝｸを使ってください)。"},
    {"the network file {} is read-only (mode {})", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は読み取り専用です (ﾓｰﾄﾞ {2})"},
    {"the network file {} is on a file system mounted read-only",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は読み取り専用でﾏｳﾝﾄされたﾌｧｲﾙ ｼｽﾃﾑにあります"},
    {"you may not write the network file {} ({})", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} に書き込めません ({2})"},
    {"the network file {} belongs to another user (ID {}), and a replacement would belong to you",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} はほかのﾕｰｻﾞｰ (ID {2}) のもので、置き換えるとあなたのものになってしまいます"},
    {"cannot examine the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を調べられません: {2}"},
    {"the folder {} that holds the network file is on a file system mounted read-only",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙのあるﾌｫﾙﾀﾞ {1} は読み取り専用でﾏｳﾝﾄされたﾌｧｲﾙ ｼｽﾃﾑにあります"},
    {"you may not write the folder {} that holds the network file ({})",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙのあるﾌｫﾙﾀﾞ {1} に書き込めません ({2})"},
    {"cannot create a temporary file in {}: {}", "{1} に一時ﾌｧｲﾙを作成できません: {2}"},
    {"cannot lock the temporary file {}", "一時ﾌｧｲﾙ {1} をﾛｯｸできません"},
    {"cannot give the new file the owner of {}", "新しいﾌｧｲﾙに {1} の所有者を設定できません"},
    {"cannot give the new file the mode of {}", "新しいﾌｧｲﾙに {1} のﾓｰﾄﾞを設定できません"},
    {"cannot write {}", "{1} に書き込めません"},
    {"cannot replace {}", "{1} を置き換えられません"},
    {"neither VELMORA_NETWORK, XDG_STATE_HOME nor HOME names where the network file is kept",
     "VELMORA_NETWORK、XDG_STATE_HOME、HOME のどれもﾈｯﾄﾜｰｸ ﾌｧｲﾙの置き場所を示していません。"},
    {"cannot create the folder {}: {}", "ﾌｫﾙﾀﾞ {1} を作成できません: {2}"},
    {"a folder", "ﾌｫﾙﾀﾞ"},
    {"a FIFO", "FIFO"},
    {"a device", "ﾃﾞﾊﾞｲｽ"},
    {"a socket", "ｿｹｯﾄ"},
    {"not a regular file", "通常のﾌｧｲﾙ以外のもの"},
    // The network file as the simulated network opens it.
    {"there is no network file {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} がありません。"},
    {"the Schedule service of {} has given out the highest job ID there is, 4294967295, and cannot number a new "
     "job",
     "{1} のｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽは最大のｼﾞｮﾌﾞ ID 4294967295 まで使い切り、新しいｼﾞｮﾌﾞに番号を付けられません"},
    // The real network.
    {"the connection was closed", "接続が閉じられました。"},
    {"no answer from the host within {} s", "{1} 秒以内にﾎｽﾄから応答がありません。"},
    {"the network names no credentials file", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙに資格情報ﾌｧｲﾙ (credentials) の指定がありません。"},
    {"the credentials file cannot be used: {}", "資格情報ﾌｧｲﾙを使えません: {1}"},
    // The front end's own.
    {"the network file holds no computer", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙにｺﾝﾋﾟｭｰﾀが 1 台もありません。"},
    {"this computer ({}) is not in the network file", "このｺﾝﾋﾟｭｰﾀ ({1}) はﾈｯﾄﾜｰｸ ﾌｧｲﾙにありません。"},
    {"the terminal is too small", "端末が小さすぎます。"},
    {"Velmora needs at least {} x {} (now {} x {})", "少なくとも {1} x {2} 必要です (今 {3} x {4})。"},
    {"the help file {} cannot be found", "ﾍﾙﾌﾟ ﾌｧｲﾙ {1} が見つかりません。"},
    {"the program's resources cannot be loaded", "ﾌﾟﾛｸﾞﾗﾑのﾘｿｰｽを読み込めません。"},
    {"the terminal was closed", "端末が閉じられました。"},
    {"program fault: {}", "ﾌﾟﾛｸﾞﾗﾑの障害: {1}"},
    {"standard input and output must be a terminal", "標準入力と標準出力は端末でなければなりません。"},
    {"TERM is not set", "TERM が設定されていません。"},
    {"the terminal type '{}' is unknown", "端末の種類 '{1}' は不明です。"},
    // Last: a text said of one computer or one network file ("NAME: reason").
    {"network file {}: {t}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1}: {2}"},
    {"{w}: {t}", "{1}: {2}"},
};

Language g_language = Language::kJapanese;

struct Piece {
  enum Kind { kLiteral, kAsIs, kTranslated, kWord } kind;
  std::string text;  // kLiteral
};

std::vector<Piece> Parse(const char *pattern) {
  std::vector<Piece> pieces;
  std::string literal;
  for (const char *p = pattern; *p != '\0';) {
    Piece::Kind hole = Piece::kLiteral;
    size_t length = 0;
    if (std::strncmp(p, "{}", 2) == 0) hole = Piece::kAsIs, length = 2;
    if (std::strncmp(p, "{t}", 3) == 0) hole = Piece::kTranslated, length = 3;
    if (std::strncmp(p, "{w}", 3) == 0) hole = Piece::kWord, length = 3;
    if (hole == Piece::kLiteral) {
      literal += *p++;
      continue;
    }
    if (!literal.empty()) pieces.push_back(Piece{Piece::kLiteral, literal});
    literal.clear();
    pieces.push_back(Piece{hole, ""});
    p += length;
  }
  if (!literal.empty()) pieces.push_back(Piece{Piece::kLiteral, literal});
  return pieces;
}

// Matches text[at...] against pieces[from...], filling the holes (each one
// at least a character, the shortest first); a {t} hole must translate.
bool Match(const std::vector<Piece> &pieces, size_t from, const std::string &text, size_t at,
           std::vector<std::string> *holes) {
  if (from == pieces.size()) return at == text.size();
  const Piece &piece = pieces[from];
  if (piece.kind == Piece::kLiteral) {
    if (text.compare(at, piece.text.size(), piece.text) != 0) return false;
    return Match(pieces, from + 1, text, at + piece.text.size(), holes);
  }
  for (size_t end = at + 1; end <= text.size(); ++end) {
    std::string hole = text.substr(at, end - at);
    if (piece.kind == Piece::kWord && hole.find(' ') != std::string::npos) return false;
    if (piece.kind == Piece::kTranslated) {
      // Only where the next literal can follow, to spare lookups.
      if (from + 1 < pieces.size() && text.compare(end, pieces[from + 1].text.size(), pieces[from + 1].text) != 0)
        continue;
      if (from + 1 == pieces.size() && end != text.size()) continue;
      std::optional<std::string> japanese = ToJapanese(hole);
      if (!japanese) continue;
      hole = *japanese;
    }
    holes->push_back(hole);
    if (Match(pieces, from + 1, text, end, holes)) return true;
    holes->pop_back();
  }
  return false;
}

std::string Fill(const char *japanese, const std::vector<std::string> &holes) {
  std::string out;
  for (const char *p = japanese; *p != '\0';) {
    if (p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
      size_t index = static_cast<size_t>(p[1] - '1');
      if (index < holes.size()) out += holes[index];
      p += 3;
    } else {
      out += *p++;
    }
  }
  return out;
}

bool NamesJapanese(const char *locale) {
  return std::strncmp(locale, "ja", 2) == 0 || std::strcmp(locale, "C") == 0 || std::strncmp(locale, "C.", 2) == 0 ||
         std::strcmp(locale, "POSIX") == 0;
}

}  // namespace

Language LanguageOfLocale(const char *lc_all, const char *lc_messages, const char *lang) {
  for (const char *locale : {lc_all, lc_messages, lang})
    if (locale != nullptr && *locale != '\0') return NamesJapanese(locale) ? Language::kJapanese : Language::kEnglish;
  return Language::kJapanese;
}

Language LanguageFromEnvironment() {
  return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

void SetLanguage(Language language) { g_language = language; }

std::optional<std::string> ToJapanese(const std::string &english) {
  for (const Entry &entry : kCatalogue) {
    std::vector<std::string> holes;
    if (Match(Parse(entry.english), 0, english, 0, &holes)) return Fill(entry.japanese, holes);
  }
  return std::nullopt;
}

std::string Localize(const std::string &english) {
  if (g_language == Language::kEnglish) return english;
  return ToJapanese(english).value_or(english);
}

}  // namespace terminal
