#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs velmora in a private tmux server on a copy of the example network and uses it as a person would, from the
keyboard and the mouse, checking the screen and the network file.

    end_to_end.py VELMORA NETWORK CASE   (CASE: one of the functions below, its underscores as hyphens)
"""
import fcntl
import os
import pathlib
import pty
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import unicodedata

WAIT_SECONDS = 15


class Failure(Exception):
    pass


def expect(ok, what):
    if not ok:
        raise Failure(what)


class Session:
    started = 0

    def __init__(self, velmora, network, workdir, launcher="", environment="", state_home=None, home="$HOME"):
        self.arguments = (velmora, network, workdir, launcher, environment)
        # A server of its own for each session: one just killed may still be going.
        Session.started += 1
        self.socket = "velmora-test-%d-%d" % (os.getpid(), Session.started)
        self.exit_file = os.path.join(workdir, "exit-code")
        self.modes = [os.path.join(workdir, "mode-before"), os.path.join(workdir, "mode-after")]
        self.network = network
        # The state folder, where the log of standard error goes.
        self.log = os.path.join(workdir, "velmora", "velmora.log")
        os.makedirs(os.path.dirname(self.log), exist_ok=True)
        state_home, network_word = state_home or workdir, shlex.quote(network)
        # The terminal's modes are kept before and after, to show they are restored.
        command = (
            "cd {workdir}; stty -g > {0}; {launcher} env {environment} VELMORA_NETWORK={network_word} "
            "XDG_STATE_HOME={state_home} HOME={home} {velmora}; "
            "echo $? > {exit}.new; stty -g > {1}; mv {exit}.new {exit}; sleep 600"
        ).format(*self.modes, exit=self.exit_file, **locals())
        self.tmux("new-session", "-d", "-x", "80", "-y", "24", command)

    def tmux(self, *args, check=True):
        result = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args), capture_output=True,
                                text=True, timeout=WAIT_SECONDS)
        expect(not check or result.returncode == 0, "tmux %s failed: %s" % (args[0], result.stderr.strip()))
        return result.stdout

    def until(self, found, what, poll=0.1):
        """found()'s first true answer: the program may still be working through keys sent before."""
        deadline = time.monotonic() + WAIT_SECONDS
        while not (answer := found()):
            expect(time.monotonic() <= deadline, "%s; the screen shows:\n%s" % (what, self.screen()))
            time.sleep(poll)
        return answer

    def velmora_pid(self):
        shell = self.tmux("display-message", "-p", "#{pane_pid}").strip()
        for child in open("/proc/%s/task/%s/children" % (shell, shell)).read().split():
            if open("/proc/%s/comm" % child).read().strip() == "velmora":
                return int(child)
        raise Failure("no velmora process under the session's shell")

    def close(self):
        self.tmux("kill-server", check=False)

    def screen(self):
        return self.tmux("capture-pane", "-p")

    def wait_for(self, *texts, gone=False, poll=0.1):
        def seen():
            screen = self.screen()
            return screen if all((t in screen) != gone for t in texts) else None

        return self.until(seen, "waited for %s %s" % ("the end of" if gone else "", texts), poll)

    def wait_for_line(self, pattern):
        """The first line that matches `pattern`, once one does."""
        return self.until(lambda: next((l for l in self.screen().splitlines() if re.search(pattern, l)), None),
                          "no line matches %r" % pattern)

    def keys(self, *keys):
        self.tmux("send-keys", *keys)
        return self

    def type(self, text):
        return self.keys("-l", text)

    def find(self, text):
        """Column and row of the first character of `text` on the screen, where wide and full-width characters
        take two columns."""
        for row, line in enumerate(self.screen().splitlines()):
            if (at := line.find(text)) >= 0:
                return sum(2 if unicodedata.east_asian_width(c) in ("W", "F") else 1 for c in line[:at]), row
        raise Failure("no %r on the screen:\n%s" % (text, self.screen()))

    def mouse(self, button, col, row):
        """An X10 mouse report: 0 left press, 3 release, 64 and 65 the wheel."""
        return self.type("\x1b[M" + chr(32 + button) + chr(33 + col) + chr(33 + row))

    def click(self, text, offset=0):
        """A left click on the first character of `text` on the screen, or `offset` cells right of it."""
        col, row = self.find(text)
        self.mouse(0, col + offset, row)
        return self.mouse(3, col + offset, row)

    def wait_exit(self, expected=0, key="M-x"):
        """Sends `key` (Alt+X, Exit) unless None, then waits for velmora to end with `expected`."""
        if key:
            self.keys(key)
        code = int(self.until(lambda: os.path.exists(self.exit_file) and open(self.exit_file).read().strip(),
                              "velmora did not end"))
        expect(code == expected, "velmora ended with %d, not %d" % (code, expected))

    def network_text(self):
        return open(self.network, encoding="utf-8").read()


def underlined(styled):
    """The characters of a line captured with its styles (capture-pane -e) that are drawn underlined."""
    shown, on = "", False
    for codes, char in re.findall(r"\x1b\[([0-9;]*)m|(.)", styled):
        if char:
            shown += char if on else ""
        for code in codes.split(";") if not char else ():
            on = code == "4" or (on and code not in ("", "0", "24"))
    return shown


def add_delete(s):
    s.wait_for("ｽｹｼﾞｭｰﾙｻｰﾋﾞｽは動作中です。", "defrag C:")
    buttons = next(line for line in s.tmux("capture-pane", "-e", "-p").splitlines() if "追加(" in line)
    expect(underlined(buttons) == "ACR", "the buttons' underlined letters: %r in %r" % (underlined(buttons), buttons))
    # Add, the default button, has the focus: a job next Wednesday at 7:30 in the afternoon, from the keyboard alone.
    s.keys("Enter").wait_for("ｼﾞｮﾌﾞ詳細設定")
    s.type("nightly.cmd /q")
    # Through the clipboard and back, by keys with modifiers: Shift+Home selects it, Ctrl+Insert copies, Delete clears,
    # Shift+Insert pastes.
    s.keys("S-Home", "C-IC", "DC", "S-IC")
    # Tab reaches the run-unit radios at the checked one (毎回), the group's tab stop; Down moves to 次の... and checks it.
    # Weekday check box, then the weekday list: select Wednesday.
    s.keys("Tab", "Down", "Tab", "Tab", "Space", "Down", "Down")
    # Date check box, date list, AM/PM (dropped by Alt+Down, as a terminal without modifier codes sends it: Escape, then
    # Down at once): afternoon; 7:30.
    s.keys("Tab", "Tab", "Tab", "Escape", "Down")
    s.keys("Down", "Enter", "Tab", "7", "Tab", "3", "0")
    # Alt+O from the minute's edit, where a plain letter would be typed: the terminal sends Escape and the letter, which
    # are one key here.
    s.keys("M-o").wait_for("ｼﾞｮﾌﾞ詳細設定", gone=True)
    # The closed editor leaves the focus on the main window itself: Tab starts at the first tab stop (Select computer),
    # the next one is the list; the new job is its last row, every column in view.
    row = s.keys("Tab", "Tab", "End").wait_for_line("nightly.cmd /q")
    job_id = re.search(r"│(\d+)\s+nightly", row).group(1)
    s.wait_for_line(r"cmd /q\s+次の\s+水\s+7:30 午後")
    stored = [l for l in s.network_text().splitlines() if "nightly.cmd" in l]
    expect(len(stored) == 1 and re.search(r"id=%s at=19:30 .*dow=0x4 cmd=\"nightly.cmd /q\"" % job_id, stored[0]),
           "the network file holds %r" % stored)
    # The list's last row, then Delete by its mnemonic and Yes.
    s.keys("End", "M-r").wait_for("削除してもよろしいですか", "(?)")
    # A Yes/No question is not answered by Escape, and its hint says so.
    hint = s.screen().splitlines()[-1]
    expect("Enter" in hint and "Esc" not in hint, "the question's hint: %r" % hint)
    s.keys("y").wait_for("cmd /q", gone=True)
    expect("nightly.cmd" not in s.network_text(), "the deleted job is still in the network file")
    s.wait_for("11:30 午後")
    s.wait_exit()


def interrupted(s):
    """Ended by a signal, then by Exit: either way the terminal is left as it
    was, its modes, the main screen, the cursor shown and no mouse reports."""
    def left_as_it_was(how):
        flags = s.tmux("display-message", "-p", "#{alternate_on} #{cursor_flag} #{mouse_any_flag}").split()
        expect(flags == ["0", "1", "0"], "%s: the alternate screen, the cursor or the mouse reports: %r" % (how, flags))
        before, after = (open(f).read() for f in s.modes)
        expect(before == after, "%s: the terminal modes were not restored: %s -> %s" % (how, before, after))

    s.wait_for("defrag C:")
    output = s.exit_file + ".output"  # what it writes from here on
    s.tmux("pipe-pane", "-o", "cat > " + output)
    os.kill(s.velmora_pid(), 15)
    s.wait_exit(128 + 15, key=None)
    left_as_it_was("a signal")
    # What it writes on the way out resets the attributes first, which leaving the alternate screen need not do.
    term = s.tmux("show-options", "-gv", "default-terminal").strip()
    restore = b"".join(subprocess.run(["tput", "-T", term, c], capture_output=True).stdout
                       for c in ("sgr0", "cnorm", "rmkx", "rmcup")) + b"\x1b[?1000l\x1b[?1002l\x1b[?1006l"
    s.until(lambda: os.path.exists(output) and restore in open(output, "rb").read(),
            "the signal's restore %r was not written" % restore)
    s.close()
    os.remove(s.exit_file)
    s = Session(*s.arguments)
    try:
        s.wait_for("defrag C:")
        s.wait_exit()
        left_as_it_was("Exit")
    finally:
        s.close()


def read_only(s, reason=("読み取り専用です", "0445)", "何も変更していません。"), foreign="read-only"):
    """A delete on a read-only network file: the program's own box, and the reason on the bottom lines, not written over
    the screen, in the locale's language (Japanese when none is set), the file's name whole though it holds a newline."""
    os.chmod(s.network, 0o445)  # no one may write it, though others may execute it
    original = s.network_text()
    s.wait_for("defrag C:")
    s.keys("BTab", "End", "M-r").wait_for("削除してもよろしいですか")
    s.keys("y").wait_for("RC:")

    def bottom():
        screen = s.screen()
        lines = "".join(line.strip() for line in screen.splitlines()[-4:])  # the reason may wrap
        return (screen, lines) if all(r in lines for r in reason + ("velmora-e2e-",)) else None

    screen, lines = s.until(bottom, "the reason %r is not on the bottom lines" % (reason,))
    expect("velmora:" not in screen and foreign not in lines,
           "the message was written raw over the screen, or in two languages:\n" + screen)
    s.keys("Enter").wait_for("RC:", gone=True)
    expect(s.network_text() == original, "the read-only network file was changed")
    s.wait_exit()


read_only_english = lambda s: read_only(s, ("is read-only", "0445)", "nothing was changed"), "読み取り専用")


def keys_and_mouse(s):
    s.wait_for("defrag C:", "F1:ﾍﾙﾌﾟ")
    # While the screen is drawn, what the libraries below write on standard
    # error (Samba's log) goes to the state folder's log, not onto the screen.
    error = os.readlink("/proc/%d/fd/2" % s.velmora_pid())
    expect(error == s.log, "standard error leads to %s, not %s" % (error, s.log))

    # A lone Escape acts at once, not after the terminal's usual second: it closes the version box about as soon as
    # Enter does, both timed here, the quickest of three each, so that a busy machine's pause is not taken for the
    # terminal's wait.
    def closing(key):
        s.keys("M-v").wait_for("Version β2")
        started = time.monotonic()
        s.keys(key).wait_for("Version β2", gone=True, poll=0.005)
        return time.monotonic() - started

    enter, escape = (min(closing(key) for _ in range(3)) for key in ("Enter", "Escape"))
    expect(escape <= enter + 0.5, "Escape took %.3f s, Enter %.3f s" % (escape, enter))
    # A terminal that reports no rows shows nothing, whatever its columns: keys act on the screen last shown, which is
    # drawn whole when its rows come back (after its columns), whatever the terminal lost meanwhile (tmux's reset).
    stty = ["stty", "-F", s.tmux("display-message", "-p", "#{pane_tty}").strip()]
    subprocess.run(stty + ["rows", "0", "cols", "40"], check=True)
    s.keys("M-v").wait_for("Version β2")
    subprocess.run(stty + ["cols", "80"], check=True)
    s.tmux("send-keys", "-R")
    subprocess.run(stty + ["rows", "24"], check=True)
    # Escape and F1 arriving together (pasted, scripted) are two keys, not Alt+F1.
    s.wait_for("Version β2")
    # Behind the box, the main window's title bar is drawn inactive: black on white.
    title = s.tmux("capture-pane", "-e", "-p").splitlines()[0]
    expect("\x1b[30m\x1b[47m  Velmora" in title, "the inactive title bar: %r" % title)
    s.keys("Escape", "F1").wait_for("Velmora ヘルプ")
    s.keys("Escape").wait_for("Velmora ヘルプ", "Version β2", gone=True)
    # Nor does an Alt+arrow that follows Escape at once swallow it.
    s.keys("M-v").wait_for("Version β2")
    s.keys("Escape", "M-Up").wait_for("Version β2", gone=True)
    # The wheel scrolls the job list; the scroll bar's down arrow steps it.
    s.wait_for("backup.cmd", "defrag C:")
    s.mouse(65, *s.find("defrag C:")).wait_for("backup.cmd", "請求", gone=True)
    s.click("^").wait_for("請求")
    # Dragging the divider before 日程 to the right shows more of the commands.
    col, row = s.find("│日程")
    s.mouse(0, col, row)
    s.mouse(3, col + 12, row).wait_for("task-02.cmd /all /long")
    # The sideways scroll bar: its right arrow steps to the time column, a
    # click on its track left of the thumb pages back.
    for _ in range(6):
        s.click(">")
    s.wait_for("時刻", "5:45 午後")
    s.click("<", offset=1).wait_for("│ID")
    # The busy mark is on the screen while a call waits for the network file's lock, not only once it is done.
    with open(os.path.realpath(s.network) + ".lock", "a") as lock:
        fcntl.lockf(lock, fcntl.LOCK_EX, 1)
        s.keys("M-s", "SOUMU01", "Enter").wait_for("処理中")
    s.wait_exit()


def resize_without_terminal(s):
    """Run without a controlling terminal (as through su or setsid), Velmora gets no SIGWINCH; a resize is still seen,
    without a key. Its state and home folders are named by relative paths, which name no folder of the user's: standard
    error goes nowhere, not into the working folder."""
    s.wait_for("defrag C:", "F1:ﾍﾙﾌﾟ")
    error = os.readlink("/proc/%d/fd/2" % s.velmora_pid())
    expect(error == "/dev/null", "standard error leads to %s" % error)
    s.tmux("resize-window", "-x", "100", "-y", "32")

    def resized():
        lines = s.screen().splitlines()
        return [n for n, line in enumerate(lines) if "F1:ﾍﾙﾌﾟ" in line] == [31] and "F3:列幅" in lines[31]

    s.until(resized, "the resize to 100 x 32 was not seen")
    s.wait_exit()


def command_line(velmora, workdir):
    """The options, then a broken network file: said on the terminal, and nothing started or changed."""
    env = {k: v for k, v in os.environ.items() if k not in ("VELMORA_NETWORK", "LC_ALL", "LC_MESSAGES")}
    env.update(XDG_STATE_HOME=workdir, LANG="en_US.UTF-8")

    def run(*args):
        return subprocess.run([velmora] + list(args), env=env, capture_output=True, text=True, timeout=WAIT_SECONDS,
                              stdin=subprocess.DEVNULL)

    usage = run("--help")
    for needed in ("VELMORA_NETWORK", "~/.local/state/velmora/network", "F1", "F2", "Velmora.txt"):
        expect(usage.returncode == 0 and needed in usage.stdout,
               "--help: exit %d, %r missing from %r" % (usage.returncode, needed, usage.stdout))
    version = run("--version")
    expect(version.returncode == 0 and version.stdout.strip() == "Velmora 0.9.9.2 (β2)",
           "--version: exit %d, %r" % (version.returncode, version.stdout))
    wrong = run("--colour")
    expect(wrong.returncode == 2 and "--colour" in wrong.stderr and "Usage:" in wrong.stderr and not wrong.stdout,
           "an unknown option: exit %d, %r" % (wrong.returncode, wrong.stderr))
    expect(not os.listdir(workdir), "the options started a network: %r" % os.listdir(workdir))

    env["VELMORA_NETWORK"] = network = os.path.join(workdir, "broken.network")
    broken = 'computer PC01\njob PC01 id=1 at=25:00 cmd="x"\n'
    pathlib.Path(network).write_text(broken)
    # In English, then without a locale the same in Japanese alone.
    for reason in ("line 2", "2 行目: at=25:00 は時刻"):
        result = run()
        expect(result.returncode != 0 and network in result.stderr and reason in result.stderr,
               "a broken network file: exit %d, %r" % (result.returncode, result.stderr))
        env.pop("LANG", None)
    wrong = run("--colour")
    expect("不明なｵﾌﾟｼｮﾝ '--colour'" in wrong.stderr and "使い方:" in wrong.stderr and "Usage" not in wrong.stderr,
           "an unknown option in Japanese: %r" % wrong.stderr)
    expect(open(network).read() == broken, "the broken network file was changed")
    # Keys from a terminal but the screen led into a pipe: refused, not drawn into the pipe.
    pathlib.Path(network).write_text("computer PC01\n")
    keyboard, screen = pty.openpty()
    with os.fdopen(keyboard), os.fdopen(screen):
        half = subprocess.run([velmora], env=env, stdin=screen, capture_output=True, text=True, timeout=WAIT_SECONDS)
    expect(half.returncode != 0 and "標準入力と標準出力は端末でなければなりません" in half.stderr and not half.stdout,
           "output into a pipe: exit %d, %r" % (half.returncode, half.stderr))
    # Keys from a terminal that goes away: said on the screen's terminal, once the screen is put away.
    (keyboard, keys), (screen, shown) = pty.openpty(), pty.openpty()
    child = subprocess.Popen([velmora], env=dict(env, TERM="xterm"), stdin=keys, stdout=shown, stderr=shown)
    os.close(keys), os.close(shown)
    output = b""
    while b"PC01" not in output:
        output += os.read(screen, 4096)
    os.close(keyboard)
    try:
        while chunk := os.read(screen, 4096):
            output += chunk
    except OSError:  # the screen's last writer ended
        pass
    expect(child.wait(WAIT_SECONDS) == 1 and "端末が閉じられました" in output.decode(errors="replace").split("\x1b")[-1],
           "a closed keyboard: exit %r, the screen's end %r" % (child.returncode, output[-200:]))


def main():
    velmora, example, case = sys.argv[1:4]
    if shutil.which("tmux") is None:
        print("tmux is not installed (scripts/install-deps.sh installs it)")
        return 1
    workdir = tempfile.mkdtemp(prefix="velmora-e2e-")
    session = None
    try:
        if case == "command-line":
            command_line(velmora, workdir)
        else:
            network = os.path.join(workdir, "office\n.network" if case.startswith("read-only") else "office.network")
            shutil.copyfile(example, network)
            if case == "keys-and-mouse":  # enough jobs that the list scrolls
                with open(network, "a", encoding="utf-8") as f:
                    for n in range(1, 13):
                        f.write('job SOUMU01 id=%d at=10:00 cmd="task-%02d.cmd /all /long"\n' % (100 + n, n))
            # The locale names the language of Velmora's own texts.
            environment = "LANG=en_US.UTF-8" if case == "read-only-english" else ""
            if case in ("add-delete", "keys-and-mouse"):  # a terminal whose description names the keys with Ctrl
                environment += " TERM=tmux-256color"
            launcher, folders = "", {}
            if case == "resize-without-terminal":
                launcher, folders = "setsid -w", dict(state_home="state", home="home")
                for relative in ("state/velmora", "home/.local/state/velmora"):
                    os.makedirs(os.path.join(workdir, relative))
            session = Session(velmora, network, workdir, launcher, "-u LC_ALL -u LC_MESSAGES -u LANG " + environment,
                              **folders)
            globals()[case.replace("-", "_")](session)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL %s: %s" % (case, e))
        return 1
    finally:
        if session:
            session.close()
        shutil.rmtree(workdir, ignore_errors=True)
    print("PASS %s" % case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
