"""A large text is parsed on two threads, the statements handed from one to
the other in runs. It must read, and fail, exactly as the same statements do
in a small text: the same values, the same error at the same place, and the
grammar's error first even when an error of another kind comes before it."""

import pytest

from quillon import Document


def body(tables):
    return "".join(
        f'[t{i}]\na = {i}\nb = "x{i}"  # note\nc = [1.5, 0x1F, 1979-05-27]\nd = {{ e = true, f.g = 07:32:00 }}\n\n'
        for i in range(tables)
    )


SMALL = body(3)
LARGE = body(6000)


# (head, tail): the text is head + a body of tables + tail.
CASES = [
    ("", "z = 1\nz = 2\n"),                      # duplicate key
    ("", "z = 1__2\n"),                          # number
    ("", "z = 1979-13-27\n"),                    # date
    ("", 'z = "\\q"\n'),                         # escape
    ("", "[t1]\nq = 1\n"),                       # table defined twice
    ("", "z = [1, 2\n"),                         # grammar
    ("top = 0x\n", ""),                          # before the body
    ("top = 1\ntop = 2\n", "z = = 1\n"),         # the grammar's error wins
    ("top = 1__2\n", "z = 1\nz = 2\n"),          # the first of two others wins
    ("", "d.e.x = 2\n"),                         # dotted key into an inline table
    ("", "[[t1]]\n"),                            # array of tables over a table
    ("", "z = 1\n[t2.deep]\nx = { y = 1__0 }\n"),
]


def failure(text):
    with pytest.raises(ValueError) as info:
        Document.parse(text)
    return info.value


@pytest.mark.parametrize("head, tail", CASES)
def test_large_text_fails_as_a_small_one(head, tail):
    small = failure(head + SMALL + tail)
    large = failure(head + LARGE + tail)
    shift = LARGE.count("\n") - SMALL.count("\n") if small.lineno > head.count("\n") else 0
    assert (large.lineno - shift, large.colno) == (small.lineno, small.colno)
    assert str(large).splitlines()[-1] == str(small).splitlines()[-1]


def first_difference(a, b):
    """Where two long texts part, with a little of each (a plain == would
    have pytest diff the whole texts)."""
    if a == b:
        return None
    k = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return k, a[k - 20 : k + 20], b[k - 20 : k + 20]


@pytest.mark.parametrize("bom, newline", [("", "\n"), ("\ufeff", "\r\n")])
def test_large_text_reads_and_renders_as_written(bom, newline):
    tomllib = pytest.importorskip("tomllib")
    text = "title = 'large'\n" + LARGE + "[[t1.list]]\nx = 1\n[[t1.list]]\nx = 2\n"
    text = bom + text.replace("\n", newline)
    doc = Document.parse(text)
    # Carriage returns outside multi-line strings are dropped.
    expected = text.replace("\r\n", "\n")
    assert first_difference(doc.as_toml(), expected) is None
    assert doc.value == tomllib.loads(text.removeprefix(bom))
    doc["t1"]["a"] = 7
    assert first_difference(doc.as_toml(), expected.replace("[t1]\na = 1\n", "[t1]\na = 7\n")) is None
