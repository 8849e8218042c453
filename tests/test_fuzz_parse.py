"""Mutated documents never crash the parser: each one either parses and
renders back as it was read, or is rejected with ValueError."""
import os
import random

import pytest

from quillon import Document

HERE = os.path.dirname(os.path.abspath(__file__))
REALWORLD = os.path.join(HERE, "..", "..", "shared", "corpus", "realworld")
VALID = os.path.join(HERE, "..", "..", "shared", "corpus", "toml-test", "valid")

BUILTIN_SEEDS = [
    '# top\ntitle = "T"  # eol\n\n[owner]\nname = "N"\ndob = 1979-05-27T07:32:00-08:00\n',
    "a = [\n  1, # one\n  2,\n]\nt = { x = 1, y = { z = 'q' } }\n",
    '[[bin]]\nname = "a"\n\n[[bin]]\nname = "b"\npath = """\nmulti\nline"""\n',
    "x.y.z = 0x1F\nx.w = 1_000.5e-3\n[s]\nt = 07:32\nd = 1979-05-27\nf = -inf\n",
    "k = '''lit\\'''\nm = [[1, 2], [3.0, \"x\"], {a = true}]\n",
]

# Characters a flip may introduce: structure, quotes, escapes, controls and
# multi-byte text.
FLIP_CHARS = list("[]{}=.,#\"'\\ \t\n\r0123456789abcxyzTZ+-_") + ["\x00", "\x7f", "é", "€", "\U0001F600", "\ufeff"]


def load_seeds():
    texts = list(BUILTIN_SEEDS)
    for base in (REALWORLD, VALID):
        if not os.path.isdir(base):
            continue
        names = []
        for root, _, files in os.walk(base):
            names += [os.path.join(root, n) for n in files if n.endswith((".toml", ".lock"))]
        for path in sorted(names)[:60]:
            with open(path, "rb") as f:
                raw = f.read()
            try:
                text = raw.decode("utf-8")
            except UnicodeDecodeError:
                continue
            texts.append(text[:20000])
    return texts


def mutate(rng, text):
    kind = rng.randrange(5)
    if not text:
        return rng.choice(FLIP_CHARS)
    if kind == 0:  # replace a few characters
        chars = list(text)
        for _ in range(rng.randint(1, 4)):
            chars[rng.randrange(len(chars))] = rng.choice(FLIP_CHARS)
        return "".join(chars)
    if kind == 1:  # truncate anywhere
        return text[: rng.randrange(len(text))]
    if kind == 2:  # duplicate a line
        lines = text.split("\n")
        i = rng.randrange(len(lines))
        lines.insert(rng.randrange(len(lines) + 1), lines[i])
        return "\n".join(lines)
    if kind == 3:  # deep nesting, sometimes past the limit
        depth = rng.choice([10, 79, 80, 81, 200])
        opener, closer = rng.choice([("[", "]"), ("{a=", "}")])
        return text + "\nnest = " + opener * depth + "1" + closer * rng.choice([depth, depth - 1])
    # insert a random character
    i = rng.randrange(len(text) + 1)
    return text[:i] + rng.choice(FLIP_CHARS) + text[i:]


def renders_back(text, out):
    if out == text:
        return True
    t, o = text.replace("\r", ""), out.replace("\r", "")
    if o == t or (not t.endswith("\n") and o == t + "\n"):
        return True
    # Interleaved dotted keys come back grouped by prefix: same lines, other order.
    return sorted(t.rstrip("\n").split("\n")) == sorted(o.rstrip("\n").split("\n"))


@pytest.mark.parametrize("seed", range(4))
def test_mutated_documents_parse_or_raise_value_error(seed):
    rng = random.Random(1000 + seed)
    seeds = load_seeds()
    accepted = rejected = 0
    for _ in range(800):
        text = mutate(rng, rng.choice(seeds))
        try:
            doc = Document.parse(text)
        except ValueError as e:
            assert str(e), "a rejection must say why"
            rejected += 1
            continue
        accepted += 1
        out = doc.as_toml()
        assert renders_back(text, out), (text, out)
        again = Document.parse(out)
        assert again.as_toml() == out
        try:
            value = doc.value
        except ValueError:
            continue  # year 0 or a leap second: valid TOML that Python cannot hold
        # repr, because nan never equals itself
        assert repr(again.value) == repr(value)
    # Both outcomes must be exercised, or the mutations are not doing their job.
    assert accepted > 50 and rejected > 50
