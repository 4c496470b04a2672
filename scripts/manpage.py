#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the manual page velmora(1) from the two texts a user already meets:
the usage that `velmora --help` prints and the help file that F1 shows. The
page adds headings and layout only, so that the three cannot disagree.

    manpage.py VELMORA HELP_FILE VERSION > velmora.1

VELMORA is the built terminal front end (run with --help); HELP_FILE its help
text (Velmora.txt). The date of the page is that of SOURCE_DATE_EPOCH, so the
same sources give the same page.
"""
import os
import re
import subprocess
import sys
import time

# Characters that troff would read as requests or draw otherwise in UTF-8:
# quotes turn typographic, ^ and ~ into accents, - into a hyphen.
ESCAPES = {"\\": "\\e", "-": "\\-", "'": "\\(aq", "`": "\\(ga", "^": "\\(ha", "~": "\\(ti", '"': "\\(dq"}


def escape(text):
    text = "".join(ESCAPES.get(c, c) for c in text)
    return "\\&" + text if text.startswith(".") else text


def blocks(lines):
    """Runs of lines between blank lines."""
    block = []
    for line in lines + [""]:
        if line.strip():
            block.append(line)
        elif block:
            yield block
            block = []


def paragraph(block):
    """Flush lines become one filled paragraph; indented lines (lists, tables)
    keep their layout."""
    out = [".PP"]
    filled = True
    for line in block:
        indented = line.startswith(" ")
        if indented and filled:
            out.append(".nf")
        elif not indented and not filled:
            out.append(".fi")
        filled = not indented
        out.append(escape(line))
    if not filled:
        out.append(".fi")
    return out


def usage_part(usage):
    lines = usage.rstrip("\n").split("\n")
    synopsis = lines[0]
    if not synopsis.startswith("Usage: velmora"):
        sys.exit("manpage.py: the usage does not begin with 'Usage: velmora': %r" % synopsis)
    out = [".SH SYNOPSIS", ".B velmora", escape(synopsis[len("Usage: velmora") :].strip()), ".SH DESCRIPTION"]
    options = []
    for block in blocks(lines[1:]):
        if all(line.startswith("  -") for line in block):
            options += block
        else:
            out += paragraph(block)
    out.append(".SH OPTIONS")
    for line in options:
        name, _, what = line.strip().partition("  ")
        out += [".TP", ".B " + escape(name), escape(what.strip())]
    return out


def help_part(help_text):
    lines = help_text.replace("\r", "").rstrip("\n").split("\n")
    title = lines[0][2:] if lines[0].startswith("# ") else "Velmora"
    out = [".SH " + '"' + escape(title) + '"']
    body = []
    for line in lines[1:] + ["■ "]:
        if line.startswith("■ "):
            for block in blocks(body):
                out += paragraph(block)
            body = []
            if line[2:].strip():
                out.append(".SS " + '"' + escape(line[2:].strip()) + '"')
        else:
            body.append(line)
    return out


def ascii_help_part(help_file):
    # The file as installed, not as staged in the package's build tree.
    help_file = re.sub(r"^debian/[^/]+/", "/", help_file)
    return [
        ".SH HELP",
        ".PP",
        "The help is in Japanese, which this terminal's locale cannot show. It is the file",
        ".IR " + escape(help_file) + ",",
        "which F1 shows in velmora; with a UTF\\-8 locale (for example",
        ".BR \"LANG=C.UTF\\-8 man velmora\" )",
        "this page shows it too.",
    ]


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    velmora, help_file, version = sys.argv[1:]
    # The page is English: so is the usage under an English locale.
    env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES")}
    env["LANG"] = "en_US.UTF-8"
    usage = subprocess.run([velmora, "--help"], capture_output=True, text=True, check=True, env=env).stdout
    with open(help_file, encoding="utf-8") as f:
        help_text = f.read()
    when = time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", time.time())))
    page = [
        '.TH VELMORA 1 "%s" "Velmora %s" "User Commands"' % (time.strftime("%Y-%m-%d", when), version),
        # Japanese has no spaces to break at: lines are kept whole, words not hyphenated.
        ".nh",
        ".ad l",
        ".SH NAME",
        "velmora \\- manage the jobs of the Windows NT Schedule service, in a terminal",
    ]
    page += usage_part(usage)
    # The help is Japanese, which a terminal without a UTF-8 locale cannot
    # show (troff would warn of every character and print blanks): there the
    # page says where the help is instead.
    page += [".ie '\\*[.T]'utf8' \\{\\"] + help_part(help_text) + [".\\}"]
    page += [".el \\{\\"] + ascii_help_part(help_file) + [".\\}"]
    page += [".SH SEE ALSO", ".BR velmora\\-wine (1)"]
    sys.stdout.write("\n".join(page) + "\n")


if __name__ == "__main__":
    main()
