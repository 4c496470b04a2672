#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The help file writer (scripts/help_file_writer.py), read back by a reader of its own that follows the file format as
a viewer does: the directory, the title, every topic by the chain of its links in the decompressed block, and each map
number and context name to the topic it opens; and bad input refused with its line."""
import os
import pathlib
import random
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import help_file_writer as writer  # noqa: E402

HEADER = "#define IDH_ONE 7\n#define IDH_TWO 0x20\n"


class HelpFileReader:
    def __init__(self, data):
        self.data = data
        magic, directory, _, size = struct.unpack_from("<IiiI", data, 0)
        assert magic == 0x00035F3F and size == len(data)
        self.files = {name: self.internal(at) for name, at in self.btree(self.internal(directory), self.name_entry)}

    def internal(self, offset):
        reserved, used, _ = struct.unpack_from("<IIB", self.data, offset)
        assert reserved == used + 9
        return self.data[offset + 9 : offset + 9 + used]

    @staticmethod
    def name_entry(page, at):
        end = page.index(b"\0", at)
        return (page[at:end].decode("ascii"), struct.unpack_from("<I", page, end + 1)[0]), end + 5

    @staticmethod
    def btree(tree, read_entry):
        magic, _, page_size = struct.unpack_from("<HHH", tree, 0)
        _, _, root, negative_one, pages, levels, count = struct.unpack_from("<hhhhhhi", tree, 22)
        assert magic == 0x293B and negative_one == -1 and levels == 1 and pages == 1
        page = tree[38 + root * page_size : 38 + (root + 1) * page_size]
        _, n, _, _ = struct.unpack_from("<Hhhh", page, 0)
        entries, at = [], 8
        for _ in range(n):
            entry, at = read_entry(page, at)
            entries.append(entry)
        assert len(entries) == count
        return entries

    def system(self):
        system = self.files["|SYSTEM"]
        magic, minor, _, _, flags = struct.unpack_from("<HHHIH", system, 0)
        assert magic == 0x036C and minor > 16 and flags == 4
        records, at = {}, 12
        while at < len(system):
            kind, size = struct.unpack_from("<HH", system, at)
            records[kind] = system[at + 4 : at + 4 + size]
            at += 4 + size
        return records

    def topic_block(self):
        """The one topic block's data, LZ77-decompressed as the format's description tells."""
        topic = self.files["|TOPIC"]
        assert len(topic) <= 4096 and struct.unpack_from("<III", topic, 0) == (0xFFFFFFFF, 12, 0xFFFFFFFF)
        out, at = bytearray(), 12
        while at < len(topic):
            flags, at = topic[at], at + 1
            for bit in range(8):
                if at >= len(topic):
                    break
                if flags & 1 << bit:
                    (word,) = struct.unpack_from("<H", topic, at)
                    for _ in range((word >> 12) + 3):
                        out.append(out[-(word & 0xFFF) - 1])
                    at += 2
                else:
                    out.append(topic[at])
                    at += 1
        return bytes(out)

    def topics(self):
        """Each topic: (topic offset, title, lines of text) in file order,
        walked by the links' NextBlock positions as a viewer does."""
        block = self.topic_block()
        position, topics, characters = 12, [], 0
        while position != 0xFFFFFFFF:
            at = position - 12
            size, len2, _, next_position, len1, kind = struct.unpack_from("<IIIIIB", block, at)
            data1, data2 = block[at + 21 : at + len1], block[at + len1 : at + size]
            assert len(data2) == len2
            if kind == 2 and next_position != 0xFFFFFFFF:
                topics.append((characters, data2.rstrip(b"\0").decode("cp932"), []))
            elif kind == 0x20:
                length = data1[2] // 2 if data1[2] % 2 == 0 else data1[2] // 2 + 128 * data1[3]
                characters += length
                texts = [t for t in data2.split(b"\0") if t.strip()]
                topics[-1][2].append(b"".join(texts).decode("cp932").strip())
            position = next_position
        return topics

    def context_offset(self, name):
        entries = self.btree(self.files["|CONTEXT"], lambda page, at: (struct.unpack_from("<iI", page, at), at + 8))
        return dict(entries).get(writer.context_hash(name))

    def map_offsets(self):
        ctxomap = self.files["|CTXOMAP"]
        return dict(struct.unpack_from("<iI", ctxomap, 2 + 8 * i) for i in range(struct.unpack_from("<H", ctxomap)[0]))


class WrittenFile(unittest.TestCase):
    def setUp(self):
        # A help text in kana and kanji with a section left out.
        lines = ["# 試験 ヘルプ", "試験の冒頭です。"]
        for section in range(3):
            lines += ["■ 節%d" % section] + ["  %d 行目: ｶﾅ と かな と 漢字 の 文です。" % i for i in range(60)]
        lines += ["■ 端末のみ", "  端末でだけ正しい文。"]
        data = writer.make("\n".join(lines) + "\n", HEADER, [("節1", "IDH_ONE"), ("節2", "IDH_TWO")], ["端末のみ"])
        self.reader = HelpFileReader(data)

    def test_the_title_and_the_contents_topic_come_first(self):
        records = self.reader.system()
        self.assertEqual(records[1], "試験 ヘルプ".encode("cp932") + b"\0")
        self.assertEqual(struct.unpack("<H", records[11])[0], 128)
        topics = self.reader.topics()
        self.assertEqual(struct.unpack("<I", records[3])[0], topics[0][0])
        self.assertEqual([t[1] for t in topics], ["試験 ヘルプ", "節0", "節1", "節2"])
        # The contents topic: its title, its text, then a jump to each section.
        self.assertEqual(topics[0][2], ["試験 ヘルプ", "試験の冒頭です。", "", "節0", "節1", "節2"])

    def test_map_numbers_and_context_names_open_their_sections(self):
        offsets = {t[1]: t[0] for t in self.reader.topics()}
        self.assertEqual(self.reader.map_offsets(), {7: offsets["節1"], 0x20: offsets["節2"]})
        self.assertEqual(self.reader.context_offset("IDH_ONE"), offsets["節1"])
        self.assertEqual(self.reader.context_offset("idh_two"), offsets["節2"])
        self.assertIsNone(self.reader.context_offset("IDH_THREE"))


class ContextHash(unittest.TestCase):
    def test_values_of_the_format_table(self):
        # By hand from the published table: '_' 0x0D, '.' 0x0C, '0' 0x0A, 'A' 0x11, 'z' 0x2A, '/' 0xFF (signed, -1).
        for name, value in (("", 1), ("_", 13), (".0", 0x0C * 43 + 0x0A), ("Az", 0x11 * 43 + 0x2A), ("/", -1)):
            self.assertEqual(writer.context_hash(name), value, name)


class BadInput(unittest.TestCase):
    def run_writer(self, text, *options):
        with tempfile.TemporaryDirectory() as folder:
            source, header, output = (os.path.join(folder, n) for n in ("Help.txt", "map.h", "Help.HLP"))
            pathlib.Path(source).write_text(text, encoding="utf-8")
            pathlib.Path(header).write_text(HEADER, encoding="utf-8")
            run = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "help_file_writer.py"), source, output, "--map", header, *options], capture_output=True, text=True)
            self.assertFalse(os.path.exists(output), "nothing is written")
            self.assertEqual(run.returncode, 1, run.stderr)
            return run.stderr.replace(source, "Help.txt").strip()

    def test_each_fault_is_named_with_its_line(self):
        self.assertEqual(self.run_writer("# T\ntext\n■  \n"), "Help.txt:3: a section without a heading")
        self.assertEqual(self.run_writer("# T\n■ A\nok\n€ 100\n"), "Help.txt:4: '€' (U+20AC) is not in code page 932")
        self.assertEqual(self.run_writer("text\n"), 'Help.txt:1: the first line is not the title ("# TITLE")')
        self.assertEqual(self.run_writer("# " + "題" * 26 + "\n"), "Help.txt:1: the title is longer than a window caption's 50 bytes")
        self.assertEqual(self.run_writer("# T\n■ A\n■ B\n■ A\n"), "Help.txt:4: the section 'A' is there already (line 2)")
        # Kanji in an order that does not repeat, which LZ77 cannot shorten: 80 lines of 80 bytes; about 40 fit.
        kanji = [bytes([lead, trail]).decode("cp932") for lead in range(0x89, 0x98) for trail in range(0x40, 0x7F)]
        pick = random.Random(30)
        lines = ["".join(pick.choice(kanji) for _ in range(40)) for _ in range(80)]
        message = self.run_writer("# T\n■ A\n" + "\n".join(lines) + "\n")
        self.assertRegex(message, r"^Help.txt:\d+: the help text is too large for its one topic block from this line on \(\d+ bytes of at most 16372, compressed to \d+ of at most 4084\)$")
        line = int(message.split(":")[1])
        self.assertTrue(30 < line < 50, message)

    def test_options_must_name_what_is_there(self):
        self.assertEqual(self.run_writer("# T\n■ A\n", "--context", "B=IDH_ONE"), "Help.txt:1: no section 'B' for the context IDH_ONE")
        self.assertEqual(self.run_writer("# T\n■ A\n", "--context", "A=IDH_NINE"), "Help.txt:2: the context IDH_NINE has no number (#define IDH_NINE N)")
        self.assertEqual(self.run_writer("# T\n■ A\n", "--leave-out", "B"), "Help.txt:2: no section 'B' to leave out")


if __name__ == "__main__":
    unittest.main()
