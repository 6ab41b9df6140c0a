#!/usr/bin/env python3
"""Writes the INI corpus and the list of lookups asked of it.

The corpus files are committed; this script documents how each was made and
rewrites them identically. The 10 MB file and the directory and symlink cases
are made at test time (profile_corpus.cpp, make_fixtures.cmake) instead, and
sample_Talvex.ini is packaging/Talvex.ini, copied in by make_fixtures.cmake.
Run from this folder: python3 make_corpus.py

answers.txt is what the real API answers, recorded under Wine after any
change to the lookups (ctest's config_fixtures makes the work folder):
  make win32 && ctest --preset win32 -R config_fixtures
  cd build/win32/ini_corpus
  ../../../cmake/wine-run ../ini_probe.exe lookups.txt | tr -d '\r' > ../../../tests/data/ini/answers.txt
windows_answers.txt lists, by hand, the lookups where Windows is known to
answer otherwise; the native reader follows Windows there.
"""
import random

lookups = []


def ask(file, section, key, fallback=b"", size=260):
    lookups.append((file, section, key, fallback, size))


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def esc(raw):
    return "".join(chr(c) if 0x21 <= c <= 0x7E and c != 0x5C else "\\x%02X" % c for c in raw)


SETTINGS_KEYS = [
    "HUD_POS_X", "HUD_POS_Y", "HUD_STEP_Y", "FONT_SIZE", "COLOR_RED", "COLOR_GREEN", "COLOR_BLUE",
    "FONT_FACE", "POINT_SIZE", "LINE_WIDTH", "TOLERANCE_LINE_WIDTH", "DEPTH_TEST",
    "STIPPLE_LINES_PATTERN", "STIPPLE_LINES", "COLOR_VIZ_SEARCH_RED", "COLOR_VIZ_SEARCH_GREEN",
    "COLOR_VIZ_SEARCH_BLUE", "COLOR_VIZ_FOUND_RED", "COLOR_VIZ_FOUND_GREEN", "COLOR_VIZ_FOUND_BLUE",
    "COLOR_VIZ_TOLERANCE_RED", "COLOR_VIZ_TOLERANCE_GREEN", "COLOR_VIZ_TOLERANCE_BLUE",
    "TOLERANCE_B", "TOLERANCE_A", "TOLERANCE_MODIFIER", "TALVEX_OVERSIZE_PERCENTAGE",
]


def ask_settings(file):
    for k in SETTINGS_KEYS:
        ask(file, b"CONFIG", k.encode())
    for s in range(1, 4):
        for r in range(1, 4):
            ask(file, b"SECTION%d" % s, b"ROWDATA%d" % r)


# Ordinary files: a realistic settings file in three line-ending styles.
ordinary = b"""; Talvex settings
[CONFIG]
HUD_POS_X=450
HUD_POS_Y=65
HUD_STEP_Y=15
FONT_SIZE=18
COLOR_RED=64
COLOR_GREEN=64
COLOR_BLUE=64
FONT_FACE=Courier New
POINT_SIZE=2.0
LINE_WIDTH=1.5
TOLERANCE_LINE_WIDTH=1
DEPTH_TEST=1
STIPPLE_LINES_PATTERN=170
STIPPLE_LINES=0
COLOR_VIZ_SEARCH_RED=255
COLOR_VIZ_SEARCH_GREEN=255
COLOR_VIZ_SEARCH_BLUE=255
COLOR_VIZ_FOUND_RED=0
COLOR_VIZ_FOUND_GREEN=255
COLOR_VIZ_FOUND_BLUE=0
COLOR_VIZ_TOLERANCE_RED=0
COLOR_VIZ_TOLERANCE_GREEN=0
COLOR_VIZ_TOLERANCE_BLUE=255
TOLERANCE_B=0.6
TOLERANCE_A=0.01
TOLERANCE_MODIFIER=0.1
TALVEX_OVERSIZE_PERCENTAGE=10

[SECTION1]
ROWDATA1=first
ROWDATA2=BLANK
ROWDATA3=third
[SECTION2]
ROWDATA1=only
"""
write("ordinary_lf.ini", ordinary)
write("ordinary_crlf.ini", ordinary.replace(b"\n", b"\r\n"))
write("ordinary_cr.ini", ordinary.replace(b"\n", b"\r"))
write("no_final_newline.ini", b"[CONFIG]\r\nHUD_POS_X=12\r\nFONT_FACE=Arial Black")
for f in ["ordinary_lf.ini", "ordinary_crlf.ini", "ordinary_cr.ini", "sample_Talvex.ini"]:
    ask_settings(f)
ask("no_final_newline.ini", b"CONFIG", b"HUD_POS_X")
ask("no_final_newline.ini", b"CONFIG", b"FONT_FACE")

# White space around section names, keys and values, and in the lookup names.
write("whitespace.ini", b"".join([
    b"   \t  \n",
    b"  [  CONFIG  ]  \n",
    b"  HUD_POS_X  =  450  \n",
    b"\tHUD_POS_Y\t=\t65\t\n",
    b"FONT FACE = Times New Roman \n",
    b"FONT_FACE=   Lucida   Console   \n",
    b"EMPTY=\n",
    b"SPACES=     \n",
    b"TABS=\t\t\n",
    b"\x0bVT\x0b=\x0bv\x0b\n",
    b"\x0cFF\x0c=\x0cv\x0c\n",
    b"\x1aEOF\x1a=\x1av\x1a\n",
    b"   \n",
    b"\t[\tOTHER\t]\t\n",
    b"KEY=other\n",
]))
for s in [b"CONFIG", b"  CONFIG  ", b"\tCONFIG", b"CON FIG", b"OTHER", b" OTHER "]:
    for k in [b"HUD_POS_X", b"  HUD_POS_X  ", b"HUD_POS_Y", b"FONT FACE", b"FONT  FACE", b"FONT_FACE",
              b"EMPTY", b"SPACES", b"TABS", b"VT", b"FF", b"EOF", b"KEY", b"", b" ", b"\t"]:
        ask("whitespace.ini", s, k)

# Letter case of section names and keys.
write("case.ini", b"[Config]\nHud_Pos_X=7\nfont_face=Arial\n[SECTION\xc9]\nK\xe9Y=accent\n[\xe9t\xe9]\nX=1\n")
for s in [b"CONFIG", b"config", b"CoNfIg", b"Config"]:
    for k in [b"HUD_POS_X", b"hud_pos_x", b"FONT_FACE", b"Font_Face"]:
        ask("case.ini", s, k)
for s in [b"SECTION\xc9", b"section\xe9", b"SECTIONE"]:
    for k in [b"K\xe9Y", b"K\xc9Y", b"k\xe9y", b"KEY"]:
        ask("case.ini", s, k)
for s in [b"\xe9t\xe9", b"\xc9T\xc9", b"ETE"]:
    ask("case.ini", s, b"X")

# Quotes around values.
quote_values = [b'"double"', b"'single'", b'"mixed\'', b'""', b"''", b'"', b"'", b'" padded "',
                b'"a"b"', b'"inner" text', b'text "inner"', b'  "spaced"  ', b'"x', b'x"', b'"""',
                b'"\'"', b'"a\\"']
write("quotes.ini", b"[Q]\n" + b"".join(b"V%d=%s\n" % (i, v) for i, v in enumerate(quote_values)))
for i in range(len(quote_values)):
    ask("quotes.ini", b"Q", b"V%d" % i)
for size in [0, 1, 2, 3, 4, 5, 6, 7, 8]:
    ask("quotes.ini", b"Q", b"V0", size=size)
    ask("quotes.ini", b"Q", b"V7", size=size)

# Comment lines, and what only looks like a comment.
write("comments.ini", b"".join([
    b";HUD_POS_X=1\n",
    b"[CONFIG] ; the main section\n",
    b";HUD_POS_X=2\n",
    b"; HUD_POS_Y=3\n",
    b"  ;FONT_SIZE=4\n",
    b"#COLOR_RED=5\n",
    b"//COLOR_GREEN=6\n",
    b"COLOR_BLUE=7 ; trailing comment\n",
    b"; [OTHER]\n",
    b"LINE_WIDTH=8\n",
    b"REM POINT_SIZE=9\n",
    b";\n",
    b"DEPTH_TEST=;0\n",
]))
for k in [b"HUD_POS_X", b";HUD_POS_X", b"HUD_POS_Y", b"; HUD_POS_Y", b"FONT_SIZE", b";FONT_SIZE",
          b"COLOR_RED", b"#COLOR_RED", b"COLOR_GREEN", b"//COLOR_GREEN", b"COLOR_BLUE", b"LINE_WIDTH",
          b"POINT_SIZE", b"REM POINT_SIZE", b"DEPTH_TEST", b";"]:
    ask("comments.ini", b"CONFIG", k)
ask("comments.ini", b"OTHER", b"LINE_WIDTH")
ask("comments.ini", b"CONFIG ; the main section", b"COLOR_BLUE")

# Duplicate sections and keys.
write("duplicates.ini", b"".join([
    b"[CONFIG]\nK=1\nK=2\nk=3\n",
    b"[OTHER]\nX=1\n",
    b"[CONFIG]\nK=4\nJ=5\n",
    b"[config]\nJ=6\nL=7\n",
    b"[OTHER]\nY=2\n",
]))
for s, k in [(b"CONFIG", b"K"), (b"CONFIG", b"k"), (b"CONFIG", b"J"), (b"CONFIG", b"L"),
             (b"OTHER", b"X"), (b"OTHER", b"Y"), (b"config", b"J")]:
    ask("duplicates.ini", s, k)

# Lines without '=', empty names, several '='.
write("no_equals.ini", b"".join([
    b"[CONFIG]\n",
    b"HUD_POS_X\n",
    b"HUD_POS_X=1\n",
    b"JUST SOME TEXT\n",
    b"=nameless\n",
    b"  =  spaced nameless\n",
    b"DOUBLE==2\n",
    b"SPLIT = = 3\n",
    b"URL=http://x/?a=b\n",
    b"TRAILING=\n",
    b"TRAILING2 =\n",
]))
for k in [b"HUD_POS_X", b"JUST SOME TEXT", b"JUST", b"", b" ", b"DOUBLE", b"SPLIT", b"URL", b"TRAILING",
          b"TRAILING2", b"=nameless", b"nameless"]:
    ask("no_equals.ini", b"CONFIG", k)

# Section headers, odd and broken.
write("sections.ini", b"".join([
    b"BEFORE=any section\n",
    b"[]\nEMPTY_NAME=in []\n",
    b"[ ]\nBLANK_NAME=in [ ]\n",
    b"[a]b]\nAB=in a]b\n",
    b"[unclosed\nUNCLOSED=after unclosed\n",
    b"[x] trailing text\nTRAIL=after x\n",
    b"[[nested]]\nNESTED=in nested\n",
    b"[  spaced  name  ]\nSPACED=in spaced\n",
    b"[sec;comment]\nSEMI=in sec;comment\n",
    b"  [indented]\nINDENT=in indented\n",
    b"[tab\there]\nTAB=in tab\n",
    b"[after]extra]more\nEXTRA=in after]extra\n",
]))
for s, k in [(b"", b"BEFORE"), (b"", b"EMPTY_NAME"), (b"", b"BLANK_NAME"), (b" ", b"EMPTY_NAME"),
             (b"a]b", b"AB"), (b"a", b"AB"), (b"unclosed", b"UNCLOSED"), (b"a]b", b"UNCLOSED"),
             (b"a]b", b"[unclosed"), (b"x", b"TRAIL"), (b"x] trailing text", b"TRAIL"),
             (b"[nested]", b"NESTED"), (b"nested", b"NESTED"), (b"spaced  name", b"SPACED"),
             (b"spaced name", b"SPACED"), (b"sec;comment", b"SEMI"), (b"sec", b"SEMI"),
             (b"indented", b"INDENT"), (b"tab\there", b"TAB"), (b"after]extra", b"EXTRA"),
             (b"after", b"EXTRA")]:
    ask("sections.ini", s, k)

# Long values, keys and section names around the 259-character limit.
long_lines = [b"[L]\n"]
for n in [257, 258, 259, 260, 261, 262, 300, 1000, 70000]:
    long_lines.append(b"V%d=%s\n" % (n, bytes(48 + (i % 10) for i in range(n))))
for n in [256, 257, 258, 259, 260, 261]:
    long_lines.append(b"Q%d=\"%s\"\n" % (n, b"q" * n))
long_lines.append(b"K" * 300 + b"=long key\n")
long_lines.append(b"[" + b"S" * 300 + b"]\nX=long section\n")
write("long_lines.ini", b"".join(long_lines))
for n in [257, 258, 259, 260, 261, 262, 300, 1000, 70000]:
    ask("long_lines.ini", b"L", b"V%d" % n)
for n in [256, 257, 258, 259, 260, 261]:
    ask("long_lines.ini", b"L", b"Q%d" % n)
for size in [100, 258, 259, 261]:
    ask("long_lines.ini", b"L", b"Q258", size=size)
    ask("long_lines.ini", b"L", b"V300", size=size)
ask("long_lines.ini", b"L", b"K" * 300)
ask("long_lines.ini", b"S" * 300, b"X")

# NUL bytes inside names, values and between lines.
write("nul_bytes.ini", b"".join([
    b"\x00\x00junk\x00\n",
    b"[CONFIG]\n",
    b"A=ab\x00cd\n",
    b"B=  x\x00   \n",
    b"C=x  \x00\n",
    b"D\x00junk=5\n",
    b"E=\x00\n",
    b"\x00F=6\n",
    b"G=\"q\x00\"\n",
    b"H=7\x00\n",
    b"[NUL\x00SECTION]\nX=8\n",
    b"[Z]\x00\nY=9\n",
]))
for k in [b"A", b"B", b"C", b"D", b"E", b"F", b"G", b"H"]:
    ask("nul_bytes.ini", b"CONFIG", k)
ask("nul_bytes.ini", b"NUL", b"X")
ask("nul_bytes.ini", b"Z", b"Y")

# Every byte value around a key name and inside a value.
every = [b"[B]\n"]
for b in range(1, 256):
    every.append(b"%cN%02X%c=%cv%02X%c\n" % (b, b, b, b, b, b))
    every.append(b"K%02X=%cv%c\n" % (b, b, b))
write("every_byte.ini", b"".join(every))
for b in range(1, 256):
    ask("every_byte.ini", b"B", b"N%02X" % b)
    ask("every_byte.ini", b"B", b"K%02X" % b)

# Byte-order marks.
body = b"[CONFIG]\r\nHUD_POS_X=321\r\nFONT_FACE=Arial\r\n"
write("bom_utf8.ini", b"\xef\xbb\xbf" + body)
write("bom_utf8_blank_first.ini", b"\xef\xbb\xbf\r\n" + body + b"FACE_UTF8=\xc3\x84rial \xe2\x82\xac\r\n")
write("bom_utf8_comment_first.ini", b"\xef\xbb\xbf; settings\r\n" + body)
write("only_bom.ini", b"\xef\xbb\xbf")
for f in ["bom_utf8.ini", "bom_utf8_blank_first.ini", "bom_utf8_comment_first.ini", "only_bom.ini"]:
    ask(f, b"CONFIG", b"HUD_POS_X")
    ask(f, b"CONFIG", b"FONT_FACE")
ask("bom_utf8_blank_first.ini", b"CONFIG", b"FACE_UTF8")
ask("bom_utf8.ini", b"CONFIG", b"\xef\xbb\xbf[CONFIG]")
wide = "[CONFIG]\r\nHUD_POS_X=654\r\nFONT_FACE=\u00c9l\u00e9gant \u20ac\r\nK\u00c9Y=latin1\r\n" \
       "WIDE=\u0100\u4e2d\u0085\u00a0z\r\n\u00a0NBSP\u00a0=\u00a0n\u00a0\r\n"
write("utf16le.ini", b"\xff\xfe" + wide.encode("utf-16-le"))
write("utf16be.ini", b"\xfe\xff" + wide.encode("utf-16-be"))
write("utf16le_no_bom.ini", wide.encode("utf-16-le"))
for f in ["utf16le.ini", "utf16be.ini", "utf16le_no_bom.ini"]:
    for k in [b"HUD_POS_X", b"FONT_FACE", b"K\xc9Y", b"k\xe9y", b"WIDE", b"NBSP"]:
        ask(f, b"CONFIG", k)

# Every UTF-16 unit above 0x7F in a value, 64 to a key, to hold the code page
# 1252 narrowing (exact and best-fit) to the API's; then surrogate pairs.
units = ["[U]\r\n"]
for start in range(0x80, 0x10000, 64):
    units.append("U%04X=<%s>\r\n" % (start, "".join(chr(u) for u in range(start, start + 64))))
    ask("every_unit_utf16.ini", b"U", b"U%04X" % start)
for u in [0x1C, 0x1D, 0x1E, 0x1F, 0x85, 0xA0, 0x1680, 0x180E, 0x2000, 0x2005, 0x200A, 0x200B, 0x2028,
          0x2029, 0x202F, 0x205F, 0x3000, 0xFEFF]:
    units.append("%cS%04X%c=%cv%c\r\n" % (u, u, u, u, u))
    ask("every_unit_utf16.ini", b"U", b"S%04X" % u)
units.append("PAIR=<\U0001F600 \U00010000>\r\nLONE=<\udc00\ud800>\r\n")
ask("every_unit_utf16.ini", b"U", b"PAIR")
ask("every_unit_utf16.ini", b"U", b"LONE")
write("every_unit_utf16.ini", b"\xff\xfe" + "".join(units).encode("utf-16-le", "surrogatepass"))

# Empty and blank files.
write("empty.ini", b"")
write("blank.ini", b" \r\n\t\r\n\n\n   ")
for f in ["empty.ini", "blank.ini"]:
    ask(f, b"CONFIG", b"HUD_POS_X")

# Binary garbage, alone and between valid lines.
rng = random.Random(20261207)
write("garbage.bin", bytes(rng.randrange(256) for _ in range(16384)))
for s, k in [(b"CONFIG", b"HUD_POS_X"), (b"", b""), (b"A", b"B")]:
    ask("garbage.bin", s, k)
mixed = [b"[CONFIG]\n"]
for i in range(200):
    junk = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 120)))
    mixed.append(junk + b"\n")
    mixed.append(b"KEY%03d=value %d\n" % (i, i))
write("garbage_mixed.ini", b"".join(mixed))
for i in range(0, 200, 7):
    ask("garbage_mixed.ini", b"CONFIG", b"KEY%03d" % i)

# The fallback text: trailing blanks and quotes.
for fb in [b"default", b"default  ", b"  lead", b"\"quoted\"", b"'q'", b" ", b"  ", b"   ", b"a ", b" a  "]:
    ask("ordinary_lf.ini", b"CONFIG", b"NO_SUCH_KEY", fallback=fb)
    ask("missing.ini", b"CONFIG", b"HUD_POS_X", fallback=fb)
ask("ordinary_lf.ini", b"CONFIG", b"HUD_POS_X", fallback=b"default")
for size in [1, 3, 8]:
    ask("ordinary_lf.ini", b"CONFIG", b"NO_SUCH_KEY", fallback=b"default", size=size)

# Paths: missing files, a directory, a symlink loop, separators, and the
# 10 MB file made at test time.
for f in ["missing.ini", "dir.ini", "loop.ini", "sub\\nested.ini", "sub/nested.ini",
          "sub\\..\\ordinary_lf.ini", "BARE:ordinary_lf.ini"]:
    ask(f, b"CONFIG", b"HUD_POS_X")
for s, k in [(b"CONFIG", b"HUD_POS_X"), (b"CONFIG", b"FONT_FACE"), (b"FILLER", b"KEY0000001"),
             (b"FILLER", b"KEY0099999"), (b"FILLER", b"LONG"), (b"CONFIG", b"MISSING")]:
    ask("huge.ini", s, k)
write("nested.ini", b"[CONFIG]\nHUD_POS_X=99\n")

assert len(set(lookups)) == len(lookups), "every lookup once"
with open("lookups.txt", "w") as out:
    out.write("# file\tsection\tkey\tfallback\tsize; written by make_corpus.py\n")
    for file, section, key, fallback, size in lookups:
        out.write("%s\t%s\t%s\t%s\t%d\n" % (file, esc(section), esc(key), esc(fallback), size))
print(len(lookups), "lookups")
