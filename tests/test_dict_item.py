"""DictItem: the dictionary methods of tables and inline tables, the implicit
flag, the merge operators, their messages and their staleness rules."""

import collections.abc
import inspect
import tomllib

import pytest

from quillon import DictItem, Document, Item, ListItem, ScalarItem

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


@pytest.mark.parametrize(
    "name, signature",
    [
        ("get", "($self, key, default=None, /)"),
        ("pop", "($self, key, /, *default)"),
        ("popitem", "($self)"),
        ("keys", "($self)"),
        ("values", "($self)"),
        ("items", "($self)"),
        ("update", "($self, other=None, /, **kwargs)"),
        ("setdefault", "($self, key, default=None, /)"),
        ("parse", "(text)"),
    ],
)
def test_published_signatures(name, signature):
    method = vars(DictItem)[name]
    if isinstance(method, staticmethod):
        method = method.__func__
    assert method.__text_signature__ == signature
    assert method.__doc__ is None
    inspect.signature(getattr(DictItem, name))  # the text parses


def test_implicit_docstring_mentions_the_literal_backslash_n():
    doc = DictItem.implicit.__doc__
    assert doc.startswith("Whether this table's header is implicit (suppressed in TOML output).\n\n")
    assert "``[a.b]\\nx = 1``" in doc
    assert "header \u2014 it exists" in doc
    assert doc.endswith("Silently ignored on inline tables.")


# ---- get ----


@pytest.mark.parametrize(
    "key, kind, value",
    [
        ("port", ScalarItem, 8080),
        ("tags", ListItem, [1, 2]),
        ("tls", DictItem, {"cert": "c"}),
        ("peers", ListItem, [{"n": 1}]),
    ],
)
def test_get_returns_a_live_child_of_the_right_kind(doc, key, kind, value):
    child = doc["server"].get(key)
    assert type(child) is kind
    assert child.value == value


@pytest.mark.parametrize(
    "args, expected",
    [
        (("missing",), None),
        (("missing", 5), 5),
        (("missing", None), None),
        ((1,), None),
        ((1, "d"), "d"),
        ((("port",),), None),
    ],
)
def test_get_falls_back_to_the_default(doc, args, expected):
    assert doc["server"].get(*args) == expected


def test_get_result_writes_through(doc):
    doc["server"].get("tls")["cert"] = "d"
    assert doc["server"]["tls"]["cert"].value == "d"


def test_get_accepts_a_string_item_as_key(doc):
    key = Document.parse('k = "host"')["k"]
    assert doc["server"].get(key).value == "h"


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


def test_get_with_a_stale_string_item_key_raises(doc):
    key_doc = Document.parse('k = "port"')
    key = key_doc["k"]
    key_doc["k"] = "host"
    with pytest.raises(RuntimeError, match=STALE):
        doc["server"].get(key)


# ---- pop and popitem ----


@pytest.mark.parametrize(
    "key, value, remaining",
    [
        ("port", 8080, ["host", "tags", "tls", "peers"]),
        ("tags", [1, 2], ["port", "host", "tls", "peers"]),
        ("tls", {"cert": "c"}, ["port", "host", "tags", "peers"]),
        ("peers", [{"n": 1}], ["port", "host", "tags", "tls"]),
    ],
)
def test_pop_returns_the_plain_value(doc, key, value, remaining):
    popped = doc["server"].pop(key)
    assert popped == value
    assert not isinstance(popped, Item)
    assert list(doc["server"]) == remaining
    assert tomllib.loads(doc.as_toml()) == doc.value


def test_pop_makes_references_below_the_key_stale_only(doc):
    server = doc["server"]
    port = server["port"]
    host = server["host"]
    server.pop("port")
    with pytest.raises(RuntimeError, match=STALE):
        port.value
    assert host.value == "h"
    assert server.value["host"] == "h"


@pytest.mark.parametrize(
    "args, expected",
    [
        (("missing", None), None),
        (("missing", 0), 0),
        ((1, "d"), "d"),
    ],
)
def test_pop_default(doc, args, expected):
    before = doc.as_toml()
    assert doc["server"].pop(*args) == expected
    assert doc.as_toml() == before


@pytest.mark.parametrize(
    "args, exc, message",
    [
        (("missing",), KeyError, "'missing'"),
        ((1,), KeyError, "'1'"),
        ((("a",),), KeyError, "\"('a',)\""),
        (("port", 1, 2), TypeError, "pop expected at most 2 arguments, got 3"),
        (("missing", 1, 2, 3), TypeError, "pop expected at most 2 arguments, got 4"),
        ((), TypeError, "DictItem.pop() missing 1 required positional argument: 'key'"),
    ],
)
def test_pop_errors_leave_the_document_unchanged(doc, args, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc) as info:
        doc["server"].pop(*args)
    assert str(info.value) == message
    assert doc.as_toml() == before


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


def test_setdefault_inserts_a_missing_key_and_stales_nothing(doc):
    server = doc["server"]
    port = server["port"]
    item = server.setdefault("timeout", 30)
    assert type(item) is ScalarItem and item.value == 30
    assert port.value == 8080
    assert tomllib.loads(doc.as_toml())["server"]["timeout"] == 30


def test_setdefault_returns_an_existing_entry_unchanged(doc):
    before = doc.as_toml()
    port = doc["server"]["port"]
    item = doc["server"].setdefault("port", 1)
    assert item.value == 8080
    assert doc.as_toml() == before
    assert port.value == 8080


def test_setdefault_writes_tables_as_tables_and_into_inline_tables_as_values(doc):
    doc["server"].setdefault("extra", {"k": 1})
    doc["inline"]["t"].setdefault("c", {"k": 1})
    text = doc.as_toml()
    assert "[server.extra]\nk = 1\n" in text
    assert "t = { a = 1, b = 2, c = { k = 1 } }" in text
    assert tomllib.loads(text) == doc.value


@pytest.mark.parametrize(
    "args, message",
    [
        (("new",), "setdefault() requires a default value: TOML has no null type"),
        (("new", None), "setdefault() requires a default value: TOML has no null type"),
        ((1, 5), "keys must be strings"),
        (("port", object()), "argument 'default': Could not convert object of type 'object' to TOML value"),
        (("new", {"a": None}), "argument 'default': None is not a valid TOML value (TOML has no null type)"),
        (("port", [None]), "argument 'default': Could not convert object of type 'NoneType' to TOML value"),
        (("port", 1, 2), "DictItem.setdefault() takes from 1 to 2 positional arguments but 3 were given"),
    ],
)
def test_setdefault_errors(doc, args, message):
    before = doc.as_toml()
    with pytest.raises(TypeError) as info:
        doc["server"].setdefault(*args)
    assert str(info.value) == message
    assert doc.as_toml() == before


def test_setdefault_conversion_error_keeps_its_cause(doc):
    with pytest.raises(TypeError) as info:
        doc["server"].setdefault("port", object())
    assert isinstance(info.value.__cause__, TypeError)
    assert not str(info.value.__cause__).startswith("argument")


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


# ---- argument binding ----


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda d: d.get(), "DictItem.get() missing 1 required positional argument: 'key'"),
        (lambda d: d.get("a", 1, 2), "DictItem.get() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda d: d.get(key="a"),
         "DictItem.get() got some positional-only arguments passed as keyword arguments: 'key'"),
        (lambda d: d.keys(1), "DictItem.keys() takes 0 positional arguments but 1 was given"),
        (lambda d: d.values(x=1), "DictItem.values() got an unexpected keyword argument 'x'"),
        (lambda d: d.items(1, 2), "DictItem.items() takes 0 positional arguments but 2 were given"),
        (lambda d: d.popitem(1), "DictItem.popitem() takes 0 positional arguments but 1 was given"),
        (lambda d: d.pop(key="a"), "DictItem.pop() got some positional-only arguments passed as keyword arguments: 'key'"),
        (lambda d: d.update({}, {}), "DictItem.update() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda d: d.setdefault(), "DictItem.setdefault() missing 1 required positional argument: 'key'"),
    ],
)
def test_binding_errors_name_the_member(doc, call, message):
    before = doc.as_toml()
    with pytest.raises(TypeError) as info:
        call(doc["server"])
    assert str(info.value) == message
    assert doc.as_toml() == before


def test_update_keyword_named_other_is_a_key(doc):
    doc["server"].update(other=1)
    assert doc["server"]["other"].value == 1


# ---- merge operators ----


def test_or_builds_a_detached_merged_table(doc):
    before = doc.as_toml()
    server = doc["server"]
    merged = server | {"port": 9, "new": [1]}
    assert type(merged) is DictItem
    assert merged.value == {"port": 9, "host": "h", "tags": [1, 2], "tls": {"cert": "c"}, "peers": [{"n": 1}],
                            "new": [1]}
    assert doc.as_toml() == before
    assert server["host"].value == "h"  # nothing was stamped
    merged["x"] = 1
    assert "x" not in server


def test_or_keeps_the_formatting_of_the_left_operand():
    doc = Document.parse("t = {  a = 1,  b = 2  }\n")
    merged = doc["t"] | {"c": 3}
    assert merged.as_toml() == "{  a = 1,  b = 2, c = 3 }"


@pytest.mark.parametrize(
    "make_other, value",
    [
        (lambda: {"b": 3}, {"a": 1, "b": 3}),
        (lambda: Document.parse("c = 4"), {"a": 1, "b": 2, "c": 4}),
        (lambda: Document.parse("[s]\nb = 'x'")["s"], {"a": 1, "b": "x"}),
        (lambda: Document.parse("s = {b = 5}")["s"], {"a": 1, "b": 5}),
    ],
    ids=["dict", "document", "table-item", "inline-item"],
)
def test_or_accepts_mappings_documents_and_table_items(make_other, value):
    doc = Document.parse("[t]\na = 1\nb = 2\n")
    assert (doc["t"] | make_other()).value == value


def test_ror_gives_a_plain_dict_in_which_the_item_wins():
    doc = Document.parse("[t]\na = 1\nb = [2]\n")
    result = {"b": 0, "z": 9} | doc["t"]
    assert type(result) is dict
    assert result == {"b": [2], "z": 9, "a": 1}
    assert list(result) == ["b", "z", "a"]


@pytest.mark.parametrize(
    "left, right",
    [
        (lambda d: d, lambda d: 5),
        (lambda d: d, lambda d: [("a", 1)]),
        (lambda d: 5, lambda d: d),
        (lambda d: [("a", 1)], lambda d: d),
    ],
    ids=["int-right", "pairs-right", "int-left", "pairs-left"],
)
def test_or_with_a_non_mapping_is_not_implemented(left, right):
    doc = Document.parse("[t]\na = 1\n")
    t = doc["t"]
    with pytest.raises(TypeError, match="unsupported operand"):
        left(t) | right(t)


def test_ior_updates_in_place_and_returns_the_same_item():
    doc = Document.parse("[t]\na = 1\n")
    t = doc["t"]
    original = t
    t |= [("b", 2)]
    assert t is original
    assert doc.as_toml() == "[t]\na = 1\nb = 2\n"


def test_ior_with_a_non_iterable_raises_and_changes_nothing():
    doc = Document.parse("[t]\na = 1\n")
    t = doc["t"]
    with pytest.raises(TypeError, match="not iterable"):
        t |= 5
    assert doc.as_toml() == "[t]\na = 1\n"


@pytest.mark.parametrize(
    "remove",
    [lambda t: t.pop("d"), lambda t: t.pop("d", None), lambda t: t.popitem()],
    ids=["pop", "pop-with-default", "popitem"],
)
@pytest.mark.parametrize(
    "source, text",
    [("[t]\nd = 0000-01-01\n", "0000-01-01"), ("t = { d = 0000-01-01T00:00:00 }\n", "0000-01-01T00:00:00")],
)
def test_value_python_cannot_hold_stays_in_place(source, text, remove):
    doc = Document.parse(source)
    d = doc["t"]["d"]
    with pytest.raises(ValueError):
        remove(doc["t"])
    assert doc.as_toml() == source
    assert d.as_toml() == text
