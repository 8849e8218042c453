"""Document as a mutable mapping: item access, assignment, deletion, get, pop,
popitem, setdefault, update and |=, clear, fmt, the merge operators and
equality, with the messages of every failure."""

import copy

import pytest

from quillon import DictItem, Document, ListItem, ScalarItem

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


@pytest.mark.parametrize(
    "args, expected",
    [(("name",), "app"), (("missing",), None), (("missing", 5), 5), ((1,), None), ((1, "d"), "d"),
     (("missing", None), None)],
)
def test_get(doc, args, expected):
    result = doc.get(*args)
    assert (result.value if hasattr(result, "value") else result) == expected


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


# ---- deletion, pop, popitem ----


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


@pytest.mark.parametrize(
    "args, expected, remaining",
    [
        (("port",), 8080, ["name", "server"]),
        (("server",), {"host": "h"}, ["name", "port"]),
        (("missing", "d"), "d", ["name", "port", "server"]),
        (("missing", None), None, ["name", "port", "server"]),
        ((1, "d"), "d", ["name", "port", "server"]),
    ],
)
def test_pop(doc, args, expected, remaining):
    result = doc.pop(*args)
    assert result == expected
    assert not hasattr(result, "as_toml")
    assert list(doc) == remaining


@pytest.mark.parametrize(
    "args, exc, message",
    [
        (("missing",), KeyError, "'missing'"),
        ((1,), KeyError, "'1'"),
        (("port", 1, 2), TypeError, "pop expected at most 2 arguments, got 3"),
        (("missing", 1, 2, 3), TypeError, "pop expected at most 2 arguments, got 4"),
        ((), TypeError, "Document.pop() missing 1 required positional argument: 'key'"),
    ],
)
def test_pop_errors(doc, args, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc) as info:
        doc.pop(*args)
    assert str(info.value) == message
    assert doc.as_toml() == before


def test_popitem_removes_the_last_entry():
    doc = Document.parse("a = 1\nb = [1]\n")
    assert doc.popitem() == ("b", [1])
    assert doc.popitem() == ("a", 1)
    with pytest.raises(KeyError) as info:
        doc.popitem()
    assert str(info.value) == "'popitem(): dictionary is empty'"


# ---- setdefault ----


def test_setdefault_existing_key_returns_the_item_and_stores_nothing(doc):
    before = doc.as_toml()
    item = doc.setdefault("port", 1)
    assert type(item) is ScalarItem and item.value == 8080
    assert doc.as_toml() == before


def test_setdefault_inserts_and_returns_the_item(doc):
    item = doc.setdefault("list", [1, 2])
    assert type(item) is ListItem and item.value == [1, 2]
    assert doc.as_toml().endswith('port = 8080  # main\nlist = [1, 2]\n\n[server]\nhost = "h"\n')


@pytest.mark.parametrize(
    "args, message",
    [
        (("new",), "setdefault() requires a default value: TOML has no null type"),
        (("new", None), "setdefault() requires a default value: TOML has no null type"),
        ((1, 5), "keys must be strings"),
        (("port", object()), "argument 'default': Could not convert object of type 'object' to TOML value"),
        (("port", 1, 2), "Document.setdefault() takes from 1 to 2 positional arguments but 3 were given"),
    ],
)
def test_setdefault_errors(doc, args, message):
    before = doc.as_toml()
    with pytest.raises(TypeError) as info:
        doc.setdefault(*args)
    assert str(info.value) == message
    assert doc.as_toml() == before


# ---- update and |= ----


def test_update_with_mapping_and_keywords(doc):
    assert doc.update({"port": 1}, name="x", extra=True) is None
    assert doc.value == {"name": "x", "port": 1, "server": {"host": "h"}, "extra": True}
    assert "port = 1  # main" in doc.as_toml()


def test_update_with_pairs_and_none(doc):
    doc.update([("a", 1)])
    doc.update(None)
    doc.update()
    assert doc["a"].value == 1


def test_failing_keywords_leave_the_document_unchanged(doc):
    before = doc.as_toml()
    with pytest.raises(TypeError):
        doc.update({"a": 1}, b=None)
    assert doc.as_toml() == before


def test_ior_returns_the_document(doc):
    same = doc
    doc |= {"port": 1}
    assert doc is same
    assert doc["port"].value == 1


def test_ior_errors_propagate(doc):
    with pytest.raises(TypeError):
        doc |= 5


def test_update_from_own_table(doc):
    doc.update(doc["server"])
    assert doc["host"].value == "h"


# ---- clear and fmt ----


def test_clear(doc):
    assert doc.clear() is None
    assert len(doc) == 0
    assert Document.parse(doc.as_toml()).value == {}


def test_fmt_normalises_root_entries_only():
    doc = Document.parse("a   =   1   # c\n[t]\nb   =   2\n")
    assert doc.fmt() is None
    assert doc.as_toml() == "a = 1\n[t]\nb   =   2\n"


# ---- merge operators ----


def test_or_makes_a_new_document(doc):
    merged = doc | {"port": 1, "x": 2}
    assert type(merged) is Document
    assert merged.value == {"name": "app", "port": 1, "server": {"host": "h"}, "x": 2}
    assert doc["port"].value == 8080
    assert "port = 1  # main" in merged.as_toml()


def test_reflected_or_makes_a_dict(doc):
    merged = {"port": 0, "other": 1} | doc
    assert type(merged) is dict
    assert merged == {"port": 8080, "other": 1, "name": "app", "server": {"host": "h"}}


@pytest.mark.parametrize("other", [5, [("a", 1)], "text"])
def test_or_with_non_mapping_is_refused(doc, other):
    with pytest.raises(TypeError):
        doc | other
    with pytest.raises(TypeError):
        other | doc


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
        (lambda d: d.get(), "Document.get() missing 1 required positional argument: 'key'"),
        (lambda d: d.get("a", 1, 2), "Document.get() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda d: d.get(key="a"),
         "Document.get() got some positional-only arguments passed as keyword arguments: 'key'"),
        (lambda d: d.popitem(1), "Document.popitem() takes 0 positional arguments but 1 was given"),
        (lambda d: d.clear(x=1), "Document.clear() got an unexpected keyword argument 'x'"),
        (lambda d: d.fmt(1), "Document.fmt() takes 0 positional arguments but 1 was given"),
        (lambda d: d.update({}, {}), "Document.update() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda d: d.pop(key="a"),
         "Document.pop() got some positional-only arguments passed as keyword arguments: 'key'"),
    ],
)
def test_binding_messages(doc, call, message):
    with pytest.raises(TypeError) as info:
        call(doc)
    assert str(info.value) == message


def test_update_keyword_named_other_is_a_key(doc):
    doc.update(other=1)
    assert doc["other"].value == 1


@pytest.mark.parametrize("remove", [lambda d: d.pop("z"), lambda d: d.popitem()])
def test_pop_of_value_python_cannot_hold_leaves_document_unchanged(remove):
    doc = Document.parse("a = 1\nz = 0000-01-01\n")
    before = doc.as_toml()
    with pytest.raises(ValueError):
        remove(doc)
    assert doc.as_toml() == before
    assert "z" in doc
