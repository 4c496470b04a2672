// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include "message_catalogue.h"
#include "text_width.h"

#include <standin/resources.h>

#include <cstdint>
#include <map>
#include <vector>

namespace terminal {
namespace {

// One node of a version block: its key, its value (text when it is text)
// and its children, each aligned to four bytes.
struct VersionNode {
  std::u16string key;
  std::vector<uint8_t> value;
  bool text = false;
  std::vector<VersionNode> children;
};

uint16_t Word(const std::vector<uint8_t> &data, size_t at) {
  return static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
}

size_t Align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

bool ParseNode(const std::vector<uint8_t> &data, size_t at, size_t limit, VersionNode *node, size_t *next) {
  if (at + 6 > limit) return false;
  size_t length = Word(data, at), value_length = Word(data, at + 2);
  node->text = Word(data, at + 4) == 1;
  size_t end = at + length;
  if (length < 6 || end > limit) return false;
  size_t p = at + 6;
  for (; p + 1 < end && Word(data, p) != 0; p += 2) node->key += static_cast<char16_t>(Word(data, p));
  p = Align4(p + 2);
  size_t value_bytes = node->text ? value_length * 2 : value_length;
  if (p + value_bytes > end) value_bytes = end > p ? end - p : 0;
  node->value.assign(data.begin() + static_cast<long>(p), data.begin() + static_cast<long>(p + value_bytes));
  p = Align4(p + value_bytes);
  while (p + 6 <= end) {
    VersionNode child;
    size_t after = 0;
    if (!ParseNode(data, p, end, &child, &after)) break;
    node->children.push_back(child);
    p = Align4(after);
  }
  *next = end;
  return true;
}

std::string Utf8Of(const std::u16string &text) {
  std::wstring wide;
  for (char16_t c : text) {
    if (c == 0) break;
    wide += static_cast<wchar_t>(c);
  }
  return EncodeUtf8(wide);
}

std::u16string TextValue(const VersionNode &node) {
  std::u16string text;
  for (size_t i = 0; i + 1 < node.value.size(); i += 2)
    text += static_cast<char16_t>(node.value[i] | (node.value[i + 1] << 8));
  return text;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char *const *argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      line.action = CommandLine::kHelp;
    } else if (arg == "--version") {
      if (line.action != CommandLine::kHelp) line.action = CommandLine::kVersion;
    } else {
      line.action = CommandLine::kUsageError;
      line.unknown = arg;
      return line;
    }
  }
  return line;
}

// In paragraphs, English and Japanese, in the language of the front end's
// texts; the help file's paragraph names the file, the options' ends it.
std::string UsageText(const std::string &help_file) {
  struct Paragraph {
    const char *english;
    const char *japanese;
  };
  static const Paragraph kParagraphs[] = {
      {"Usage: velmora [--help | --version]", "使い方: velmora [--help | --version]"},
      {"Velmora manages the jobs of the Windows NT Schedule service on the computers of a\n"
       "simulated network, full screen in this terminal (UTF-8, at least 76 x 24).",
       "Velmora は、模擬ﾈｯﾄﾜｰｸのｺﾝﾋﾟｭｰﾀで Windows NT のｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽのｼﾞｮﾌﾞを\n"
       "この端末の全画面で管理します (UTF-8、76 x 24 以上)。"},
      {"The network file describes that network: its computers, their Schedule services\n"
       "and their jobs, one statement a line. Every change Velmora makes is written back\n"
       "to it at once.\n"
       "  VELMORA_NETWORK  the network file to use. Without it, your own default network:\n"
       "                   $XDG_STATE_HOME/velmora/network (else ~/.local/state/velmora/network),\n"
       "                   created with this machine alone, its Schedule service running.",
       "ﾈｯﾄﾜｰｸ ﾌｧｲﾙはそのﾈｯﾄﾜｰｸのｺﾝﾋﾟｭｰﾀ、ｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽとｼﾞｮﾌﾞを 1 行に 1 文で\n"
       "記述します。Velmora が変更すると、すぐにこのﾌｧｲﾙへ書き戻します。\n"
       "  VELMORA_NETWORK  使うﾈｯﾄﾜｰｸ ﾌｧｲﾙ。ないときは自分の既定のﾈｯﾄﾜｰｸ\n"
       "                   $XDG_STATE_HOME/velmora/network (なければ ~/.local/state/velmora/network)。\n"
       "                   このﾏｼﾝだけを、ｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽが動作中の状態で作ります。"},
      {"Keys: Tab and Shift+Tab move between controls (into a radio group at its\n"
       "checked button), arrows within lists and groups (Left and Right scroll a list\n"
       "sideways), Space presses or selects, Enter presses a dialog's default (bold)\n"
       "button, in the main window only Add when it has the focus, Esc cancels a\n"
       "dialog, Alt+letter picks the underlined letter; F1 help at the dialog's\n"
       "section, F2 keyboard pointer that clicks as the mouse does, for terminals\n"
       "without a mouse (it stays after a click until F2 or Esc), F3 list column\n"
       "widths. The mouse clicks, drags column dividers and scrolls lists, sideways\n"
       "with Shift+wheel.",
       "ｷｰ: Tab と Shift+Tab でｺﾝﾄﾛｰﾙ間を移動 (ﾗｼﾞｵ ｸﾞﾙｰﾌﾟにはﾁｪｯｸされたﾎﾞﾀﾝへ)、矢印で\n"
       "ﾘｽﾄやｸﾞﾙｰﾌﾟの中を移動 (Left と Right でﾘｽﾄを横にｽｸﾛｰﾙ)、Space で押す・選ぶ、\n"
       "Enter でﾀﾞｲｱﾛｸﾞの既定 (太字) のﾎﾞﾀﾝを押す (ﾒｲﾝ ｳｨﾝﾄﾞｳでは追加にﾌｫｰｶｽがある\n"
       "ときだけ)、Esc でﾀﾞｲｱﾛｸﾞを取り消す、Alt+文字で下線の文字を選ぶ。F1 でﾀﾞｲｱﾛｸﾞの\n"
       "節のﾍﾙﾌﾟ、F2 でﾏｳｽのない端末のためのｷｰﾎﾞｰﾄﾞ ﾎﾟｲﾝﾀ (ﾏｳｽと同じくｸﾘｯｸし、ｸﾘｯｸ後も\n"
       "F2 か Esc まで残る)、F3 でﾘｽﾄの列幅。ﾏｳｽではｸﾘｯｸ、列の境界のﾄﾞﾗｯｸﾞ、ﾘｽﾄの\n"
       "ｽｸﾛｰﾙができます (Shift+ﾎｲｰﾙで横)。"},
  };
  static const Paragraph kOptions = {
      "  --help     show this text and exit\n"
      "  --version  show the version and exit",
      "  --help     この説明を表示して終了します\n"
      "  --version  ﾊﾞｰｼﾞｮﾝを表示して終了します"};
  const bool english = CurrentLanguage() == Language::kEnglish;
  std::string text;
  for (const Paragraph &paragraph : kParagraphs)
    text += std::string(english ? paragraph.english : paragraph.japanese) + "\n\n";
  text += english ? "Help: F1 or the Help button shows " + help_file + "\n\n"
                  : "ﾍﾙﾌﾟ: F1 かﾍﾙﾌﾟ ﾎﾞﾀﾝで " + help_file + " を表示します。\n\n";
  return text + (english ? kOptions.english : kOptions.japanese) + "\n";
}

std::string VersionText(const void *res_data, size_t res_size) {
  std::vector<standin::ResourceEntry> entries;
  std::string error;
  if (!standin::ParseResFile(res_data, res_size, &entries, &error)) return "";
  for (const standin::ResourceEntry &entry : entries) {
    if (!entry.type.is_number || entry.type.number != 16) continue;  // RT_VERSION
    VersionNode root;
    size_t next = 0;
    if (!ParseNode(entry.data, 0, entry.data.size(), &root, &next) || root.value.size() < 52) return "";
    auto dword = [&](size_t at) {
      return static_cast<uint32_t>(root.value[at] | (root.value[at + 1] << 8) | (root.value[at + 2] << 16) |
                                   (static_cast<uint32_t>(root.value[at + 3]) << 24));
    };
    if (dword(0) != 0xFEEF04BD) return "";
    uint32_t ms = dword(8), ls = dword(12);
    std::string version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                          std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
    // The strings of the first language in StringFileInfo.
    std::map<std::u16string, std::string> strings;
    for (const VersionNode &info : root.children)
      if (info.key == u"StringFileInfo" && !info.children.empty())
        for (const VersionNode &string : info.children.front().children)
          strings[string.key] = Utf8Of(TextValue(string));
    std::string name = strings.count(u"ProductName") ? strings[u"ProductName"] : "Velmora";
    std::string text = name + " " + version;
    if (strings.count(u"ProductVersion") && !strings[u"ProductVersion"].empty())
      text += " (" + strings[u"ProductVersion"] + ")";
    return text;
  }
  return "";
}

}  // namespace terminal
