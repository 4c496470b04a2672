// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_box.h"

#include "text_width.h"

#include <algorithm>
#include <cwctype>

namespace terminal {
namespace {

const wchar_t kOk[] = L"OK(&O)";
const wchar_t kCancel[] = L"\x30AD\x30E3\x30F3\x30BB\x30EB(&C)";  // キャンセル
const wchar_t kYes[] = L"\x306F\x3044(&Y)";                       // はい
const wchar_t kNo[] = L"\x3044\x3044\x3048(&N)";                  // いいえ
const wchar_t kAbort[] = L"\x4E2D\x6B62(&A)";                     // 中止
const wchar_t kRetry[] = L"\x518D\x8A66\x884C(&R)";               // 再試行
const wchar_t kIgnore[] = L"\x7121\x8996(&I)";                    // 無視

constexpr int kButtonPadding = 2;  // blanks either side of a button's label

int ButtonWidth(const MessageBoxView::Button &b) {
  return TextWidth(ParseMnemonic(b.label).text) + 2 + 2 * kButtonPadding;
}

}  // namespace

MessageBoxView::MessageBoxView(const std::string &text, const std::string &caption, UINT style)
    : caption_(AnsiToWide(caption)), lines_(SplitLines(AnsiToWide(text))) {
  switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons_ = {{kOk, IDOK}, {kCancel, IDCANCEL}};
      break;
    case MB_ABORTRETRYIGNORE:
      buttons_ = {{kAbort, IDABORT}, {kRetry, IDRETRY}, {kIgnore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      buttons_ = {{kYes, IDYES}, {kNo, IDNO}, {kCancel, IDCANCEL}};
      break;
    case MB_YESNO:
      buttons_ = {{kYes, IDYES}, {kNo, IDNO}};
      break;
    case MB_RETRYCANCEL:
      buttons_ = {{kRetry, IDRETRY}, {kCancel, IDCANCEL}};
      break;
    default:
      buttons_ = {{kOk, IDOK}};
      break;
  }
  switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
      icon_ = Icon::kError;
      break;
    case MB_ICONQUESTION:
      icon_ = Icon::kQuestion;
      break;
    case MB_ICONWARNING:
      icon_ = Icon::kWarning;
      break;
    case MB_ICONINFORMATION:
      icon_ = Icon::kInformation;
      break;
    default:
      break;
  }
  int default_button = static_cast<int>((style >> 8) & 0x0F);
  focus_ = default_button < static_cast<int>(buttons_.size()) ? default_button : 0;
}

std::optional<int> MessageBoxView::EscapeResult() const {
  // As the platform does: Escape cancels a box with a Cancel button, answers
  // a lone OK button, and is ignored otherwise (a Yes/No question must be
  // answered).
  for (const Button &b : buttons_)
    if (b.result == IDCANCEL) return IDCANCEL;
  if (buttons_.size() == 1 && buttons_[0].result == IDOK) return IDOK;
  return std::nullopt;
}

std::optional<int> MessageBoxView::HandleKey(const TerminalEvent &e) {
  int n = static_cast<int>(buttons_.size());
  switch (e.key) {
    case Key::kEnter:
    case Key::kSpace:
      return buttons_[static_cast<size_t>(focus_)].result;
    case Key::kEscape:
      return EscapeResult();
    case Key::kTab:
      focus_ = (focus_ + (e.shift ? n - 1 : 1)) % n;
      return std::nullopt;
    case Key::kLeft:
    case Key::kUp:
      focus_ = (focus_ + n - 1) % n;
      return std::nullopt;
    case Key::kRight:
    case Key::kDown:
      focus_ = (focus_ + 1) % n;
      return std::nullopt;
    case Key::kChar: {
      wchar_t typed = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(e.ch)));
      for (const Button &b : buttons_) {
        Label label = ParseMnemonic(b.label);
        if (label.mnemonic_index >= 0 &&
            std::towupper(static_cast<wint_t>(label.text[static_cast<size_t>(label.mnemonic_index)])) ==
                static_cast<wint_t>(typed))
          return b.result;
      }
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<int> MessageBoxView::HandleClick(int x, int y) const {
  for (size_t i = 0; i < button_cells_.size() && i < buttons_.size(); ++i)
    if (button_cells_[i].Contains(x, y)) return buttons_[i].result;
  return std::nullopt;
}

void MessageBoxView::Draw(Canvas &canvas, const CellRect &over) {
  const int max_inner = std::max(10, canvas.Cols() - 2 - 4);
  const int icon_cols = icon_ == Icon::kNone ? 0 : 5;
  std::vector<std::wstring> wrapped;
  for (const std::wstring &line : lines_)
    for (const std::wstring &piece : WrapLine(line, max_inner - icon_cols)) wrapped.push_back(piece);

  int text_width = 0;
  for (const std::wstring &line : wrapped) text_width = std::max(text_width, TextWidth(line));
  int buttons_width = 0;
  for (const Button &b : buttons_) buttons_width += ButtonWidth(b) + 1;
  int inner = std::max({icon_cols + text_width, buttons_width, TextWidth(caption_) + 2});
  inner = std::min(inner, max_inner);
  int text_rows = std::max(static_cast<int>(wrapped.size()), icon_ == Icon::kNone ? 1 : 2);

  CellRect frame;
  frame.w = inner + 4 + 2;
  frame.h = 1 + 1 + text_rows + 1 + 1 + 1 + 1;  // title, gap, text, gap, buttons, gap, border
  frame.x = std::max(0, std::min(over.x + (over.w - frame.w) / 2, canvas.Cols() - frame.w));
  frame.y = std::max(0, std::min(over.y + (over.h - frame.h) / 2, canvas.Rows() - frame.h));

  canvas.Fill(frame, L' ', kPlain);
  canvas.Box(CellRect{frame.x, frame.y, frame.w, frame.h}, kPlain);
  canvas.Fill(CellRect{frame.x, frame.y, frame.w, 1}, L' ', kTitleColour | kBold);
  canvas.Put(frame.x + 1, frame.y, caption_, kTitleColour | kBold, frame.w - 2);

  int text_x = frame.x + 3;
  if (icon_ != Icon::kNone) {
    static const wchar_t *const kMarks[] = {L"", L"(X)", L"(?)", L"(!)", L"(i)"};
    static const uint16_t kColours[] = {0, kErrorColour, kQuestionColour, kWarningColour, kQuestionColour};
    int k = static_cast<int>(icon_);
    canvas.Put(text_x, frame.y + 2, kMarks[k], kColours[k] | kBold | kReverse);
    text_x += icon_cols;
  }
  for (size_t i = 0; i < wrapped.size(); ++i)
    canvas.Put(text_x, frame.y + 2 + static_cast<int>(i), wrapped[i], kPlain, frame.Right() - 3 - text_x);

  int bx = frame.x + (frame.w - buttons_width + 1) / 2;
  int by = frame.y + 2 + text_rows + 1;
  frame_ = frame;
  button_cells_.clear();
  for (size_t i = 0; i < buttons_.size(); ++i) {
    Label label = ParseMnemonic(buttons_[i].label);
    int w = ButtonWidth(buttons_[i]);
    bool focused = static_cast<int>(i) == focus_;
    uint16_t attr = focused ? (kReverse | kBold) : kPlain;
    canvas.Put(bx, by, L"[", focused ? kBold : kPlain);
    canvas.Fill(CellRect{bx + 1, by, w - 2, 1}, L' ', attr);
    int lx = bx + 1 + kButtonPadding;
    canvas.Put(lx, by, label.text, attr);
    if (label.mnemonic_index >= 0)
      canvas.AddAttr(lx + TextWidth(label.text.substr(0, static_cast<size_t>(label.mnemonic_index))), by, 1,
                     kUnderline);
    canvas.Put(bx + w - 1, by, L"]", focused ? kBold : kPlain);
    button_cells_.push_back(CellRect{bx, by, w, 1});
    bx += w + 1;
  }
}

}  // namespace terminal
