// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal_driver.h"

#include "message_catalogue.h"
#include "text_width.h"

#include <standin/network.h>
#include <standin/resources.h>
#include <standin/ui.h>

#include <commctrl.h>

#include <algorithm>
#include <utility>

// The program's dialog names.
#include "res/resource.h"

namespace terminal {
namespace {

std::vector<std::wstring> TooSmallMessage(FrameSize need, int cols, int rows) {
  return {
      DecodeUtf8(Localize("the terminal is too small")),
      DecodeUtf8(Localize("Velmora needs at least " + std::to_string(need.cols) + " x " + std::to_string(need.rows) +
                          " (now " + std::to_string(cols) + " x " + std::to_string(rows) + ")"))};
}

// The smallest screen a message box can be drawn on whole.
constexpr int kMinimumCols = 40;
constexpr int kMinimumRows = 10;

// The help F1 shows: the program's own help file.
const char kProgramHelpFile[] = "Velmora.HLP";

// The last line of the screen names the keys that act in the active window
// (WindowKeyHint); a message box, the pointer and the column sizer name
// theirs while they are in use. Their words are in the language of the
// front end's other texts.
std::wstring Words(const char *english) { return DecodeUtf8(Localize(english)); }

// "  KEY:ACTION", two blanks before it.
std::wstring KeyHint(const std::wstring &key, const char *action) { return L"  " + key + L":" + Words(action); }

std::wstring PointerHint() {
  return L" " + Words("Pointer") + L": " + Words("Arrows") + L"/Tab:" + Words("Move") +
         KeyHint(L"Enter/Space", "Click") + KeyHint(L"F2/Esc", "Done") + L" ";
}

std::wstring SizerHint() {
  return L" " + Words("Column widths") + L": Left/Right:" + Words("Narrower/Wider") + KeyHint(L"Tab", "Next column") +
         KeyHint(L"F3/Enter/Esc", "Done") + L" ";
}

std::wstring BoxHint() {
  return L" Tab/" + Words("Arrows") + L":" + Words("Move") + KeyHint(L"Enter/Space", "Press") +
         KeyHint(Words("Letter"), "Select");
}

// Rows the wheel scrolls a list by, one notch; columns Left and Right
// scroll a list view by.
constexpr int kWheelRows = 3;
constexpr int kSidewaysCols = 4;

// Where F1 opens the help in each of the program's windows: the heading of
// its section in the help text.
struct HelpSection {
  const char *dialog;
  const wchar_t *heading;
};
const HelpSection kHelpSections[] = {
    {IDD_VELMORA, L"■ メインウィンドウ"},
    {IDD_ABOUT, L"■ メインウィンドウ"},
    {IDD_JOB, L"■ ジョブの詳細設定"},
    {IDD_CP, L"■ コンピュータの選択"},
};

bool IsListClass(HWND control) {
  std::string cls = standin::ClassNameOf(control);
  return cls == "LISTBOX" || cls == WC_LISTVIEWA;
}

}  // namespace

std::vector<DialogSize> DialogSizesIn(const void *res_data, size_t res_size) {
  std::vector<DialogSize> sizes;
  std::vector<standin::ResourceEntry> entries;
  std::string error;
  if (!standin::ParseResFile(res_data, res_size, &entries, &error)) return sizes;
  for (const standin::ResourceEntry &entry : entries) {
    if (!entry.type.is_number || entry.type.number != 5) continue;  // RT_DIALOG
    standin::DialogTemplate dialog;
    if (!standin::ParseDialogTemplate(entry.data.data(), entry.data.size(), &dialog, &error)) continue;
    DialogSize size{dialog.cx, dialog.cy, {}};
    for (const standin::DialogItemTemplate &item : dialog.items) {
      std::wstring text;
      if (!item.title.is_number) text.assign(item.title.name.begin(), item.title.name.end());
      size.items.push_back(WindowPainter::ItemFor(item.class_name, item.style,
                                                  standin::DialogUnits{item.x, item.y, item.cx, item.cy}, text));
    }
    sizes.push_back(std::move(size));
  }
  return sizes;
}

std::wstring NetworkNotice() {
  std::string local = standin::LocalComputerName();
  if (local.empty()) return DecodeUtf8(Localize("the network file holds no computer"));
  if (!standin::ComputerExists(local))
    return DecodeUtf8(Localize("this computer (" + local + ") is not in the network file"));
  return L"";
}

TerminalDriver::TerminalDriver(Terminal &terminal, std::vector<std::string> help_directories)
    : terminal_(terminal), help_directories_(std::move(help_directories)) {}

FrameSize TerminalDriver::NeededSize() const {
  FrameSize need = painter_.RequiredSize();
  if (need.cols > 0) {
    for (const DialogSize &size : painter_.DialogSizes()) {
      DialogLayout layout = LayOutDialog(size.cx, size.cy, size.items, painter_.CurrentScale());
      need.cols = std::max(need.cols, layout.client_cols + kFrameExtraCols);
      need.rows = std::max(need.rows, layout.client_rows + kFrameExtraRows);
    }
    need.rows += kKeyHintRows;
  }
  need.cols = std::max(need.cols, kMinimumCols);
  need.rows = std::max(need.rows, kMinimumRows);
  return need;
}

bool TerminalDriver::TooSmall() const {
  FrameSize need = NeededSize();
  return terminal_.Cols() < need.cols || terminal_.Rows() < need.rows;
}

std::wstring TerminalDriver::WindowKeyHint() {
  HWND active = standin::ActiveWindow();
  bool list_view = false, tab_stop = false, mnemonic = false;
  for (HWND control : standin::ControlsOf(active)) {
    if (!IsWindowVisible(control) || !standin::AcceptsInput(control)) continue;
    if (standin::ClassNameOf(control) == WC_LISTVIEWA && !standin::ColumnsOf(control).empty()) list_view = true;
    if (standin::StyleOf(control) & WS_TABSTOP) tab_stop = true;
    if (ParseMnemonic(AnsiToWide(standin::TextOf(control))).mnemonic_index >= 0) mnemonic = true;
  }
  HWND focus = standin::FocusWindow();
  std::wstring hint = L" F1:" + Words("Help");
  if (!painter_.ClickableControls(active).empty()) hint += KeyHint(L"F2", "Pointer");
  if (list_view) hint += KeyHint(L"F3", "Column widths");
  if (focus != nullptr && painter_.ScrollsSideways(focus)) hint += KeyHint(L"Left/Right", "Scroll sideways");
  if (tab_stop) hint += KeyHint(L"Tab", "Move");
  // The dialog manager's Escape cancels a modal dialog; the main window,
  // modeless, has no use for it.
  if (standin::IsModalDialog(active)) hint += KeyHint(L"Esc", "Cancel");
  if (mnemonic) hint += KeyHint(L"Alt+" + Words("Letter"), "Select");
  return hint + L" ";
}

void TerminalDriver::PaintKeyHint(HWND box) {
  // On the screen's last line, over the bottom border of a window that
  // reaches it, never over a window's inside.
  std::wstring text;
  uint16_t attr = kReverse;
  if (!notice_.empty()) {
    // A notice may be longer than a line (a network file's fault names the
    // file and the line): it wraps upwards from the last line, never cut.
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = notice_.find(L'\n', start)) != std::wstring::npos; start = end + 1)
      for (const std::wstring &line : WrapLine(notice_.substr(start, end - start), std::max(2, canvas_.Cols())))
        lines.push_back(line);
    for (const std::wstring &line : WrapLine(notice_.substr(start), std::max(2, canvas_.Cols()))) lines.push_back(line);
    if (lines.size() > 1) {
      const int top = std::max(0, canvas_.Rows() - static_cast<int>(lines.size()));
      for (int y = top; y < canvas_.Rows(); ++y) {
        canvas_.Fill(CellRect{0, y, canvas_.Cols(), 1}, L' ', kWarningColour | kBold);
        canvas_.Put(0, y, lines[static_cast<size_t>(y - top)], kWarningColour | kBold, canvas_.Cols());
      }
      return;
    }
    text = L" " + notice_ + L" ";
    attr = kWarningColour | kBold;
  } else if (box != nullptr) {
    text = BoxHint();
    if (ViewOf(box).EscapeAnswers()) text += KeyHint(L"Esc", "Cancel");
    text += L" ";
  } else if (sizing_list_ != nullptr) {
    text = SizerHint();
  } else if (pointer_shown_) {
    text = PointerHint();
  } else {
    text = WindowKeyHint();
  }
  text = ClipToWidth(text, canvas_.Cols());
  int x = std::max(0, (canvas_.Cols() - TextWidth(text)) / 2);
  canvas_.Put(x, canvas_.Rows() - 1, text, attr);
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
    FrameSize need = NeededSize();
    std::vector<std::wstring> lines = TooSmallMessage(need, cols, rows);
    for (size_t i = 0; i < lines.size(); ++i) {
      std::vector<std::wstring> wrapped = WrapLine(lines[i], std::max(2, cols));
      canvas_.Put(0, static_cast<int>(i), wrapped.front(), kBold);
    }
    terminal_.Show(canvas_);
    return;
  }
  std::vector<HWND> boxes = BoxesInFront();
  HWND pointed = PointedControl();
  if (pointed != nullptr && boxes.empty()) {
    if (auto cells = painter_.CellsOf(pointed)) canvas_.AddAttr(cells->x, cells->y, cells->w, kReverse | kUnderline);
  }
  if (help_.IsOpen())
    help_.Draw(canvas_);
  else
    PaintKeyHint(!boxes.empty() && standin::FocusWindow() == boxes.back() ? boxes.back() : nullptr);
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
    // ownerless box leaves the main window enabled); one inside it brings
    // the keyboard back to it.
    if (std::optional<int> answer = view.HandleClick(e.x, e.y)) return standin::AnswerMessageBox(box, *answer);
    if (view.Contains(e.x, e.y)) return standin::ClickControl(box);
    return Click(e);
  }
  // Keys go where the focus is: to the box, or to the window clicked beside it.
  if (standin::FocusWindow() != box) return Deliver(e);
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
    case WindowPainter::Hit::kComboItem:
      // Picking an item of an open drop-down list makes it current and
      // closes the list (the control does both), as a click there does.
      return standin::SelectItems(hit.control, {hit.index});
    case WindowPainter::Hit::kCloseBox:
      return standin::PressCloseBox(hit.window);
    default:
      break;
  }
  return false;
}

HWND TerminalDriver::PointedControl() {
  if (!pointer_shown_) return nullptr;
  std::vector<HWND> controls = painter_.ClickableControls(standin::ActiveWindow());
  if (controls.empty()) return nullptr;
  if (std::find(controls.begin(), controls.end(), pointer_) == controls.end()) {
    // Its window closed or another came in front: the pointer moves there.
    HWND focus = standin::FocusWindow();
    pointer_ = std::find(controls.begin(), controls.end(), focus) != controls.end() ? focus : controls.front();
  }
  return pointer_;
}

bool TerminalDriver::PointerKey(const TerminalEvent &e, bool *clicked) {
  *clicked = false;
  if (!pointer_shown_) {
    if (e.key != Key::kF2) return false;
    pointer_shown_ = true;
    pointer_ = nullptr;
    if (PointedControl() == nullptr) pointer_shown_ = false;
    return pointer_shown_;
  }
  HWND pointed = PointedControl();
  if (pointed == nullptr) return false;
  std::vector<HWND> controls = painter_.ClickableControls(standin::ActiveWindow());
  size_t index = static_cast<size_t>(std::find(controls.begin(), controls.end(), pointed) - controls.begin());
  switch (e.key) {
    case Key::kF2:
    case Key::kEscape:
      pointer_shown_ = false;
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
    case Key::kSpace:
      *clicked = standin::ClickControl(pointed);
      return true;
    default:
      return false;
  }
}

bool TerminalDriver::SidewaysKey(const TerminalEvent &e) {
  if ((e.key != Key::kLeft && e.key != Key::kRight) || e.shift || e.ctrl || e.alt) return false;
  HWND focus = standin::FocusWindow();
  if (focus == nullptr || !painter_.ScrollsSideways(focus) || !standin::AcceptsInput(focus)) return false;
  painter_.ScrollSideways(focus, e.key == Key::kRight ? kSidewaysCols : -kSidewaysCols);
  return true;
}

bool TerminalDriver::ColumnSizerKey(const TerminalEvent &e) {
  if (sizing_list_ != nullptr && !standin::AcceptsInput(sizing_list_)) sizing_list_ = nullptr;  // closed or covered
  if (sizing_list_ == nullptr) {
    if (e.key != Key::kF3) return false;
    for (HWND control : standin::ControlsOf(standin::ActiveWindow()))
      if (standin::ClassNameOf(control) == WC_LISTVIEWA && standin::AcceptsInput(control) && IsWindowVisible(control) &&
          !standin::ColumnsOf(control).empty()) {
        sizing_list_ = control;
        sizing_column_ = 0;
        break;
      }
    if (sizing_list_ == nullptr) terminal_.Beep();
  } else {
    int columns = static_cast<int>(standin::ColumnsOf(sizing_list_).size());
    switch (e.key) {
      case Key::kLeft:
      case Key::kRight:
        painter_.ResizeColumn(sizing_list_, sizing_column_, e.key == Key::kRight ? 1 : -1);
        break;
      case Key::kTab:
        sizing_column_ = (sizing_column_ + (e.shift ? columns - 1 : 1)) % std::max(1, columns);
        break;
      case Key::kF3:
      case Key::kEnter:
      case Key::kEscape:
        sizing_list_ = nullptr;
        break;
      default:
        break;  // the sizer keeps the keyboard until it is put away
    }
  }
  painter_.MarkColumn(sizing_list_, sizing_list_ != nullptr ? sizing_column_ : -1);
  return true;
}

bool TerminalDriver::ScrollOrSize(const TerminalEvent &e) {
  if (e.key == Key::kMouseUp) {
    if (drag_list_ != nullptr && e.x != drag_x_ && standin::AcceptsInput(drag_list_))
      painter_.ResizeColumn(drag_list_, drag_column_, e.x - drag_x_);
    drag_list_ = nullptr;
    return true;
  }
  if (e.key != Key::kMouse && e.key != Key::kWheelUp && e.key != Key::kWheelDown) return false;
  WindowPainter::Hit hit = painter_.HitTest(e.x, e.y);
  if (hit.control == nullptr || !IsListClass(hit.control)) return false;
  if (!standin::AcceptsInput(hit.control)) return true;  // a disabled list neither scrolls nor sizes
  int page = std::max(1, painter_.PageOf(hit.control) - 1);
  if (e.key == Key::kWheelUp || e.key == Key::kWheelDown) {
    int notch = e.key == Key::kWheelUp ? -1 : 1;
    if (e.shift)  // Shift turns the wheel sideways
      painter_.ScrollSideways(hit.control, notch * kWheelRows * kSidewaysCols);
    else
      painter_.ScrollList(hit.control, notch * kWheelRows);
    return true;
  }
  switch (hit.kind) {
    case WindowPainter::Hit::kScrollLineUp:
      painter_.ScrollList(hit.control, -1);
      return true;
    case WindowPainter::Hit::kScrollLineDown:
      painter_.ScrollList(hit.control, 1);
      return true;
    case WindowPainter::Hit::kScrollPageUp:
      painter_.ScrollList(hit.control, -page);
      return true;
    case WindowPainter::Hit::kScrollPageDown:
      painter_.ScrollList(hit.control, page);
      return true;
    case WindowPainter::Hit::kScrollLineLeft:
    case WindowPainter::Hit::kScrollLineRight:
      painter_.ScrollSideways(hit.control,
                              hit.kind == WindowPainter::Hit::kScrollLineLeft ? -kSidewaysCols : kSidewaysCols);
      return true;
    case WindowPainter::Hit::kScrollPageLeft:
    case WindowPainter::Hit::kScrollPageRight: {
      int page = painter_.SidewaysPageOf(hit.control);
      painter_.ScrollSideways(hit.control, hit.kind == WindowPainter::Hit::kScrollPageLeft ? -page : page);
      return true;
    }
    case WindowPainter::Hit::kColumnDivider:
      drag_list_ = hit.control;
      drag_column_ = hit.index;
      drag_x_ = e.x;
      return true;
    default:
      return false;
  }
}

bool TerminalDriver::Deliver(const TerminalEvent &e) {
  if (e.key == Key::kMouse) return Click(e);
  InputAction action = TranslateKey(e);
  switch (action.kind) {
    case InputAction::kPressKey:
      return standin::PressKey(action.virtual_key, action.shift, action.ctrl, action.alt);
    case InputAction::kTypeChars:
      return standin::TypeChars(standin::TypedAnsi(action.typed));
    case InputAction::kNothing:
      if (e.key == Key::kChar) terminal_.Beep();  // a control or Alt character with no key of its own
      return false;
  }
  return false;
}

void TerminalDriver::WaitForInput() {
  for (;;) {
    Render();
    TerminalEvent e = terminal_.Read();
    if (e.key == Key::kNone || e.key == Key::kResize || TooSmall()) continue;
    notice_.clear();  // said once
    std::vector<HWND> boxes = BoxesInFront();
    if (!boxes.empty()) {
      if (DeliverToBox(boxes.back(), e)) return;
      continue;
    }
    if (help_.IsOpen()) {
      // The help window is in front and has the keyboard until it is closed.
      if (e.key == Key::kWheelUp || e.key == Key::kWheelDown) {
        TerminalEvent scroll;
        scroll.key = e.key == Key::kWheelUp ? Key::kUp : Key::kDown;
        for (int i = 0; i < kWheelRows; ++i) help_.HandleKey(scroll);
      } else if (e.key != Key::kMouse && e.key != Key::kMouseUp) {
        help_.HandleKey(e);
      }
      continue;
    }
    bool clicked = false;
    if (sizing_list_ == nullptr && PointerKey(e, &clicked)) {
      if (clicked) return;
      continue;
    }
    if (ColumnSizerKey(e) || ScrollOrSize(e) || SidewaysKey(e)) continue;
    if (e.key == Key::kF1) {
      // The program leaves the WM_HELP that F1 brings unhandled; the front
      // end opens the program's help at the section of the window it came
      // from.
      std::string dialog = standin::TemplateNameOf(standin::ActiveWindow());
      bool taken = Deliver(e);
      Help(nullptr, kProgramHelpFile, HELP_CONTENTS, 0);
      for (const HelpSection &section : kHelpSections)
        if (dialog == section.dialog) help_.ShowSection(section.heading);
      if (taken) return;
      continue;
    }
    if (Deliver(e)) return;
  }
}

void TerminalDriver::ShowNotice(const std::string &text) { SetNotice(DecodeUtf8(Localize(text))); }

void TerminalDriver::Help(HWND /*owner*/, const std::string &file, UINT command, ULONG_PTR /*data*/) {
  if (command == HELP_QUIT) {
    help_.Close();
    return;
  }
  if (command != HELP_CONTENTS && command != HELP_CONTEXT && command != HELP_FINDER) return;
  std::string path = FindHelpText(file, help_directories_);
  if (!path.empty() && help_.OpenFile(path)) return;
  std::vector<std::wstring> lines = {
      L"", DecodeUtf8(Localize("the help file " + EncodeUtf8(AnsiToWide(file)) + " cannot be found"))};
  for (const std::string &dir : help_directories_) lines.push_back(L"  " + DecodeUtf8(dir));
  help_.Open(lines);
}

void TerminalDriver::Beep() { terminal_.Beep(); }

void TerminalDriver::ProgramFault(const std::string &what) { throw ProgramFaulted(what); }

void TerminalDriver::CursorChanged(HCURSOR /*cursor*/) {
  // The program is busy between its waits for input; show the mark at once.
  if (standin::IsWaitCursorShown() != busy_shown_) Render();
}

}  // namespace terminal
