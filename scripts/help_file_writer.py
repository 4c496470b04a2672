#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes Velmora.HLP, a WinHelp 4.0 help file, from the help text that the
terminal's F1 shows, so that Windows' help engine (and Wine's viewer) show
the same help as the terminal and the manual page.

    help_file_writer.py HELP_TEXT OUTPUT --map HEADER
                        [--context HEADING=NAME]... [--leave-out HEADING]...

The help text: "# TITLE" on its first line, then the text of the contents
topic, then one section per line beginning with "■ " (its heading). Every
section but those left out becomes a topic; the contents topic comes first
and ends with a jump to each of them. --context gives a section a context
name (a help project's topic ID); HEADER is a C header whose
"#define NAME NUMBER" lines give those names their map numbers, as a help
project's [MAP] section reads them, so that HELP_CONTEXT with the number
opens the section.

What it writes, as the help file format is publicly described:
  - the file header and the internal file system: one FILEHEADER per internal
    file, the directory as a B+ tree of one leaf page (no free list);
  - |SYSTEM, version 1.33 (that of WinHelp 4.0), LZ77-compressed topic
    blocks of 4 KB: the TITLE, CONTENTS and CHARSET (SHIFTJIS_CHARSET)
    records, and a WINDOW record giving the main window the title as its
    caption;
  - |FONT with the 3.1 font descriptors: ＭＳ ゴシック, a fixed-pitch face,
    so that the rows aligned with spaces stay aligned, as in the terminal;
  - |TOPIC as one topic block: per topic a topic header and one
    displayable-text record (0x20) per line, the heading in bold; the
    contents topic's jumps are topic-jump hotspots (0xE3);
  - |CONTEXT, the B+ tree of the context names' hash values;
  - |CTXOMAP, the map numbers.
What it leaves out: more than one topic block, phrase compression, keywords
and the search index (|KWBTREE, |KWDATA, |KWMAP, |TTLBTREE), browse
sequences, non-scrolling regions, pictures, tables, secondary windows,
macros, the LCID record, the |TOMAP of 3.0 files and a .CNT contents file.

Bad input stops it with "FILE:LINE: reason" and exit status 1: a title
longer than a window caption holds, a section
without a heading, text outside code page 932, a help text too large for its
topic block (the line from which it no longer fits), a heading named twice,
a --context or --leave-out heading that the text lacks, a context name the
header does not number or that has characters a context name may not have.
"""
import re
import struct
import sys

CODE_PAGE = "cp932"
SHIFTJIS_CHARSET = 128
FACE_NAME = "ＭＳ ゴシック"
FACE_NAME_SIZE = 20  # the 3.1 |FONT's face name field
BODY_FONT, HEADING_FONT = 0, 1
SECTION_MARK = "■"
CAPTION_SIZE = 51  # the main window record's caption field

# One topic block of 4 KB, its data LZ77-compressed from at most 16 KB: the
# whole help in block 0, where a topic position is the place in the
# decompressed data and a topic offset the characters before it, read alike
# by every viewer (they part over how later blocks count).
TOPIC_BLOCK_SIZE = 4096
BLOCK_HEADER_SIZE = 12
BLOCK_DATA_SIZE = TOPIC_BLOCK_SIZE - BLOCK_HEADER_SIZE
DECOMPRESSED_SIZE = 0x4000 - BLOCK_HEADER_SIZE
LINK_HEADER_SIZE = 21
TOPIC_HEADER_SIZE = 28
TL_TOPICHDR, TL_DISPLAY = 0x02, 0x20
NONE = 0xFFFFFFFF


class HelpTextError(Exception):
    def __init__(self, line, reason):
        super().__init__(reason)
        self.line = line
        self.reason = reason


class Topic:
    def __init__(self, title, line):
        self.title = title
        self.line = line  # where it starts in the help text
        self.lines = []  # (line number, text)
        self.context = None
        self.jumps = []  # topics the contents topic jumps to


def encode(text, line):
    try:
        return text.encode(CODE_PAGE)
    except UnicodeEncodeError as error:
        bad = text[error.start]
        raise HelpTextError(line, "'%s' (U+%04X) is not in code page 932" % (bad, ord(bad))) from None


def parse_help_text(text, leave_out=()):
    """The contents topic and the sections, in order, the left-out ones
    dropped; checks every line on the way."""
    lines = text.replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if not lines or not lines[0].startswith("# ") or not lines[0][2:].strip():
        raise HelpTextError(1, 'the first line is not the title ("# TITLE")')
    contents = Topic(lines[0][2:].strip(), 1)
    if len(encode(contents.title, 1)) > CAPTION_SIZE - 1:
        raise HelpTextError(1, "the title is longer than a window caption's %d bytes" % (CAPTION_SIZE - 1))
    topics = [contents]
    headings = {}
    for number, line in enumerate(lines[1:], start=2):
        line = line.replace("\t", " ")
        encode(line, number)
        if line.startswith(SECTION_MARK):
            heading = line[len(SECTION_MARK) :].strip()
            if not heading:
                raise HelpTextError(number, "a section without a heading")
            if heading in headings:
                raise HelpTextError(number, "the section '%s' is there already (line %d)" % (heading, headings[heading]))
            headings[heading] = number
            topics.append(Topic(heading, number))
        else:
            topics[-1].lines.append((number, line.rstrip()))
    for heading in leave_out:
        if heading not in headings:
            raise HelpTextError(len(lines), "no section '%s' to leave out" % heading)
    topics = [topic for topic in topics if topic.title not in leave_out]
    for topic in topics:
        while topic.lines and not topic.lines[-1][1]:
            topic.lines.pop()
    contents.jumps = topics[1:]
    return topics


def read_map(header_text):
    """NAME -> number from the header's "#define NAME NUMBER" lines."""
    numbers = {}
    for match in re.finditer(r"^\s*#\s*define\s+(\w+)\s+\(?\s*(0[xX][0-9a-fA-F]+|\d+)\s*\)?\s*(?://.*)?$", header_text, re.M):
        numbers[match.group(1)] = int(match.group(2), 0)
    return numbers


def context_hash(name):
    """The hash of a context name by which |CONTEXT finds its topic: case
    blind over letters, 32-bit signed arithmetic."""

    def value(c):
        special = {33: 0x0B, 46: 0x0C, 48: 0x0A, 91: 0x0B, 92: 0x0C, 93: 0x0D, 94: 0x0E, 95: 0x0D, 180: 0x0B}
        if c in special:
            v = special[c]
        elif c == 0:
            v = 0
        elif c < 48:
            v = c + 0xD0
        elif c < 96:
            v = c - 48
        elif c < 128:
            v = c - 80
        else:
            v = c - 48
        return v - 256 if v >= 128 else v  # the table's entries are signed

    if not name:
        return 1
    h = 0
    for c in name.encode("ascii"):
        h = (h * 43 + value(c)) & 0xFFFFFFFF
    return h - (1 << 32) if h >= (1 << 31) else h


# Compressed numbers of a paragraph record: the low bit says whether the
# wider form follows.
def compressed_ushort(v):
    return bytes([v * 2]) if v < 0x80 else struct.pack("<BB", (v & 0x7F) * 2 + 1, v >> 7)


def compressed_ulong(v):
    return struct.pack("<H", v * 2) if v < 0x8000 else struct.pack("<HH", (v & 0x7FFF) * 2 + 1, v >> 15)


def paragraph_record(strings, commands):
    """LinkData1 and LinkData2 of a displayable-text record: paragraph
    settings (none), then the character formatting commands, each read after
    the string before it; the record's character count covers every string
    with its NUL."""
    text = b"".join(s + b"\0" for s in strings)
    formatting = b"".join(commands) + b"\xff"
    assert len(strings) == len(commands) + 1
    # Two unknown bytes as help compilers write them, paragraph id 0, no
    # settings follow.
    settings = b"\x00\x80" + struct.pack("<HH", 0, 0)
    data1 = compressed_ulong(len(text)) + compressed_ushort(len(text)) + settings + formatting
    return data1, text


def font_command(font):
    return b"\x80" + struct.pack("<H", font)


END_PARAGRAPH = b"\x82"
END_HOTSPOT = b"\x89"


def line_records(topic):
    """Displayable records of a topic after its header: (source line, kind,
    strings, commands); a jump's target is filled in at layout."""
    records = [(topic.line, "text", [b"", encode(topic.title, topic.line), b""], [font_command(HEADING_FONT), END_PARAGRAPH])]
    for number, line in topic.lines:
        records.append((number, "text", [b"", encode(line, number), b""], [font_command(BODY_FONT), END_PARAGRAPH]))
    if topic.jumps:
        records.append((topic.line, "text", [b"", b"", b""], [font_command(BODY_FONT), END_PARAGRAPH]))
    for target in topic.jumps:
        records.append((target.line, target, [b"", b"  ", encode(target.title, target.line), b"", b""], None))
    return records


def topic_link(record_type, data1, data2, prev_pos, next_pos):
    block_size = LINK_HEADER_SIZE + len(data1) + len(data2)
    header = struct.pack("<IIIIIB", block_size, len(data2), prev_pos, next_pos, LINK_HEADER_SIZE + len(data1), record_type)
    return header + data1 + data2


def lz77(data):
    """The format's LZ77: per flag byte (low bit first) eight items, a
    literal byte for a clear bit, for a set one a word of 12 bits of distance
    less one and 4 bits of length less three (3 to 18 bytes, from at most
    4096 bytes back). Greedy, with a chain of earlier places per 3 bytes."""
    out = bytearray()
    places = {}
    i, n = 0, len(data)

    def remember(at):
        places.setdefault(data[at : at + 3], []).append(at)

    while i < n:
        flag_at = len(out)
        out.append(0)
        for bit in range(8):
            if i >= n:
                break
            best_length, best_place = 0, 0
            for place in reversed(places.get(data[i : i + 3], [])[-64:]):
                if i - place > 4096:
                    break
                length = 0
                while length < 18 and i + length < n and data[place + length] == data[i + length]:
                    length += 1
                if length > best_length:
                    best_length, best_place = length, place
            if best_length >= 3:
                out += struct.pack("<H", (i - best_place - 1) | (best_length - 3) << 12)
                out[flag_at] |= 1 << bit
                for at in range(i, i + best_length):
                    remember(at)
                i += best_length
            else:
                out.append(data[i])
                remember(i)
                i += 1
    return bytes(out)


def build_topics(topics):
    """The |TOPIC file and each topic's topic offset. Lays the links out
    twice: the first pass finds where each topic starts, the second writes
    the jumps to it (a jump's size does not depend on its target)."""
    offsets = {id(topic): 0 for topic in topics}
    for _ in range(2):
        links, offsets = _lay_out(topics, offsets)
    data = b"".join(link for _, link in links)
    if len(data) > DECOMPRESSED_SIZE or len(lz77(data)) > BLOCK_DATA_SIZE:
        # The line whose record no longer fits: the shortest run of links
        # that does not.
        low, high = 0, len(links)
        while high - low > 1:
            middle = (low + high) // 2
            run = b"".join(link for _, link in links[:middle])
            if len(run) > DECOMPRESSED_SIZE or len(lz77(run)) > BLOCK_DATA_SIZE:
                high = middle
            else:
                low = middle
        raise HelpTextError(
            links[high - 1][0],
            "the help text is too large for its one topic block from this line on (%d bytes of at most %d, compressed to %d of at most %d)"
            % (len(data), DECOMPRESSED_SIZE, len(lz77(data)), BLOCK_DATA_SIZE),
        )
    # The block's header: no link before it, its first link, no topic begun
    # before it.
    return struct.pack("<III", NONE, BLOCK_HEADER_SIZE, NONE) + lz77(data), offsets


def _lay_out(topics, jump_offsets):
    """The links of every topic in order, each with its source line, and the
    topics' offsets: all in one topic block, so a topic's offset is the
    characters of the records before its header."""
    # Each link: (source line, record type, data1, data2, topic or None).
    links = []
    for topic in topics:
        links.append((topic.line, TL_TOPICHDR, None, encode(topic.title, topic.line) + b"\0", topic))
        for line, kind, strings, commands in line_records(topic):
            if kind != "text":
                commands = [font_command(BODY_FONT), b"\xe3" + struct.pack("<I", jump_offsets[id(kind)]), END_HOTSPOT, END_PARAGRAPH]
            data1, data2 = paragraph_record(strings, commands)
            links.append((line, TL_DISPLAY, data1, data2, None))
    # The last link carries nothing: readers stop before using it.
    links.append((topics[-1].line, TL_TOPICHDR, None, b"\0", None))

    sizes = [LINK_HEADER_SIZE + (TOPIC_HEADER_SIZE if data1 is None else len(data1)) + len(data2) for _, _, data1, data2, _ in links]
    positions = [BLOCK_HEADER_SIZE + sum(sizes[:i]) for i in range(len(links))]
    offsets, characters = {}, 0
    for _, record_type, _, data2, topic in links:
        if record_type == TL_TOPICHDR and topic is not None:
            offsets[id(topic)] = characters
        elif record_type == TL_DISPLAY:
            characters += len(data2)
    headers = [i for i, link in enumerate(links) if link[1] == TL_TOPICHDR]

    out = []
    for i, (line, record_type, data1, data2, topic) in enumerate(links):
        prev_pos = positions[i - 1] if i > 0 else NONE
        next_pos = positions[i + 1] if i + 1 < len(links) else NONE
        if record_type == TL_TOPICHDR:
            # Its size with its records; no browse sequence or non-scrolling
            # region; where its text and the next topic begin.
            later = [h for h in headers if h > i]
            end = later[0] if later else len(links)
            if topic is not None:
                data1 = struct.pack("<IIIIIII", sum(sizes[i:end]), NONE, NONE, topics.index(topic), NONE, positions[i + 1], positions[end])
            else:
                data1 = struct.pack("<IIIIIII", sizes[i], NONE, NONE, len(topics), NONE, NONE, NONE)
        out.append((line, topic_link(record_type, data1, data2, prev_pos, next_pos)))
    return out, offsets


def btree(structure, entries, page_size, directory=False):
    """A B+ tree of one leaf page holding the entries (bytes, in order)."""
    used = sum(len(e) for e in entries)
    if 8 + used > page_size:
        raise ValueError("B+ tree entries overflow one page")
    header = struct.pack("<HHH16shhhhhhi", 0x293B, 0x0402 if directory else 0x0002, page_size, structure.encode("ascii"), 0, 0, 0, -1, 1, 1, len(entries))
    page = struct.pack("<Hhhh", page_size - 8 - used, len(entries), -1, -1) + b"".join(entries)
    return header + page + bytes(page_size - len(page))


def main_window(caption):
    """The WINDOW record of the main window: only its name and caption (the
    title), so that the viewer's title bar names the help."""
    name_valid, caption_valid = 0x0002, 0x0004
    fields = struct.pack("<H10s9s%ds" % CAPTION_SIZE, name_valid | caption_valid, b"", b"main", caption)
    return fields + struct.pack("<hhhhhII", 0, 0, 0, 0, 0, 0, 0)


def system_file(title, contents_offset):
    records = [
        (1, title + b"\0"),
        (3, struct.pack("<I", contents_offset)),
        (6, main_window(title)),
        (11, struct.pack("<H", SHIFTJIS_CHARSET)),
    ]
    # Version 1.33; flags 4: topic blocks of 4 KB, LZ77-compressed.
    out = struct.pack("<HHHIH", 0x036C, 33, 1, 0, 4)
    for kind, data in records:
        out += struct.pack("<HH", kind, len(data)) + data
    return out


def font_file():
    face = FACE_NAME.encode(CODE_PAGE)
    assert len(face) < FACE_NAME_SIZE
    faces = face + bytes(FACE_NAME_SIZE - len(face))
    black, white = b"\x00\x00\x00", b"\xff\xff\xff"
    modern = 0x01  # the file's own family numbers: fixed pitch
    descriptors = [struct.pack("<BBBH", 0, 20, modern, 0) + black + white, struct.pack("<BBBH", 1, 24, modern, 0) + black + white]
    header = struct.pack("<HHHH", 1, len(descriptors), 8, 8 + len(faces))
    return header + faces + b"".join(descriptors)


def named_topics(topics):
    """The topics with a context name, whose hash values must differ."""
    named = [topic for topic in topics if topic.context]
    hashes = {}
    for topic in named:
        h = context_hash(topic.context)
        if h in hashes:
            raise HelpTextError(topic.line, "the context names %s and %s have one hash value" % (hashes[h], topic.context))
        hashes[h] = topic.context
    return named


def write_help_file(topics, numbers):
    """The whole .HLP file as bytes."""
    topic_data, offsets = build_topics(topics)
    named = named_topics(topics)
    context = btree("L4", [struct.pack("<iI", context_hash(t.context), offsets[id(t)]) for t in sorted(named, key=lambda t: context_hash(t.context))], 0x0800)
    mapped = sorted((numbers[t.context], offsets[id(t)]) for t in named)
    ctxomap = struct.pack("<H", len(mapped)) + b"".join(struct.pack("<iI", n, o) for n, o in mapped)
    files = {
        "|CONTEXT": context,
        "|CTXOMAP": ctxomap,
        "|FONT": font_file(),
        "|SYSTEM": system_file(encode(topics[0].title, 1), offsets[id(topics[0])]),
        "|TOPIC": topic_data,
    }
    out = bytearray(16)
    places = {}
    for name in sorted(files, key=lambda n: n.encode("ascii")):
        places[name] = len(out)
        out += struct.pack("<IIB", 9 + len(files[name]), len(files[name]), 4) + files[name]
    entries = [name.encode("ascii") + b"\0" + struct.pack("<I", places[name]) for name in sorted(files, key=lambda n: n.encode("ascii"))]
    directory = btree("z4", entries, 0x0400, directory=True)
    directory_start = len(out)
    out += struct.pack("<IIB", 9 + len(directory), len(directory), 4) + directory
    struct.pack_into("<IiiI", out, 0, 0x00035F3F, directory_start, -1, len(out))
    return bytes(out)


def make(help_text, header_text, contexts, leave_out):
    """The .HLP bytes from the texts; contexts maps headings to names."""
    topics = parse_help_text(help_text, leave_out)
    numbers = read_map(header_text)
    by_title = {topic.title: topic for topic in topics}
    for heading, name in contexts:
        if heading not in by_title:
            raise HelpTextError(1, "no section '%s' for the context %s" % (heading, name))
        if name not in numbers:
            raise HelpTextError(by_title[heading].line, "the context %s has no number (#define %s N)" % (name, name))
        if not re.fullmatch(r"[A-Za-z0-9_.]+", name):
            raise HelpTextError(by_title[heading].line, "the context name %s has characters other than A-Z, a-z, 0-9, _ and ." % name)
        by_title[heading].context = name
    return write_help_file(topics, numbers)


def main(argv):
    args = argv[1:]
    contexts, leave_out, header = [], [], None
    positional = []
    while args:
        arg = args.pop(0)
        if arg in ("--context", "--leave-out", "--map") and args:
            value = args.pop(0)
            if arg == "--map":
                header = value
            elif arg == "--leave-out":
                leave_out.append(value)
            else:
                heading, sep, name = value.partition("=")
                if not sep:
                    sys.exit("help_file_writer.py: --context takes HEADING=NAME, not %r" % value)
                contexts.append((heading, name))
        else:
            positional.append(arg)
    if len(positional) != 2 or header is None:
        sys.exit(__doc__.split("\n\n")[1])
    source, output = positional
    with open(source, encoding="utf-8") as f:
        help_text = f.read()
    with open(header, encoding="utf-8") as f:
        header_text = f.read()
    try:
        data = make(help_text, header_text, contexts, leave_out)
    except HelpTextError as error:
        print("%s:%d: %s" % (source, error.line, error.reason), file=sys.stderr)
        return 1
    with open(output, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
