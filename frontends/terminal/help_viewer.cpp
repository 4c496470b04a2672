// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_viewer.h"

#include "message_catalogue.h"
#include "text_width.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace terminal {
namespace {

const wchar_t kDefaultTitle[] = L"\x30D8\x30EB\x30D7";  // ヘルプ

// The viewer's keys, in the language of the front end's texts.
std::wstring KeyHint() {
  return L" Up/Down PgUp/PgDn Home/End: " + DecodeUtf8(Localize("scroll")) + L"   Esc: " +
         DecodeUtf8(Localize("close")) + L" ";
}

bool IsReadableFile(const std::string &path) {
  std::ifstream in(path);
  return in.good();
}

}  // namespace

std::string FindHelpText(const std::string &help_file, const std::vector<std::string> &directories) {
  std::string name = help_file;
  size_t slash = name.find_last_of("/\\:");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  if (name.empty() || name == "..") return "";
  for (const std::string &dir : directories) {
    if (dir.empty()) continue;
    std::string path = dir + "/" + name + ".txt";
    if (IsReadableFile(path)) return path;
  }
  return "";
}

void HelpViewer::Open(const std::vector<std::wstring> &lines) {
  lines_ = lines;
  title_ = kDefaultTitle;
  if (!lines_.empty() && lines_[0].rfind(L"# ", 0) == 0) {
    title_ = lines_[0].substr(2);
    lines_.erase(lines_.begin());
  }
  wrapped_width_ = -1;
  top_ = 0;
  section_.clear();
  open_ = true;
}

bool HelpViewer::OpenFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream content;
  content << in.rdbuf();
  if (in.bad()) return false;
  std::wstring text = DecodeUtf8(content.str());
  for (wchar_t &c : text)
    if (c == L'\t') c = L' ';
  std::vector<std::wstring> lines = SplitLines(text);
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  Open(lines);
  return true;
}

bool HelpViewer::HandleKey(const TerminalEvent &e) {
  int last = std::max(0, static_cast<int>(wrapped_.size()) - PageRows());
  switch (e.key) {
    case Key::kEscape:
      Close();
      return true;
    case Key::kUp:
      top_ = std::max(0, top_ - 1);
      return true;
    case Key::kDown:
      top_ = std::min(last, top_ + 1);
      return true;
    case Key::kPageUp:
      top_ = std::max(0, top_ - PageRows());
      return true;
    case Key::kPageDown:
    case Key::kSpace:
      top_ = std::min(last, top_ + PageRows());
      return true;
    case Key::kHome:
      top_ = 0;
      return true;
    case Key::kEnd:
      top_ = last;
      return true;
    default:
      return false;
  }
}

void HelpViewer::Draw(Canvas &canvas) {
  CellRect frame{0, 0, canvas.Cols(), canvas.Rows()};
  if (frame.w > 84) {
    frame.x = (frame.w - 84) / 2;
    frame.w = 84;
  }
  int text_width = std::max(4, frame.w - 4);
  if (text_width != wrapped_width_) {
    wrapped_.clear();
    for (const std::wstring &line : lines_)
      for (const std::wstring &piece : WrapLine(line, text_width, HangingIndent(line, text_width)))
        wrapped_.push_back(piece);
    wrapped_width_ = text_width;
  }
  page_rows_ = std::max(1, frame.h - 3);
  if (!section_.empty()) {
    for (size_t i = 0; i < wrapped_.size(); ++i)
      if (wrapped_[i].rfind(section_, 0) == 0) {
        top_ = static_cast<int>(i);
        break;
      }
    section_.clear();
  }
  top_ = std::max(0, std::min(top_, static_cast<int>(wrapped_.size()) - page_rows_));

  canvas.Fill(frame, L' ', kPlain);
  canvas.Box(frame, kPlain);
  canvas.Fill(CellRect{frame.x, frame.y, frame.w, 1}, L' ', kTitleColour | kBold);
  canvas.Put(frame.x + 1, frame.y, title_, kTitleColour | kBold, frame.w - 2);
  for (int row = 0; row < page_rows_; ++row) {
    size_t i = static_cast<size_t>(top_ + row);
    if (i >= wrapped_.size()) break;
    canvas.Put(frame.x + 2, frame.y + 1 + row, wrapped_[i], kPlain, text_width);
  }
  canvas.Put(frame.x + 1, frame.Bottom() - 2, KeyHint(), kReverse, frame.w - 2);
  if (static_cast<int>(wrapped_.size()) > page_rows_) {
    std::wstring where = L" " + std::to_wstring(top_ + 1) + L"-" +
                         std::to_wstring(std::min(static_cast<int>(wrapped_.size()), top_ + page_rows_)) + L"/" +
                         std::to_wstring(wrapped_.size()) + L" ";
    canvas.Put(frame.Right() - 1 - TextWidth(where), frame.Bottom() - 1, where, kPlain);
  }
}

}  // namespace terminal
