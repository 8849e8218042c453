"""Removing an entry takes along only its own comment lines (those directly
above it); lines that a blank line separates from it stay where they were."""
import tomllib

import pytest

from quillon import Document

HEADER = "# file header\n\n[first]\nx = 1\n\n[second]\ny = 2\n"
GROUPS = "# header\n\n# about a\na = 1\n# sep\n\n# about b\nb = 2\nc = 3\n"
SUB = "[t]\n# head\n\n# about a\na = 1\nb = 2\n"


def pop(mapping, key):
    mapping.pop(key)


def delete(mapping, key):
    del mapping[key]


@pytest.mark.parametrize("remove", [pop, delete])
@pytest.mark.parametrize(
    "source, path, key, expected",
    [
        (HEADER, [], "first", "# file header\n\n[second]\ny = 2\n"),
        (GROUPS, [], "a", "# header\n\n# sep\n\n# about b\nb = 2\nc = 3\n"),
        (GROUPS, [], "b", "# header\n\n# about a\na = 1\n# sep\n\nc = 3\n"),
        (SUB, ["t"], "a", "[t]\n# head\n\nb = 2\n"),
        ("[t]\n[t.u]\nk = 1\n\n# trailing note\n\n[t.v]\n", ["t"], "v", "[t]\n[t.u]\nk = 1\n\n# trailing note\n\n"),
        ("# only\n\n# mine\nk = 1\n", [], "k", "# only\n\n"),
        # Nothing but the entry's own lines and blank lines: all of it goes.
        ("a = 1\n\n# own\nb = 2\n", [], "b", "a = 1\n"),
        ("# h\n\n[[x]]\nk = 1\n[[x]]\nk = 2\n\n[y]\n", [], "x", "# h\n\n[y]\n"),
    ],
)
def test_removal_keeps_lines_that_are_not_the_entrys_own(remove, source, path, key, expected):
    doc = Document.parse(source)
    target = doc
    for part in path:
        target = target[part]
    remove(target, key)
    assert doc.as_toml() == expected
    assert tomllib.loads(expected) == doc.value


@pytest.mark.parametrize(
    "source, action, expected",
    [
        (HEADER, lambda d: d.clear(), "# file header\n\n"),
        (SUB, lambda d: d["t"].clear(), "[t]\n# head\n\n"),
        ("a = 1\n\n# group\n\n[t]\nx = 1\n", lambda d: d.popitem(), "a = 1\n\n# group\n\n"),
        ("[t]\na = 1\n\n# note\n\n# about b\nb = 2\n", lambda d: d["t"].popitem(), "[t]\na = 1\n\n# note\n\n"),
        # A cleared document that gets new entries keeps its header on top.
        (HEADER, lambda d: (d.clear(), d.update(n=1)), "# file header\n\nn = 1\n"),
    ],
)
def test_clear_and_popitem_keep_lines_that_are_not_the_entrys_own(source, action, expected):
    doc = Document.parse(source)
    action(doc)
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    "source, path, key, value, expected, comment",
    [
        (HEADER, [], "first", 5, "# file header\n\nfirst = 5\n\n[second]\ny = 2\n", None),
        ("# h\n\n# own\n[t]\nx = 1\n", [], "t", 1, "# h\n\n# own\nt = 1\n", "# own"),
        ("[t]\nk = 1\n\n# h\n\n[t.sub]\nx = 1\n[u]\n", ["t"], "sub", 5, "[t]\nk = 1\nsub = 5\n\n# h\n\n[u]\n", None),
        # A key/value line that becomes a section below its body's other
        # lines leaves the group heading above those lines.
        ("a = 1\n\n# h\n\n# own\nb = 2\nc = 3\n", [], "b", {"k": 1},
         "a = 1\n\n# h\n\nc = 3\n# own\n[b]\nk = 1\n", "# own"),
    ],
)
def test_entry_that_changes_form_leaves_foreign_lines_in_place(source, path, key, value, expected, comment):
    doc = Document.parse(source)
    target = doc
    for part in path:
        target = target[part]
    target[key] = value
    assert doc.as_toml() == expected
    assert target[key].comment == comment


@pytest.mark.parametrize(
    "replace",
    [
        lambda d: d.__setitem__("first", 5),
        lambda d: d.update({"first": 5}),
        lambda d: d.update(first=5),
        lambda d: d.update(Document.parse("first = 5\n")),
        lambda d: d | {"first": 5},
    ],
    ids=["setitem", "update", "update-keywords", "update-document", "merge"],
)
def test_every_replacement_route_keeps_the_file_header(replace):
    doc = Document.parse(HEADER)
    result = replace(doc) or doc
    assert result.as_toml() == "# file header\n\nfirst = 5\n\n[second]\ny = 2\n"


INLINE = "t = {\n  # group\n\n  # about a\n  a = 1,\n  # about b\n  b = 2,\n\n  # tail group\n\n  # about c\n  c = 3\n}\n"


@pytest.mark.parametrize(
    "source, key, expected",
    [
        (INLINE, "a", "t = {\n  # group\n\n  # about b\n  b = 2,\n\n  # tail group\n\n  # about c\n  c = 3\n}\n"),
        (INLINE, "b", "t = {\n  # group\n\n  # about a\n  a = 1,\n\n  # tail group\n\n  # about c\n  c = 3\n}\n"),
        (INLINE, "c", "t = {\n  # group\n\n  # about a\n  a = 1,\n  # about b\n  b = 2\n\n  # tail group\n\n}\n"),
        # The next entry moves up to the removed one's line.
        ("t = {\n  x = 0,\n\n  # g\n\n  # about a\n  a = 1, b = 2\n}\n", "a", "t = {\n  x = 0,\n\n  # g\n\n  b = 2\n}\n"),
        ("t = { # c\n  # g\n\n  # about a\n  a = 1, b = 2 }\n", "a", "t = { # c\n  # g\n\n  b = 2 }\n"),
        ("t = {\n  # g\n\n  # about a\n  a = 1 }\n", "a", "t = {\n  # g\n\n}\n"),
    ],
)
def test_inline_table_removal_keeps_lines_that_are_not_the_entrys_own(source, key, expected):
    doc = Document.parse(source)
    del doc["t"][key]
    assert doc.as_toml() == expected
    assert Document.parse(expected).value == doc.value


TABLES = "# h\n\n[[x]]\na = 1\n\n# c2\n[[x]]\na = 2\n\n# g3\n\n# c3\n[[x]]\na = 3\n\n[y]\n"


@pytest.mark.parametrize(
    "index, expected",
    [
        (0, "# h\n\n# c2\n[[x]]\na = 2\n\n# g3\n\n# c3\n[[x]]\na = 3\n\n[y]\n"),
        (1, "# h\n\n[[x]]\na = 1\n\n# g3\n\n# c3\n[[x]]\na = 3\n\n[y]\n"),
        (-1, "# h\n\n[[x]]\na = 1\n\n# c2\n[[x]]\na = 2\n\n# g3\n\n[y]\n"),
        (slice(0, 2), "# h\n\n# g3\n\n# c3\n[[x]]\na = 3\n\n[y]\n"),
        (slice(None, None, 2), "# h\n\n# c2\n[[x]]\na = 2\n\n# g3\n\n[y]\n"),
    ],
)
def test_array_of_tables_member_removal_keeps_lines_that_are_not_its_own(index, expected):
    doc = Document.parse(TABLES)
    del doc["x"][index]
    assert doc.as_toml() == expected
