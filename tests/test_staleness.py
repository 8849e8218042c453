"""Which references each edit makes stale: a reference fails after an edit
replaced, removed or shifted what its path (or a prefix of it) designates, and
keeps working otherwise."""

import copy

import pytest

from quillon import Document

STALE = "^stale: the document has been modified since this reference was created$"

SOURCE = """\
a = 1
s = "x"
arr = [10, 11, 12, 13]
inl = { p = 1, q = { r = 2 } }

[t]
x = 1
y = { z = 3 }
"0" = "text key"
list = [1, 2]

[[bin]]
n = 0

[[bin]]
n = 1
"""

# Every reference the tests watch, by name, as a path from the root.
PATHS = {
    "a": ("a",),
    "s": ("s",),
    "arr": ("arr",),
    "arr0": ("arr", 0),
    "arr1": ("arr", 1),
    "arr2": ("arr", 2),
    "arr3": ("arr", 3),
    "inl": ("inl",),
    "inl.p": ("inl", "p"),
    "inl.q": ("inl", "q"),
    "inl.q.r": ("inl", "q", "r"),
    "t": ("t",),
    "t.x": ("t", "x"),
    "t.y": ("t", "y"),
    "t.y.z": ("t", "y", "z"),
    "t.0": ("t", "0"),
    "t.list": ("t", "list"),
    "t.list0": ("t", "list", 0),
    "bin": ("bin",),
    "bin0": ("bin", 0),
    "bin0.n": ("bin", 0, "n"),
    "bin1": ("bin", 1),
}


def resolve(doc, path):
    item = doc[path[0]]
    for step in path[1:]:
        item = item[step]
    return item


def is_stale(item):
    try:
        item.value
    except RuntimeError as e:
        assert str(e) == STALE[1:-1]
        return True
    return False


def stale_after(edit):
    doc = Document.parse(SOURCE)
    refs = {name: resolve(doc, path) for name, path in PATHS.items()}
    edit(doc, refs)
    return {name for name, ref in refs.items() if is_stale(ref)}


EVERYTHING = set(PATHS)
T_ALL = {"t", "t.x", "t.y", "t.y.z", "t.0", "t.list", "t.list0"}


@pytest.mark.parametrize(
    "edit, stale",
    [
        # document level
        (lambda d, r: d.__setitem__("t", {"x": 1}), T_ALL),
        (lambda d, r: d.__setitem__("new", 1), set()),
        (lambda d, r: d.setdefault("new", 5), set()),
        (lambda d, r: d.setdefault("t", 5), set()),
        (lambda d, r: d.__delitem__("arr"), {"arr", "arr0", "arr1", "arr2", "arr3"}),
        (lambda d, r: d.pop("t"), T_ALL),
        (lambda d, r: d.pop("missing", None), set()),
        (lambda d, r: d.popitem(), {"bin", "bin0", "bin0.n", "bin1"}),
        (lambda d, r: d.update({"a": 2, "new": 3}), {"a"}),
        (lambda d, r: d.update(s="y", a=5), {"a", "s"}),
        (lambda d, r: d.__ior__({"inl": {}}), {"inl", "inl.p", "inl.q", "inl.q.r"}),
        (lambda d, r: d.clear(), EVERYTHING),
        (lambda d, r: d.fmt(), set()),
        (lambda d, r: d | {"a": 5}, set()),
        # table and inline-table keys
        (lambda d, r: r["t"].__setitem__("x", 5), {"t.x"}),
        (lambda d, r: r["t"].__setitem__("y", 5), {"t.y", "t.y.z"}),
        (lambda d, r: r["t"].__setitem__("new", 5), set()),
        (lambda d, r: r["inl"].__setitem__("q", 5), {"inl.q", "inl.q.r"}),
        (lambda d, r: r["inl"].__setitem__("new", 5), set()),
        (lambda d, r: r["t"].__delitem__("y"), {"t.y", "t.y.z"}),
        (lambda d, r: r["inl"].__delitem__("p"), {"inl.p"}),
        # array elements
        (lambda d, r: r["arr"].__setitem__(1, 5), {"arr1"}),
        (lambda d, r: r["arr"].__setitem__(-1, 5), {"arr3"}),
        (lambda d, r: r["bin"].__setitem__(0, {"n": 9}), {"bin0", "bin0.n"}),
        (lambda d, r: r["arr"].__delitem__(3), {"arr3"}),
        (lambda d, r: r["arr"].__delitem__(-1), {"arr3"}),
        (lambda d, r: r["arr"].__delitem__(1), {"arr1", "arr2", "arr3"}),
        (lambda d, r: r["bin"].__delitem__(0), {"bin0", "bin0.n", "bin1"}),
        # slices
        (lambda d, r: r["arr"].__setitem__(slice(1, 3), [7, 8]), {"arr1", "arr2"}),
        (lambda d, r: r["arr"].__setitem__(slice(None, None, 2), [7, 8]), {"arr0", "arr2"}),
        (lambda d, r: r["arr"].__setitem__(slice(1, 2), [7, 8]), {"arr1", "arr2", "arr3"}),
        (lambda d, r: r["arr"].__setitem__(slice(2, 2), [7]), {"arr2", "arr3"}),
        (lambda d, r: r["arr"].__setitem__(slice(4, 4), [7]), set()),
        (lambda d, r: r["arr"].__delitem__(slice(2, None)), {"arr2", "arr3"}),
        (lambda d, r: r["arr"].__delitem__(slice(None, None, -2)), {"arr1", "arr2", "arr3"}),
        (lambda d, r: r["arr"].__delitem__(slice(3, 1)), set()),
        # clearing, formatting and comments
        (lambda d, r: r["t"].clear(), {"t.x", "t.y", "t.y.z", "t.0", "t.list", "t.list0"}),
        (lambda d, r: r["arr"].clear(), {"arr0", "arr1", "arr2", "arr3"}),
        (lambda d, r: r["t"].fmt(), set()),
        (lambda d, r: setattr(r["a"], "comment", "# c"), set()),
        (lambda d, r: setattr(r["arr1"], "inline_comment", "# c"), set()),
        (lambda d, r: setattr(r["t.x"], "inline_comment", "# c"), set()),
    ],
)
def test_edit_makes_exactly_these_references_stale(edit, stale):
    assert stale_after(edit) == stale


@pytest.mark.parametrize(
    "edit, name, twin_stale",
    [
        # a shift of positions refreshes the editing reference and stamps the
        # children only: another reference to the same array stays valid
        (lambda d, r: r["arr"].__delitem__(1), "arr", False),
        (lambda d, r: r["arr"].__setitem__(slice(1, 2), []), "arr", False),
        (lambda d, r: r["arr"].__delitem__(slice(0, 2)), "arr", False),
        # clearing stamps the reference's own path
        (lambda d, r: r["t"].clear(), "t", True),
        (lambda d, r: r["arr"].clear(), "arr", True),
    ],
)
def test_reference_that_made_the_edit_stays_usable(edit, name, twin_stale):
    doc = Document.parse(SOURCE)
    refs = {"arr": doc["arr"], "t": doc["t"]}
    twin = resolve(doc, PATHS[name])
    edit(doc, refs)
    refs[name].value
    assert is_stale(twin) is twin_stale


def test_stale_reference_refuses_every_operation():
    doc = Document.parse(SOURCE)
    t = doc["t"]
    doc["t"] = {}
    operations = [
        lambda: t.value, lambda: t.as_toml(), lambda: len(t), lambda: bool(t), lambda: iter(t), lambda: "x" in t,
        lambda: str(t), lambda: repr(t), lambda: t == {}, lambda: t["x"], lambda: t.__setitem__("x", 1),
        lambda: t.__delitem__("x"), lambda: t.clear(), lambda: t.fmt(), lambda: t.comment,
        lambda: setattr(t, "comment", None), lambda: t.inline_comment, lambda: setattr(t, "inline_comment", None),
    ]
    before = doc.as_toml()
    for operation in operations:
        with pytest.raises(RuntimeError, match=STALE):
            operation()
    assert doc.as_toml() == before
    assert isinstance(t, type(doc["t"]))


@pytest.mark.parametrize(
    "use",
    [
        lambda d, x: d.__setitem__("copy", x),
        lambda d, x: d.__getitem__(x),
        lambda d, x: d["t"].__getitem__(x),
        lambda d, x: x in d,
        lambda d, x: d.update({"k": x}),
    ],
)
def test_stale_items_given_as_arguments_are_refused(use):
    doc = Document.parse(SOURCE)
    key = doc["s"]
    doc["s"] = "x"
    before = doc.as_toml()
    with pytest.raises(RuntimeError, match=STALE):
        use(doc, key)
    assert doc.as_toml() == before


def test_reference_made_after_a_change_is_valid():
    doc = Document.parse(SOURCE)
    doc["a"] = 2
    fresh = doc["a"]
    assert fresh.value == 2
    doc["b"] = 3
    assert fresh.value == 2


def test_child_takes_the_current_clock_not_its_parents():
    doc = Document.parse(SOURCE)
    t = doc["t"]
    t["x"] = 2  # records a change of t.x; t itself stays valid
    x = t["x"]
    assert x.value == 2


def test_index_and_text_key_zero_never_interfere():
    doc = Document.parse("[[aot]]\n\"0\" = 1\n[[aot]]\n\"0\" = 2\n")
    member = doc["aot"][0]
    text_key = member["0"]
    doc["aot"][0]["0"] = 5  # records [aot, 0, "0"]: the index 0 above it is untouched
    assert member.value == {"0": 5}
    assert is_stale(text_key)
    fresh = doc["aot"][0]["0"]
    doc["aot"][1] = {"0": 3}  # records [aot, 1]
    assert fresh.value == 5


def test_stale_stays_stale():
    doc = Document.parse(SOURCE)
    x = doc["t"]["x"]
    doc["t"]["x"] = 1
    doc["t"] = {"x": 1}
    doc.update({"t": {"x": 1}})
    assert is_stale(x)


def test_negative_index_reference_keeps_its_element():
    doc = Document.parse(SOURCE)
    last = doc["arr"][-1]
    doc["arr"][4:4] = [14]  # appends; the reference designates index 3
    assert last.value == 13


def test_copies_have_their_own_clock():
    doc = Document.parse(SOURCE)
    other = copy.copy(doc)
    x = other["t"]["x"]
    doc["t"] = {}
    assert x.value == 1
    other["t"]["x"] = 5
    assert doc["t"].value == {}
