#!/usr/bin/env python3
"""Reads the output pane as a screen reader does, over AT-SPI: word, line and sentence at every
offset of texts that start with a tab, a blank and a wide character, each within 50 ms and a
piece that holds the offset; and the text's attributes.   read_pane_over_atspi.py PANE_PROGRAM"""
import subprocess, sys, time
import pyatspi

TEXTS = ["\\tword and more\\nnext line", " blank first. Then a sentence.", "\u4e00\u4e01 wide first \u3042\u3044"]
BOUNDARIES = {"word": pyatspi.TEXT_BOUNDARY_WORD_START, "line": pyatspi.TEXT_BOUNDARY_LINE_START,
              "sentence": pyatspi.TEXT_BOUNDARY_SENTENCE_START}

def find_text(program):
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            found = app and app.name == program and pyatspi.findDescendant(app, lambda a: "Text" in pyatspi.listInterfaces(a))
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
        for (name, boundary), offset in ((b, o) for b in BOUNDARIES.items() for o in range(count + 1)):
            start = time.monotonic()
            piece, first, last = reader.getTextAtOffset(offset, boundary)
            took = time.monotonic() - start
            if took > 0.050 or not (0 <= first <= last <= count) or (offset < count and not first <= offset <= last):
                failures.append(f"{text!r} {name} at {offset}: ({piece!r}, {first}, {last}) in {took * 1000:.1f} ms")
        attributes, first, last = reader.getAttributeRun(0, True)
        if not {"family-name", "size", "weight", "fg-color", "bg-color"} <= {a.split(":")[0] for a in attributes}:
            failures.append(f"{text!r}: attributes {attributes!r} over {first} to {last}")
        print(f"{text!r}: {count + 1} offsets x {len(BOUNDARIES)} pieces answered; {attributes}")
    finally:
        child.terminate()
        child.wait()
print("\n".join(failures))
sys.exit(1 if failures else 0)
