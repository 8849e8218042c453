"""A parsed document renders the tables that no edit reached from their source
text. Random edits by every route, on a document of many tables: after each
one the text is the same as that of a copy (which has no source text and
renders everything), and reads back to the document's value."""

import copy
import random

import pytest

from quillon import Document

SOURCE = """\
# lock file
version = 3
meta.kind = "lock"  # dotted

[tool]
name = "x{wide}"
point = { x = 1, y = 2 }

[tool.sub]
deep = [1, 2, 3]

[[package]]
name = "a"
version = "1.0"
dependencies = [
 "b",
 "c",
]

[[package]]
# the second{wide}
"name" = "b"
'quoted {wide}' = 'q'
info.a = 1
version = "2.0"
info.b = 2

[package.extra]
k = 1

[[package]]
name = "c"
version = "3.0"  # three

[[package]]
name = "d"

[[package]]
name = "e"
checksum = "e{wide}"

[between]
z = 0

[[package]]
name = "f"

[a.b.c]
x = 1

[last]
y = 2

# rendered with its dotted keys together
[mixed]
a.b = 1
c = "{wide}"
a.d = 3
"""


def edit(rng, doc):
    packages = doc["package"] if "package" in doc else None
    op = rng.randrange(15)
    if op == 0 and packages:
        packages[rng.randrange(len(packages))]["version"] = f"{rng.randrange(9)}.0"
    elif op == 1 and packages:
        packages.append({"name": "new", "version": "0.1"})
    elif op == 2 and packages:
        packages.pop(rng.randrange(len(packages)))
    elif op == 3 and packages:
        packages.insert(rng.randrange(len(packages) + 1), {"name": "ins"})
    elif op == 4:
        doc["version"] = rng.randrange(10)
    elif op == 5 and "tool" in doc:
        doc["tool"]["point"]["z"] = rng.randrange(10)
    elif op == 6 and "tool" in doc and "sub" in doc["tool"]:
        doc["tool"]["sub"]["deep"].append(rng.randrange(10))
    elif op == 7 and "last" in doc:
        doc["last"].comment = "# about the last table"
    elif op == 8 and packages:
        packages[rng.randrange(len(packages))]["name"].inline_comment = "# named"
    elif op == 9 and "a" in doc:
        doc["a"]["b"]["c"]["x"] = rng.randrange(10)
    elif op == 10 and "a" in doc:
        doc["a"].implicit = not doc["a"].implicit
    elif op == 11:
        key = rng.choice(["tool", "last", "a", "package", "meta", "mixed"])
        doc.pop(key, None)
    elif op == 12:
        doc.update({"tool": {"name": "y\u00ff\u2603"}} if rng.random() < 0.5 else {"extra": {"t": 1}})
    elif op == 13 and "mixed" in doc:
        doc["mixed"]["c"] = rng.randrange(10)
    else:
        doc["meta"] = {"kind": "edited"}


# The widest character of the text may come and go with the edits.
@pytest.mark.parametrize("wide", ["", "\u00e9", "\u20ac", "\U0001f600"])
@pytest.mark.parametrize("line_end", ["\n", "\r\n"])
@pytest.mark.parametrize("seed", range(6))
def test_text_after_edits_equals_a_full_render(seed, line_end, wide):
    rng = random.Random(seed)
    source = SOURCE.replace("{wide}", wide)
    doc = Document.parse(source.replace("\n", line_end))
    for _ in range(60):
        before = doc.as_toml()
        try:
            edit(rng, doc)
        except (KeyError, TypeError, IndexError):
            # The edit did not fit what an earlier one left (a table replaced
            # by a value, an emptied list): nothing changed.
            assert doc.as_toml() == before
        text = doc.as_toml()
        assert text == copy.copy(doc).as_toml()
        assert Document.parse(text).value == doc.value
        if not doc:
            doc = Document.parse(source)
