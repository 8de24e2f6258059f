#!/usr/bin/env python3
"""Reads the output pane as a screen reader does, over AT-SPI: the word, line and sentence at
every offset of texts that start with a tab, a blank and a wide character. Each answer must come
within 50 ms, and name a piece that holds the offset.
    read_pane_over_atspi.py PANE_PROGRAM"""
import subprocess, sys, time
import pyatspi

TEXTS = ["\\tword and more\\nnext line", " blank first. Then a sentence.", "\u4e00\u4e01 wide first \u3042\u3044"]
BOUNDARIES = [("word", pyatspi.TEXT_BOUNDARY_WORD_START), ("line", pyatspi.TEXT_BOUNDARY_LINE_START),
              ("sentence", pyatspi.TEXT_BOUNDARY_SENTENCE_START)]
LIMIT = 0.050

def find_text(program):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app and app.name == program:
                found = pyatspi.findDescendant(app, lambda a: "Text" in pyatspi.listInterfaces(a))
                if found: return found.queryText()
        time.sleep(0.2)
    sys.exit(f"no accessible text of {program} on the bus")

failures = []
pyatspi.Registry.getDesktop(0).childCount  # the registry up before the pane, which then joins it
for text in TEXTS:
    child = subprocess.Popen([sys.argv[1], text])
    try:
        reader = find_text(sys.argv[1].rsplit("/", 1)[-1])
        count = reader.characterCount
        for name, boundary in BOUNDARIES:
            for offset in range(count + 1):
                start = time.monotonic()
                piece, first, last = reader.getTextAtOffset(offset, boundary)
                took = time.monotonic() - start
                if took > LIMIT: failures.append(f"{text!r} {name} at {offset}: {took * 1000:.1f} ms")
                if not (0 <= first <= last <= count) or (offset < count and not first <= offset <= last):
                    failures.append(f"{text!r} {name} at {offset}: ({piece!r}, {first}, {last})")
        attributes, first, last = reader.getAttributeRun(0, True)
        names = {a.split(":", 1)[0] for a in attributes}
        if not {"family-name", "size", "weight", "fg-color", "bg-color"} <= names or (first, last) != (0, count):
            failures.append(f"{text!r}: attributes {attributes!r} over {first} to {last}")
        print(f"{text!r}: {count + 1} offsets x {len(BOUNDARIES)} pieces answered; {attributes}")
    finally:
        child.terminate()
        child.wait()
print("\n".join(failures))
sys.exit(1 if failures else 0)
