#!/usr/bin/python3
"""No text a user meets names macOS things ("Finder", "Mac", "Macintosh", the signs ⌘ and ⌥): the
strings built into the programs (read from their read-only data, in UTF-8 and in UTF-16 as QStringLiteral
stores them), the layouts and the code uic makes of them, the bundled resources and the package files.
Identifiers are excepted by name (the file-manager reader's classes and members keep their names, and so
do the mangled names the compiler keeps of them), and so are the few stored and analytics values that
are the system's own words.
usage: desktop_words.py SOURCE_DIR BUILD_DIR HARBRILL (the login helper beside it is read too)"""
import pathlib
import re
import subprocess
import sys
import tempfile

BANNED = re.compile(r"Finder|Mac(?![a-hj-z])|macOS|\u2318|\u2325")
# Identifiers that may hold a banned word, by name.
IDENTIFIERS = ("HBFinderData", "FinderTalk", "SelectedFinderURLs", "FinderSelection", "finderSelection",
               "isFinderData", "finderSource", "startFinderSource", "sourceFinderWithStateAndMonitor")
# Whole strings that are values of the system (the analytics action and the "Source" of a tile's click).
VALUES = {"Finder"}
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")


def offending(text):
    """The banned words of `text` that are no part of an excepted identifier."""
    if text in VALUES:
        return []
    words = []
    for match in BANNED.finditer(text):
        token = next((t for t in IDENTIFIER.finditer(text) if t.start() <= match.start() < t.end()), None)
        if token is not None and token.group() != match.group() and any(n in token.group() for n in IDENTIFIERS):
            continue
        words.append(match.group())
    return words


def text_unit(code):
    return 0x20 <= code < 0x7F or 0xA0 <= code < 0x0250 or 0x2000 <= code < 0x2C00


def program_strings(path):
    """Strings of the read-only data: NUL-terminated UTF-8, and NUL-delimited UTF-16 of text characters."""
    with tempfile.NamedTemporaryFile() as out:
        subprocess.run(["objcopy", "-O", "binary", "--only-section=.rodata", str(path), out.name], check=True)
        data = pathlib.Path(out.name).read_bytes()
    for raw in re.findall(rb"[^\x00]{1,4096}", data):
        try:
            yield raw.decode("utf-8")
        except UnicodeDecodeError:
            pass
    for start in (0, 1):
        run = []  # None: broken by a unit that is no text, until the next NUL
        for i in range(start, len(data) - 1, 2):
            code = data[i] | data[i + 1] << 8
            if code == 0:
                if run:
                    yield "".join(map(chr, run))
                run = []
            elif run is not None and text_unit(code):
                run.append(code)
            else:
                run = None


def files(source, build):
    for pattern in ("app/**/*.ui", "mainwindow/**/*.ui", "resources/*.ui", "resources/*.json", "resources/*.scpt",
                    "packaging/**/*.desktop", "packaging/*.in", "packaging/copyright"):
        yield from sorted(source.glob(pattern))
    yield from sorted(build.glob("**/include/ui_*.h"))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, build, program = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    programs = [program] + [p for p in [program.with_name("harbrill-helper")] if p.exists()]
    faults = []
    for program in programs:
        for text in set(program_strings(program)):
            if offending(text):
                faults.append("%s: %r" % (program, text))
    checked = 0
    for path in files(source, build):
        checked += 1
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            words = offending(line)
            if words:
                at = line.find(words[0])
                faults.append("%s:%d: %s in ...%s..." % (path, number, "/".join(words), line[max(0, at - 60):at + 60]))
    if checked < 20:
        sys.exit("only %d layout and package files found: wrong folders?" % checked)
    for fault in faults:
        print(fault)
    print("%d programs and %d files checked, %d texts naming macOS" % (len(programs), checked, len(faults)))
    sys.exit(1 if faults else 0)


main()
