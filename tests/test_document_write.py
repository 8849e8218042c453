"""Document as a mutable mapping: item access, assignment, deletion, clear,
fmt, equality and copies, with the messages of every failure (the members it
shares with DictItem are tested in test_mapping_methods)."""

import copy

import pytest

from quillon import DictItem, Document, ScalarItem

SOURCE = """\
# config
name = "app"
port = 8080  # main

[server]
host = "h"
"""


@pytest.fixture
def doc():
    return Document.parse(SOURCE)


# ---- reading by key ----


def test_getitem_returns_narrowed_items(doc):
    assert type(doc["name"]) is ScalarItem
    assert type(doc["server"]) is DictItem
    assert doc["port"].value == 8080


@pytest.mark.parametrize("key, message", [("missing", "'missing'"), (1, "'1'"), (None, "'None'"), ((1,), "'(1,)'")])
def test_getitem_errors(doc, key, message):
    with pytest.raises(KeyError) as info:
        doc[key]
    assert str(info.value) == message


def test_non_string_key_error_carries_the_repr_text(doc):
    with pytest.raises(KeyError) as info:
        doc[1]
    assert info.value.args == ("1",)


def test_string_item_is_a_key(doc):
    doc["which"] = "port"
    assert doc[doc["which"]].value == 8080
    assert doc["which"] in doc
    assert doc["port"] not in doc  # an integer Item is not a string key


# ---- assignment ----


@pytest.mark.parametrize(
    "key, value, expected",
    [
        ("port", 9090, SOURCE.replace("8080  # main", "9090  # main")),
        # a table keeps the comment lines of the entry it replaces and is
        # placed right after the table that precedes it (the root)
        ("name", {"a": 1}, 'port = 8080  # main\n# config\n[name]\na = 1\n\n[server]\nhost = "h"\n'),
        ("new", [1, 2], SOURCE.replace("port = 8080  # main\n", "port = 8080  # main\nnew = [1, 2]\n")),
    ],
)
def test_assignment_preserves_formatting(doc, key, value, expected):
    doc[key] = value
    assert doc.as_toml() == expected
    assert Document.parse(expected).value == doc.value


def test_new_keys_append_and_replaced_keys_keep_their_place(doc):
    doc["zeta"] = 1
    doc["name"] = "other"
    assert list(doc) == ["name", "port", "server", "zeta"]


@pytest.mark.parametrize(
    "key, value, exc, message",
    [
        ("k", None, TypeError, r"argument 'value': None is not a valid TOML value \(TOML has no null type\)"),
        ("k", object(), TypeError, "argument 'value': Could not convert object of type 'object' to TOML value"),
        ("k", 2**63, OverflowError, None),
        (1, 1, TypeError, "keys must be strings"),
        (None, 1, TypeError, "keys must be strings"),
        (1, None, TypeError, r"argument 'value': None is not a valid TOML value"),
    ],
)
def test_assignment_errors_change_nothing(doc, key, value, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc) as info:
        doc[key] = value
    if message:
        assert info.match(f"^{message}")
    assert doc.as_toml() == before


def test_value_error_is_chained_to_the_conversion_error(doc):
    with pytest.raises(TypeError) as info:
        doc["k"] = {1: 2}
    assert str(info.value) == "argument 'value': keys must be strings"
    assert str(info.value.__cause__) == "keys must be strings"


# ---- deletion ----


def test_delete(doc):
    del doc["port"]
    assert doc.as_toml() == '# config\nname = "app"\n\n[server]\nhost = "h"\n'


@pytest.mark.parametrize("key, message", [("missing", "'missing'"), (1, "'1'")])
def test_delete_errors(doc, key, message):
    before = doc.as_toml()
    with pytest.raises(KeyError) as info:
        del doc[key]
    assert str(info.value) == message
    assert doc.as_toml() == before


# ---- clear and fmt ----


def test_clear(doc):
    assert doc.clear() is None
    assert len(doc) == 0
    assert Document.parse(doc.as_toml()).value == {}


def test_fmt_normalises_root_entries_only():
    doc = Document.parse("a   =   1   # c\n[t]\nb   =   2\n")
    assert doc.fmt() is None
    assert doc.as_toml() == "a = 1\n[t]\nb   =   2\n"


# ---- equality ----


@pytest.mark.parametrize(
    "other, equal",
    [
        (Document.parse("server = { host = 'h' }\nport = 0x1F90\nname = 'app'\n"), True),
        ({"name": "app", "port": 8080, "server": {"host": "h"}}, True),
        ({"name": "app", "port": 8081, "server": {"host": "h"}}, False),
        (Document(), False),
        (5, False),
    ],
)
def test_equality(doc, other, equal):
    assert (doc == other) is equal
    assert (doc != other) is (not equal)


def test_ordering_is_not_supported(doc):
    with pytest.raises(TypeError):
        doc < doc


# ---- copies ----


@pytest.mark.parametrize("make", [copy.copy, copy.deepcopy])
def test_copies_are_independent(doc, make):
    other = make(doc)
    item = other["port"]
    doc["port"] = 1
    assert item.value == 8080
    other["name"] = "changed"
    assert doc["name"].value == "app"


# ---- argument binding ----


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda d: d.clear(x=1), "Document.clear() got an unexpected keyword argument 'x'"),
        (lambda d: d.fmt(1), "Document.fmt() takes 0 positional arguments but 1 was given"),
    ],
)
def test_binding_messages(doc, call, message):
    with pytest.raises(TypeError) as info:
        call(doc)
    assert str(info.value) == message

