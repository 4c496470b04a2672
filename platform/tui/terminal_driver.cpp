#include "terminal_driver.h"

#include "text_width.h"

#include <standin/ui.h>

#include <algorithm>
#include <utility>

namespace tui {
namespace {

// 端末が小さすぎます。 / 少なくとも %d x %d 必要です (今 %d x %d)。
std::vector<std::wstring> TooSmallMessage(FrameSize need, int cols, int rows) {
  return {L"\x7AEF\x672B\x304C\x5C0F\x3055\x3059\x304E\x307E\x3059\x3002",
          L"\x5C11\x306A\x304F\x3068\x3082 " + std::to_wstring(need.cols) + L" x " + std::to_wstring(need.rows) +
              L" \x5FC5\x8981\x3067\x3059 (\x4ECA " + std::to_wstring(cols) + L" x " + std::to_wstring(rows) +
              L")\x3002",
          L"The terminal is too small: Velmora needs " + std::to_wstring(need.cols) + L" x " +
              std::to_wstring(need.rows) + L"."};
}

// The smallest screen a message box can be drawn on whole.
constexpr int kMinimumCols = 40;
constexpr int kMinimumRows = 10;

}  // namespace

TerminalDriver::TerminalDriver(Terminal &terminal, std::vector<std::string> help_directories)
    : terminal_(terminal), help_directories_(std::move(help_directories)) {}

bool TerminalDriver::TooSmall() const {
  FrameSize need = painter_.RequiredSize();
  return terminal_.Cols() < std::max(need.cols, kMinimumCols) || terminal_.Rows() < std::max(need.rows, kMinimumRows);
}

std::vector<HWND> TerminalDriver::BoxesInFront() {
  std::vector<HWND> boxes;
  for (HWND window : standin::TopLevelWindows()) {
    if (standin::IsMessageBox(window)) {
      if (IsWindowVisible(window)) boxes.push_back(window);
    } else if (standin::IsModalDialog(window) && IsWindowVisible(window)) {
      boxes.clear();
    }
  }
  for (auto it = box_views_.begin(); it != box_views_.end();)
    it = IsWindow(it->first) ? std::next(it) : box_views_.erase(it);
  return boxes;
}

MessageBoxView &TerminalDriver::ViewOf(HWND box) {
  auto it = box_views_.find(box);
  if (it == box_views_.end())
    it = box_views_
             .emplace(box, MessageBoxView(standin::MessageBoxTextOf(box), standin::TextOf(box),
                                          standin::MessageBoxStyleOf(box)))
             .first;
  return it->second;
}

void TerminalDriver::Render() {
  int cols = terminal_.Cols(), rows = terminal_.Rows();
  if (canvas_.Cols() != cols || canvas_.Rows() != rows) canvas_ = Canvas(cols, rows);
  canvas_.Clear();
  busy_shown_ = standin::IsWaitCursorShown();
  painter_.Paint(canvas_, busy_shown_);
  if (TooSmall()) {
    canvas_.Clear();
    FrameSize need = painter_.RequiredSize();
    need.cols = std::max(need.cols, kMinimumCols);
    need.rows = std::max(need.rows, kMinimumRows);
    std::vector<std::wstring> lines = TooSmallMessage(need, cols, rows);
    for (size_t i = 0; i < lines.size(); ++i) {
      std::vector<std::wstring> wrapped = WrapLine(lines[i], std::max(2, cols));
      canvas_.Put(0, static_cast<int>(i), wrapped.front(), kBold);
    }
    terminal_.Show(canvas_);
    return;
  }
  std::vector<HWND> boxes = BoxesInFront();
  if (pointer_ != nullptr && boxes.empty()) {
    if (auto cells = painter_.CellsOf(pointer_)) canvas_.AddAttr(cells->x, cells->y, cells->w, kReverse | kUnderline);
  }
  if (help_.IsOpen()) help_.Draw(canvas_);
  for (HWND box : boxes) {
    CellRect over{0, 0, cols, rows};
    if (auto frame = painter_.FrameOf(standin::OwnerOf(box))) over = *frame;
    canvas_.HideCursor();
    ViewOf(box).Draw(canvas_, over);
  }
  if (boxes.empty() && help_.IsOpen()) canvas_.HideCursor();
  terminal_.Show(canvas_);
}

bool TerminalDriver::DeliverToBox(HWND box, const TerminalEvent &e) {
  MessageBoxView &view = ViewOf(box);
  if (e.key == Key::kMouse) {
    // A click beside the box reaches any window that is not disabled (an
    // ownerless box leaves the main window enabled).
    if (std::optional<int> answer = view.HandleClick(e.x, e.y)) return standin::AnswerMessageBox(box, *answer);
    return Click(e);
  }
  if (std::optional<int> answer = view.HandleKey(e)) return standin::AnswerMessageBox(box, *answer);
  return false;
}

bool TerminalDriver::Click(const TerminalEvent &e) {
  WindowPainter::Hit hit = painter_.HitTest(e.x, e.y);
  switch (hit.kind) {
    case WindowPainter::Hit::kControl:
      return standin::ClickControl(hit.control);
    case WindowPainter::Hit::kListItem:
      return standin::ClickItem(hit.control, hit.index, e.shift, e.ctrl);
    case WindowPainter::Hit::kComboItem: {
      // Picking an item of an open drop-down list makes it current and
      // closes the list, as a click there does.
      if (!standin::SelectItems(hit.control, {hit.index})) return false;
      if (standin::IsDroppedDown(hit.control)) standin::PressKey(VK_F4);
      return true;
    }
    case WindowPainter::Hit::kCloseBox:
      return standin::PressCloseBox(hit.window);
    case WindowPainter::Hit::kNothing:
      break;
  }
  return false;
}

bool TerminalDriver::PointerKey(const TerminalEvent &e, bool *clicked) {
  *clicked = false;
  std::vector<HWND> controls = painter_.ClickableControls(standin::ActiveWindow());
  auto at = std::find(controls.begin(), controls.end(), pointer_);
  if (at == controls.end()) pointer_ = nullptr;  // its window closed or another came in front
  if (pointer_ == nullptr) {
    if (e.key != Key::kF2 || controls.empty()) return false;
    HWND focus = standin::FocusWindow();
    bool focus_clickable = std::find(controls.begin(), controls.end(), focus) != controls.end();
    pointer_ = focus_clickable ? focus : controls.front();
    return true;
  }
  size_t index = static_cast<size_t>(at - controls.begin());
  switch (e.key) {
    case Key::kF2:
    case Key::kEscape:
      pointer_ = nullptr;
      return true;
    case Key::kTab:
    case Key::kDown:
    case Key::kRight:
    case Key::kUp:
    case Key::kLeft: {
      bool back = e.key == Key::kUp || e.key == Key::kLeft || (e.key == Key::kTab && e.shift);
      index = (index + (back ? controls.size() - 1 : 1)) % controls.size();
      pointer_ = controls[index];
      return true;
    }
    case Key::kEnter:
    case Key::kSpace: {
      HWND target = pointer_;
      pointer_ = nullptr;
      *clicked = standin::ClickControl(target);
      return true;
    }
    default:
      return true;  // the pointer keeps the keyboard until it is put away
  }
}

bool TerminalDriver::Deliver(const TerminalEvent &e) {
  if (e.key == Key::kMouse) return Click(e);
  InputAction action = TranslateKey(e);
  switch (action.kind) {
    case InputAction::kPressKey:
      return standin::PressKey(action.virtual_key, action.shift, action.ctrl, action.alt);
    case InputAction::kTypeChars:
      return standin::TypeChars(action.ansi);
    case InputAction::kNothing:
      if (e.key == Key::kChar) terminal_.Beep();  // a character the program's code page cannot hold
      return false;
  }
  return false;
}

void TerminalDriver::WaitForInput() {
  for (;;) {
    Render();
    TerminalEvent e = terminal_.Read();
    if (e.key == Key::kNone || e.key == Key::kResize || TooSmall()) continue;
    std::vector<HWND> boxes = BoxesInFront();
    if (!boxes.empty()) {
      if (DeliverToBox(boxes.back(), e)) return;
      continue;
    }
    if (help_.IsOpen()) {
      // The help window is in front and has the keyboard until it is closed.
      if (e.key != Key::kMouse) help_.HandleKey(e);
      continue;
    }
    bool clicked = false;
    if (PointerKey(e, &clicked)) {
      if (clicked) return;
      continue;
    }
    if (Deliver(e)) return;
  }
}

void TerminalDriver::Help(HWND /*owner*/, const std::string &file, UINT command, ULONG_PTR /*data*/) {
  if (command == HELP_QUIT) {
    help_.Close();
    return;
  }
  if (command != HELP_CONTENTS && command != HELP_CONTEXT && command != HELP_FINDER) return;
  std::string path = FindHelpText(file, help_directories_);
  if (!path.empty() && help_.OpenFile(path)) return;
  // ヘルプ ファイル %s が見つかりません。
  std::vector<std::wstring> lines = {L"", L"\x30D8\x30EB\x30D7 \x30D5\x30A1\x30A4\x30EB " + AnsiToWide(file) +
                                              L" \x304C\x898B\x3064\x304B\x308A\x307E\x305B\x3093\x3002"};
  for (const std::string &dir : help_directories_) lines.push_back(L"  " + DecodeUtf8(dir));
  help_.Open(lines);
}

void TerminalDriver::CursorChanged(HCURSOR /*cursor*/) {
  // The program is busy between its waits for input; show the mark at once.
  if (standin::IsWaitCursorShown() != busy_shown_) Render();
}

}  // namespace tui
