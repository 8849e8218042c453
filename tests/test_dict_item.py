"""DictItem: what only tables and inline tables have (the implicit flag, parse,
staleness of every member, pop and popitem on each kind of table); the members
it shares with Document are tested in test_mapping_methods."""

import collections.abc
import inspect
import tomllib

import pytest

from quillon import DictItem, Document, Item

STALE = "stale: the document has been modified since this reference was created"

SOURCE = """\
title = "x"

[server]
# the port
port = 8080  # main
host = "h"
tags = [1, 2]

[server.tls]
cert = "c"

[[server.peers]]
n = 1

[inline]
t = { a = 1, b = 2 }
"""


@pytest.fixture
def doc():
    return Document.parse(SOURCE)


def stale_server(doc):
    server = doc["server"]
    doc["server"] = {"port": 1}
    return server


# ---- the class ----


def test_is_a_mutable_mapping_and_an_item(doc):
    server = doc["server"]
    assert isinstance(server, DictItem)
    assert isinstance(server, Item)
    assert isinstance(server, collections.abc.MutableMapping)
    assert isinstance(doc["inline"]["t"], collections.abc.MutableMapping)


def test_parse_signature():
    parse = vars(DictItem)["parse"].__func__
    assert parse.__text_signature__ == "(text)"
    assert parse.__doc__ is None
    inspect.signature(DictItem.parse)  # the text parses


def test_implicit_docstring_mentions_the_literal_backslash_n():
    doc = DictItem.implicit.__doc__
    assert doc.startswith("Whether this table's header is implicit (suppressed in TOML output).\n\n")
    assert "``[a.b]\\nx = 1``" in doc
    assert "header \u2014 it exists" in doc
    assert doc.endswith("Silently ignored on inline tables.")


# ---- staleness ----


@pytest.mark.parametrize(
    "call",
    [
        lambda d: d.get("port"),
        lambda d: d.keys(),
        lambda d: d.pop("port", None),
        lambda d: d.popitem(),
        lambda d: d.setdefault("port"),
        lambda d: d.update({}),
        lambda d: d.implicit,
        lambda d: d | {},
        lambda d: {} | d,
    ],
    ids=["get", "keys", "pop-with-default", "popitem", "setdefault", "update", "implicit",
         "or", "ror"],
)
def test_stale_dict_item_refuses_every_member(doc, call):
    server = stale_server(doc)
    before = doc.as_toml()
    with pytest.raises(RuntimeError, match=STALE):
        call(server)
    assert doc.as_toml() == before


def test_get_with_a_non_string_key_needs_no_fresh_reference(doc):
    server = stale_server(doc)
    assert server.get(1, "d") == "d"


# ---- popitem and pop on each kind of table ----


@pytest.mark.parametrize(
    "source, popped, value",
    [
        ("t = {a = 1, b = 2}\n", ("b", 2), {"a": 1}),
        ("[t]\na = 1\nb = [3]\n", ("b", [3]), {"a": 1}),
        ("[t]\na = 1\n[t.sub]\nx = 1\n", ("sub", {"x": 1}), {"a": 1}),
    ],
)
def test_popitem_removes_the_last_entry(source, popped, value):
    doc = Document.parse(source)
    t = doc["t"]
    last = t[popped[0]]
    first = t["a"]
    assert t.popitem() == popped
    assert doc["t"].value == value
    with pytest.raises(RuntimeError, match=STALE):
        last.value
    assert first.value == 1


@pytest.mark.parametrize("source", ["t = {}\n", "[t]\n", "a.t.x = 1\n"])
def test_popitem_on_an_empty_table(source):
    doc = Document.parse(source)
    target = doc["t"] if "t" in doc else doc["a"]["t"]
    if len(target):
        target.popitem()
    before = doc.as_toml()
    with pytest.raises(KeyError) as info:
        target.popitem()
    assert info.value.args == ("popitem(): dictionary is empty",)
    assert doc.as_toml() == before


@pytest.mark.parametrize(
    "source, path, remove, value",
    [
        ("a.b = 1\nz = 2\n", ["a"], "b", {"a": {}, "z": 2}),
        ("[x.y]\nz = 1\n", ["x"], "y", {"x": {}}),
        ("[s]\na.b = 1\n", ["s", "a"], "b", {"s": {"a": {}}}),
        ("t = { a.b = 1, c = 2 }\n", ["t", "a"], "b", {"t": {"a": {}, "c": 2}}),
    ],
    ids=["dotted", "implicit", "dotted-in-table", "dotted-inline"],
)
@pytest.mark.parametrize("method", ["pop", "popitem"])
def test_emptied_dotted_or_implicit_table_stays_in_the_text(source, path, remove, value, method):
    doc = Document.parse(source)
    target = doc
    for key in path:
        target = target[key]
    if method == "pop":
        target.pop(remove)
    else:
        assert target.popitem()[0] == remove
    assert doc.value == value
    assert tomllib.loads(doc.as_toml()) == value


# ---- setdefault ----


def test_setdefault_writes_tables_as_tables_and_into_inline_tables_as_values(doc):
    doc["server"].setdefault("extra", {"k": 1})
    doc["inline"]["t"].setdefault("c", {"k": 1})
    text = doc.as_toml()
    assert "[server.extra]\nk = 1\n" in text
    assert "t = { a = 1, b = 2, c = { k = 1 } }" in text
    assert tomllib.loads(text) == doc.value


# ---- implicit ----


@pytest.mark.parametrize(
    "source, path, expected",
    [
        ("[a.b]\nx = 1\n", ["a"], True),
        ("[a]\n[a.b]\nx = 1\n", ["a"], False),
        ("[a.b]\nx = 1\n", ["a", "b"], False),
        ("a = { b = 1 }\n", ["a"], False),
    ],
)
def test_implicit_read(source, path, expected):
    target = Document.parse(source)
    for key in path:
        target = target[key]
    assert target.implicit is expected


def test_setting_implicit_hides_and_shows_the_header():
    doc = Document.parse("[a]\n[a.b]\nx = 1\n")
    a = doc["a"]
    b = doc["a"]["b"]
    a.implicit = True
    assert doc.as_toml() == "[a.b]\nx = 1\n"
    assert a.implicit is True
    assert b.value == {"x": 1}  # nothing was stamped
    a.implicit = False
    assert doc.as_toml() == "[a]\n[a.b]\nx = 1\n"


def test_implicit_on_an_inline_table_is_ignored():
    doc = Document.parse("a = { b = 1 }\n")
    doc["a"].implicit = True
    assert doc["a"].implicit is False
    assert doc.as_toml() == "a = { b = 1 }\n"


@pytest.mark.parametrize("value", [1, 0, "yes", None])
def test_implicit_requires_a_bool(value):
    doc = Document.parse("[a]\n")
    with pytest.raises(TypeError, match="^argument 'implicit': "):
        doc["a"].implicit = value
    assert doc.as_toml() == "[a]\n"


# ---- parse ----


@pytest.mark.parametrize("text, value", [("{a = 1}", {"a": 1}), ("{ }", {}), ("{a.b = 'x'}", {"a": {"b": "x"}})])
def test_parse_gives_a_detached_table(text, value):
    item = DictItem.parse(text)
    assert type(item) is DictItem
    assert item.value == value


@pytest.mark.parametrize("text, got", [("1", "ScalarItem"), ("[1]", "ListItem")])
def test_parse_rejects_other_kinds(text, got):
    with pytest.raises(ValueError, match=f"^DictItem.parse\\(\\) requires a table value, got {got}$"):
        DictItem.parse(text)


# ---- merge operators ----


def test_or_keeps_the_formatting_of_the_left_operand():
    doc = Document.parse("t = {  a = 1,  b = 2  }\n")
    merged = doc["t"] | {"c": 3}
    assert merged.as_toml() == "{  a = 1,  b = 2, c = 3 }"

