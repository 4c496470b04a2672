// SPDX-License-Identifier: GPL-3.0-or-later
#include "terminal.h"

#include <curses.h>
#include <term.h>

#include <fcntl.h>

#include <csignal>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <map>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <vector>
#include <unistd.h>

namespace terminal {
namespace {

// What a fatal signal's handler needs to give the terminal back, prepared
// beforehand: only async-signal-safe calls are made in the handler.
struct termios g_saved_mode;
bool g_have_saved_mode = false;
char g_restore_sequence[256];
size_t g_restore_length = 0;

const int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Crash signals are only taken over when nobody (a sanitizer) has them.
const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Standard error while the screen is drawn: what the libraries below the
// program write there (Samba's client libraries log their errors to it)
// would land in the middle of the screen. It goes to a log file in the
// user's state folder instead (or nowhere, without one), and comes back when
// the screen is put away.
int g_saved_stderr = -1;

void DivertStandardError() {
  if (!isatty(STDERR_FILENO)) return;
  const char *state_home = std::getenv("XDG_STATE_HOME");
  const char *home = std::getenv("HOME");
  std::string folder;
  if (state_home != nullptr && state_home[0] == '/') {
    folder = std::string(state_home) + "/velmora";
  } else if (home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.local/state/velmora";
  }
  int log = folder.empty()
                ? -1
                : open((folder + "/velmora.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (log < 0) log = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (log < 0) return;
  g_saved_stderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (g_saved_stderr >= 0 && dup2(log, STDERR_FILENO) < 0) {
    close(g_saved_stderr);
    g_saved_stderr = -1;
  }
  close(log);
}

void RestoreStandardError() {
  if (g_saved_stderr < 0) return;
  dup2(g_saved_stderr, STDERR_FILENO);
  close(g_saved_stderr);
  g_saved_stderr = -1;
}

void RestoreTerminalFromSignal(int sig) {
  if (g_saved_stderr >= 0) dup2(g_saved_stderr, STDERR_FILENO);
  if (g_restore_length > 0) {
    ssize_t ignored = write(STDOUT_FILENO, g_restore_sequence, g_restore_length);
    (void)ignored;
  }
  if (g_have_saved_mode) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_mode);
  // The handler was installed with SA_RESETHAND: the default action follows.
  raise(sig);
}

void AppendRestore(const char *capability) {
  const char *s = tigetstr(const_cast<char *>(capability));
  if (s == nullptr || s == reinterpret_cast<const char *>(-1)) return;
  size_t n = std::strlen(s);
  if (g_restore_length + n >= sizeof g_restore_sequence) return;
  std::memcpy(g_restore_sequence + g_restore_length, s, n);
  g_restore_length += n;
}

void InstallSignalHandler(int sig, bool only_if_default) {
  struct sigaction old {};
  sigaction(sig, nullptr, &old);
  if (only_if_default && old.sa_handler != SIG_DFL) return;
  struct sigaction action {};
  action.sa_handler = RestoreTerminalFromSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(sig, &action, nullptr);
}

void ResetSignalHandlers() {
  for (int sig : kHandledSignals) signal(sig, SIG_DFL);
  for (int sig : kCrashSignals) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == RestoreTerminalFromSignal) signal(sig, SIG_DFL);
  }
}

struct KeyWithModifiers {
  Key key;
  bool shift, ctrl, alt;
};

// Key codes ncurses gives for keys with modifiers: the standard shifted
// ones, and those the terminal description names as extended capabilities
// (kUP5 is Ctrl+Up in xterm's naming: 2 Shift, 3 Alt, 5 Ctrl, 6 Ctrl+Shift).
std::map<int, KeyWithModifiers> g_modified_keys;

void LearnModifiedKeys() {
  g_modified_keys = {
      {KEY_SR, {Key::kUp, true, false, false}},
      {KEY_SF, {Key::kDown, true, false, false}},
      {KEY_SLEFT, {Key::kLeft, true, false, false}},
      {KEY_SRIGHT, {Key::kRight, true, false, false}},
      {KEY_SHOME, {Key::kHome, true, false, false}},
      {KEY_SEND, {Key::kEnd, true, false, false}},
      {KEY_SPREVIOUS, {Key::kPageUp, true, false, false}},
      {KEY_SNEXT, {Key::kPageDown, true, false, false}},
      {KEY_SDC, {Key::kDelete, true, false, false}},
      {KEY_SIC, {Key::kInsert, true, false, false}},
      {KEY_BTAB, {Key::kTab, true, false, false}},
  };
  struct Base {
    const char *name;
    Key key;
  };
  const Base bases[] = {{"kUP", Key::kUp},     {"kDN", Key::kDown},  {"kLFT", Key::kLeft},   {"kRIT", Key::kRight},
                        {"kHOM", Key::kHome},  {"kEND", Key::kEnd},  {"kPRV", Key::kPageUp}, {"kNXT", Key::kPageDown},
                        {"kDC", Key::kDelete}, {"kIC", Key::kInsert}};
  struct Modifier {
    int suffix;
    bool shift, ctrl, alt;
  };
  const Modifier modifiers[] = {{2, true, false, false}, {3, false, false, true}, {4, true, false, true},
                                {5, false, true, false}, {6, true, true, false},  {7, false, true, true}};
  for (const Base &b : bases) {
    for (const Modifier &m : modifiers) {
      std::string cap = std::string(b.name) + std::to_string(m.suffix);
      const char *seq = tigetstr(const_cast<char *>(cap.c_str()));
      if (seq == nullptr || seq == reinterpret_cast<const char *>(-1)) continue;
      int code = key_defined(seq);
      if (code > 0) g_modified_keys[code] = {b.key, m.shift, m.ctrl, m.alt};
    }
  }
}

TerminalEvent Named(Key key) {
  TerminalEvent e;
  e.key = key;
  return e;
}

TerminalEvent FromKeyCode(wint_t code) {
  switch (code) {
    case KEY_RESIZE:
      return Named(Key::kResize);
    case KEY_UP:
      return Named(Key::kUp);
    case KEY_DOWN:
      return Named(Key::kDown);
    case KEY_LEFT:
      return Named(Key::kLeft);
    case KEY_RIGHT:
      return Named(Key::kRight);
    case KEY_HOME:
      return Named(Key::kHome);
    case KEY_END:
      return Named(Key::kEnd);
    case KEY_PPAGE:
      return Named(Key::kPageUp);
    case KEY_NPAGE:
      return Named(Key::kPageDown);
    case KEY_IC:
      return Named(Key::kInsert);
    case KEY_DC:
      return Named(Key::kDelete);
    case KEY_BACKSPACE:
      return Named(Key::kBackspace);
    case KEY_ENTER:
      return Named(Key::kEnter);
    case KEY_F(1):
      return Named(Key::kF1);
    case KEY_F(2):
      return Named(Key::kF2);
    case KEY_F(3):
      return Named(Key::kF3);
    case KEY_F(4):
      return Named(Key::kF4);
    default:
      break;
  }
  auto it = g_modified_keys.find(static_cast<int>(code));
  if (it == g_modified_keys.end()) return Named(Key::kNone);
  TerminalEvent e = Named(it->second.key);
  e.shift = it->second.shift;
  e.ctrl = it->second.ctrl;
  e.alt = it->second.alt;
  return e;
}

TerminalEvent FromCharacter(wint_t ch) {
  switch (ch) {
    case L'\t':
      return Named(Key::kTab);
    case L'\r':
    case L'\n':
      return Named(Key::kEnter);
    case 0x7F:
    case 0x08:
      return Named(Key::kBackspace);
    case 0x1B:
      return Named(Key::kEscape);
    case L' ':
      return Named(Key::kSpace);
    case 0: {
      TerminalEvent e = Named(Key::kSpace);  // Ctrl+Space
      e.ctrl = true;
      return e;
    }
    default:
      break;
  }
  TerminalEvent e = Named(Key::kChar);
  if (ch < 0x20) {
    e.ch = static_cast<wchar_t>(L'a' + ch - 1);  // Ctrl+letter
    e.ctrl = true;
  } else {
    e.ch = static_cast<wchar_t>(ch);
  }
  return e;
}

TerminalEvent FromMouse(const MEVENT &mouse) {
  Key key = Key::kNone;
  if (mouse.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) key = Key::kMouse;
  if (mouse.bstate & BUTTON1_RELEASED) key = Key::kMouseUp;
  if (mouse.bstate & BUTTON4_PRESSED) key = Key::kWheelUp;
  if (mouse.bstate & BUTTON5_PRESSED) key = Key::kWheelDown;
  TerminalEvent e = Named(key);
  e.x = mouse.x;
  e.y = mouse.y;
  e.shift = (mouse.bstate & BUTTON_SHIFT) != 0;
  e.ctrl = (mouse.bstate & BUTTON_CTRL) != 0;
  return e;
}

short ColourPair(uint16_t attr) { return static_cast<short>((attr & kColourMask) >> 8); }

// How often a read waiting for a key looks at the terminal's size.
constexpr int kSizeCheckMilliseconds = 200;

// The last size the terminal reported whole (80 x 24 before it reports one),
// and whether it has reported a zero since. A terminal with a zero in its
// size (a pty nobody sized, `stty rows 0`) shows nothing and tells no size:
// the screen keeps its last size, so that keys still act on what was last
// shown (ncurses' own SIGWINCH handling takes the nonzero half, which may
// leave a screen too small to take keys), and is drawn anew when a size
// comes back, whatever the terminal lost meanwhile.
int g_whole_rows = 24, g_whole_cols = 80;
bool g_size_unknown = false;

// Takes the terminal's size as it is now; true when the screen is to be drawn
// anew. A process without a controlling terminal (started through su or
// setsid) gets no SIGWINCH, so the size is asked for at each redraw and
// while waiting.
bool FollowTerminalSize() {
  struct winsize size {};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return false;
  bool whole = size.ws_row > 0 && size.ws_col > 0;
  bool size_returned = whole && g_size_unknown;
  g_size_unknown = !whole;
  if (whole) {
    g_whole_rows = size.ws_row;
    g_whole_cols = size.ws_col;
  }
  if (g_whole_rows == LINES && g_whole_cols == COLS && !size_returned) return false;
  resize_term(g_whole_rows, g_whole_cols);
  clearok(curscr, TRUE);  // what the terminal shows after a resize is unknown
  return true;
}

}  // namespace

CursesTerminal::~CursesTerminal() { Stop(); }

bool CursesTerminal::Start(std::string *error) {
  if (started_) return true;
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    *error = "standard input and output must be a terminal";
    return false;
  }
  g_have_saved_mode = tcgetattr(STDIN_FILENO, &g_saved_mode) == 0;
  const char *term = std::getenv("TERM");
  if (term == nullptr || *term == '\0') {
    *error = "TERM is not set";
    return false;
  }
  SCREEN *screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    *error = std::string("the terminal type '") + term + "' is unknown";
    return false;
  }
  set_term(screen);
  screen_ = screen;
  started_ = true;
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  intrflush(stdscr, FALSE);
  set_escdelay(25);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    init_pair(1, COLOR_WHITE, COLOR_BLUE);    // active title bar
    init_pair(2, COLOR_BLACK, COLOR_WHITE);   // inactive title bar
    init_pair(3, COLOR_WHITE, COLOR_RED);     // error mark
    init_pair(4, COLOR_WHITE, COLOR_BLUE);    // question and information marks
    init_pair(5, COLOR_BLACK, COLOR_YELLOW);  // warning mark
    init_pair(6, COLOR_BLACK, COLOR_YELLOW);  // busy mark
  }
  mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON4_PRESSED | BUTTON5_PRESSED | BUTTON_SHIFT | BUTTON_CTRL,
            nullptr);
  mouseinterval(0);
  LearnModifiedKeys();

  g_restore_length = 0;
  AppendRestore("sgr0");
  AppendRestore("cnorm");
  AppendRestore("rmkx");
  AppendRestore("rmcup");
  const char mouse_off[] = "\033[?1000l\033[?1002l\033[?1006l";
  if (g_restore_length + sizeof mouse_off < sizeof g_restore_sequence) {
    std::memcpy(g_restore_sequence + g_restore_length, mouse_off, sizeof mouse_off - 1);
    g_restore_length += sizeof mouse_off - 1;
  }
  for (int sig : kHandledSignals) InstallSignalHandler(sig, false);
  for (int sig : kCrashSignals) InstallSignalHandler(sig, true);
  DivertStandardError();
  return true;
}

void CursesTerminal::Stop() {
  if (!started_) return;
  started_ = false;
  mousemask(0, nullptr);
  curs_set(1);
  endwin();
  delscreen(static_cast<SCREEN *>(screen_));
  screen_ = nullptr;
  ResetSignalHandlers();
  if (g_have_saved_mode) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_mode);
  RestoreStandardError();
}

int CursesTerminal::Cols() const {
  if (started_) FollowTerminalSize();
  return COLS;
}
int CursesTerminal::Rows() const {
  if (started_) FollowTerminalSize();
  return LINES;
}

void CursesTerminal::Show(const Canvas &canvas) {
  int rows = std::min(canvas.Rows(), LINES);
  int cols = std::min(canvas.Cols(), COLS);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const Cell &cell = canvas.At(x, y);
      if (cell.continuation) continue;
      attr_t attrs = A_NORMAL;
      if (cell.attr & kBold) attrs |= A_BOLD;
      if (cell.attr & kReverse) attrs |= A_REVERSE;
      if (cell.attr & kUnderline) attrs |= A_UNDERLINE;
      if (cell.attr & kDim) attrs |= A_DIM;
      short pair = has_colors() ? ColourPair(cell.attr) : 0;
      wchar_t text[2] = {cell.ch, L'\0'};
      cchar_t cc;
      setcchar(&cc, text, attrs, pair, nullptr);
      mvwadd_wch(stdscr, y, x, &cc);
    }
  }
  if (canvas.CursorShown() && canvas.CursorX() < COLS && canvas.CursorY() < LINES) {
    wmove(stdscr, canvas.CursorY(), canvas.CursorX());
    curs_set(1);
  } else {
    curs_set(0);
  }
  wnoutrefresh(stdscr);
  doupdate();
}

TerminalEvent CursesTerminal::ReadOne(bool after_escape) {
  for (int failures = 0;;) {
    wint_t ch = 0;
    if (!after_escape) wtimeout(stdscr, kSizeCheckMilliseconds);
    int r = wget_wch(stdscr, &ch);
    if (r == ERR) {
      if (after_escape) return Named(Key::kNone);  // nothing followed the Escape
      if (FollowTerminalSize()) return Named(Key::kResize);
      // No key in time, or a signal: wait on. Input waiting that gives no
      // key means the terminal is gone.
      struct pollfd input = {STDIN_FILENO, POLLIN, 0};
      if (poll(&input, 1, 0) > 0 && ++failures >= 8) throw TerminalClosed();
      continue;
    }
    if (r == KEY_CODE_YES && ch == KEY_MOUSE) {
      // Mouse reports that came in one read are all queued; getmouse gives
      // the latest first, then the earlier ones.
      std::vector<TerminalEvent> events;
      MEVENT mouse;
      while (getmouse(&mouse) == OK) events.push_back(FromMouse(mouse));
      for (auto it = events.rbegin(); it != events.rend(); ++it)
        if (it->key != Key::kNone) pending_.push_back(*it);
      if (pending_.empty()) return Named(Key::kNone);
      TerminalEvent first = pending_.front();
      pending_.pop_front();
      return first;
    }
    if (r == KEY_CODE_YES) return FromKeyCode(ch);
    return FromCharacter(ch);
  }
}

TerminalEvent CursesTerminal::Read() {
  if (!pending_.empty()) {
    TerminalEvent e = pending_.front();
    pending_.pop_front();
    return e;
  }
  TerminalEvent e = ReadOne(false);
  if (e.key != Key::kEscape) return e;
  // A terminal sends Alt+key as Escape and the key in one go; ncurses waits
  // ESCDELAY (25 ms) for it, so a lone Escape acts within that time. Only
  // keys that take Alt here (mnemonic letters and digits, Alt+arrows) are
  // joined to it; any other key that came at once (pasted or scripted
  // input) follows the Escape as a key of its own.
  nodelay(stdscr, TRUE);
  TerminalEvent next = ReadOne(true);
  nodelay(stdscr, FALSE);
  if (next.key == Key::kNone) return e;
  if (next.key == Key::kEscape) {
    // Two Escapes typed quickly: this one is plain, the next starts afresh.
    unget_wch(0x1B);
    return e;
  }
  bool takes_alt = (next.key == Key::kChar && next.ch < 0x80 && std::iswalnum(static_cast<wint_t>(next.ch))) ||
                   next.key == Key::kUp || next.key == Key::kDown || next.key == Key::kLeft || next.key == Key::kRight;
  if (!takes_alt || next.alt || next.ctrl) {
    pending_.push_front(next);
    return e;
  }
  next.alt = true;
  return next;
}

void CursesTerminal::Beep() { beep(); }

}  // namespace terminal
