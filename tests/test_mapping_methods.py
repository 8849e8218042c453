"""The dictionary methods that Document and DictItem share (get, pop, popitem,
setdefault, update, keys/values/items, | and |=): every case runs for a
document's root table and for a table of a document holding the same
entries, with the messages of each class."""

import inspect
import tomllib
from typing import NamedTuple

import pytest

from quillon import DictItem, Document, Item, ListItem, ScalarItem

STALE = "stale: the document has been modified since this reference was created"

# The same entries at the root, or in the table [server] after another entry.
TEMPLATE = """\
{head}port = 8080  # main
host = "h"
tags = [1, 2]

[{prefix}tls]
cert = "c"

[[{prefix}peers]]
n = 1
"""
ENTRIES = {"port": 8080, "host": "h", "tags": [1, 2], "tls": {"cert": "c"}, "peers": [{"n": 1}]}
KEYS = list(ENTRIES)


class Subject(NamedTuple):
    doc: Document
    table: Document | DictItem
    name: str  # the class name that binding errors show

    def fresh(self):
        """The table again, through a new reference."""
        return self.doc if self.name == "Document" else self.doc["server"]


def make_subject(name, text=TEMPLATE):
    if name == "Document":
        doc = Document.parse(text.format(head="", prefix=""))
        return Subject(doc, doc, name)
    doc = Document.parse(text.format(head='title = "x"\n\n[server]\n', prefix="server."))
    return Subject(doc, doc["server"], name)


@pytest.fixture(params=["Document", "DictItem"])
def subject(request):
    return make_subject(request.param)


def test_same_entries_for_both_classes(subject):
    assert subject.table.value == ENTRIES
    assert tomllib.loads(subject.doc.as_toml()) == subject.doc.value


# ---- get ----


@pytest.mark.parametrize(
    "key, kind", [("port", ScalarItem), ("tags", ListItem), ("tls", DictItem), ("peers", ListItem)]
)
def test_get_returns_a_live_child_of_the_right_kind(subject, key, kind):
    child = subject.table.get(key)
    assert type(child) is kind
    assert child.value == ENTRIES[key]


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
def test_get_falls_back_to_the_default(subject, args, expected):
    assert subject.table.get(*args) == expected


def test_get_result_writes_through(subject):
    subject.table.get("tls")["cert"] = "d"
    assert subject.fresh()["tls"]["cert"].value == "d"


def test_get_accepts_a_string_item_as_key(subject):
    key = Document.parse('k = "host"')["k"]
    assert subject.table.get(key).value == "h"


def test_get_with_a_stale_string_item_key_raises(subject):
    key_doc = Document.parse('k = "port"')
    key = key_doc["k"]
    key_doc["k"] = "host"
    with pytest.raises(RuntimeError, match=STALE):
        subject.table.get(key)


# ---- pop and popitem ----


@pytest.mark.parametrize("key", KEYS)
def test_pop_returns_the_plain_value(subject, key):
    popped = subject.table.pop(key)
    assert popped == ENTRIES[key]
    assert not isinstance(popped, Item)
    assert list(subject.table) == [k for k in KEYS if k != key]
    assert tomllib.loads(subject.doc.as_toml()) == subject.doc.value


def test_pop_makes_references_below_the_key_stale_only(subject):
    table = subject.table
    port, host, cert = table["port"], table["host"], table["tls"]["cert"]
    table.pop("port")
    table.pop("tls")
    for ref in (port, cert):
        with pytest.raises(RuntimeError, match=STALE):
            ref.value
    assert host.value == "h"
    assert table.value["host"] == "h"


@pytest.mark.parametrize("args, expected", [(("missing", None), None), (("missing", 0), 0), ((1, "d"), "d")])
def test_pop_default(subject, args, expected):
    before = subject.doc.as_toml()
    assert subject.table.pop(*args) == expected
    assert subject.doc.as_toml() == before


def test_popitem_takes_the_last_entry_until_none_is_left(subject):
    table = subject.table
    refs = {key: table[key] for key in KEYS}
    for key in reversed(KEYS):
        assert table.popitem() == (key, ENTRIES[key])
        with pytest.raises(RuntimeError, match=STALE):
            refs[key].value
        assert tomllib.loads(subject.doc.as_toml()) == subject.doc.value
    before = subject.doc.as_toml()
    with pytest.raises(KeyError) as info:
        table.popitem()
    assert info.value.args == ("popitem(): dictionary is empty",)
    assert subject.doc.as_toml() == before


@pytest.mark.parametrize("remove", [lambda t: t.pop("d"), lambda t: t.pop("d", None), lambda t: t.popitem()],
                         ids=["pop", "pop-with-default", "popitem"])
@pytest.mark.parametrize(
    "source, path",
    [("a = 1\nd = 0000-01-01\n", []), ("[t]\nd = 0000-01-01\n", ["t"]), ("t = { d = 0000-01-01T00:00:00 }\n", ["t"])],
    ids=["document", "table", "inline-table"],
)
def test_value_python_cannot_hold_stays_in_place(source, path, remove):
    # a date in year 0 is valid TOML but no Python date
    doc = target = Document.parse(source)
    for key in path:
        target = target[key]
    d = target["d"]
    text = d.as_toml()
    with pytest.raises(ValueError):
        remove(target)
    assert doc.as_toml() == source
    assert d.as_toml() == text


# ---- setdefault ----


def test_setdefault_inserts_a_missing_key_and_stales_nothing(subject):
    port = subject.table["port"]
    item = subject.table.setdefault("list", [1, 2])
    assert type(item) is ListItem and item.value == [1, 2]
    assert port.value == 8080
    # the new entry follows the last key/value line, before the sub-tables
    assert 'tags = [1, 2]\nlist = [1, 2]\n\n[' in subject.doc.as_toml()


def test_setdefault_returns_an_existing_entry_unchanged(subject):
    before = subject.doc.as_toml()
    port = subject.table["port"]
    item = subject.table.setdefault("port", 1)
    assert type(item) is ScalarItem and item.value == 8080
    assert subject.doc.as_toml() == before
    assert port.value == 8080


def test_setdefault_conversion_error_keeps_its_cause(subject):
    with pytest.raises(TypeError) as info:
        subject.table.setdefault("port", object())
    assert isinstance(info.value.__cause__, TypeError)
    assert not str(info.value.__cause__).startswith("argument")


# ---- update and |= ----


def test_update_with_mapping_and_keywords(subject):
    assert subject.table.update({"port": 1}, host="x", extra=True) is None
    assert subject.table.value == {**ENTRIES, "port": 1, "host": "x", "extra": True}
    assert "port = 1  # main" in subject.doc.as_toml()


def test_update_with_pairs_none_and_nothing(subject):
    subject.table.update([("a", 1)])
    subject.table.update(None)
    subject.table.update()
    assert subject.table.value == {**ENTRIES, "a": 1}


def test_update_keyword_named_other_is_a_key(subject):
    subject.table.update(other=1)
    assert subject.table["other"].value == 1


def test_failing_keywords_leave_the_document_unchanged(subject):
    before = subject.doc.as_toml()
    with pytest.raises(TypeError):
        subject.table.update({"a": 1}, b=None)
    assert subject.doc.as_toml() == before


def test_update_from_own_sub_table(subject):
    subject.table.update(subject.table["tls"])
    assert subject.table["cert"].value == "c"


def test_ior_updates_in_place_and_returns_the_same_object(subject):
    table = original = subject.table
    table |= [("b", 2)]
    assert table is original
    assert table.value == {**ENTRIES, "b": 2}


def test_ior_with_a_non_iterable_raises_and_changes_nothing(subject):
    before = subject.doc.as_toml()
    table = subject.table
    with pytest.raises(TypeError, match="not iterable"):
        table |= 5
    assert subject.doc.as_toml() == before


# ---- merge operators ----


def test_or_builds_a_detached_merged_copy(subject):
    before = subject.doc.as_toml()
    host = subject.table["host"]
    merged = subject.table | {"port": 9, "new": [1]}
    assert type(merged) is type(subject.table)
    assert merged.value == {**ENTRIES, "port": 9, "new": [1]}
    assert "port = 9  # main" in merged.as_toml()
    assert subject.doc.as_toml() == before
    assert host.value == "h"  # nothing was stamped
    merged["x"] = 1
    assert "x" not in subject.table


@pytest.mark.parametrize(
    "make_other, added",
    [
        (lambda: {"b": 3}, {"b": 3}),
        (lambda: Document.parse("c = 4"), {"c": 4}),
        (lambda: Document.parse("[s]\nb = 'x'")["s"], {"b": "x"}),
        (lambda: Document.parse("s = {b = 5}")["s"], {"b": 5}),
    ],
    ids=["dict", "document", "table-item", "inline-item"],
)
def test_or_accepts_mappings_documents_and_table_items(subject, make_other, added):
    assert (subject.table | make_other()).value == {**ENTRIES, **added}


def test_ror_gives_a_plain_dict_in_which_the_table_wins(subject):
    result = {"host": 0, "z": 9} | subject.table
    assert type(result) is dict
    assert result == {**ENTRIES, "z": 9}
    assert list(result) == ["host", "z", "port", "tags", "tls", "peers"]


@pytest.mark.parametrize("other", [5, [("a", 1)], "text"])
def test_or_with_a_non_mapping_is_not_implemented(subject, other):
    with pytest.raises(TypeError, match="unsupported operand"):
        subject.table | other
    with pytest.raises(TypeError, match="unsupported operand"):
        other | subject.table


# ---- failures ----

NULL_DEFAULT = "setdefault() requires a default value: TOML has no null type"


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda t: t.pop("missing"), KeyError, "'missing'"),
        (lambda t: t.pop(1), KeyError, "'1'"),
        (lambda t: t.pop(("a",)), KeyError, "\"('a',)\""),
        (lambda t: t.pop("port", 1, 2), TypeError, "pop expected at most 2 arguments, got 3"),
        (lambda t: t.pop("missing", 1, 2, 3), TypeError, "pop expected at most 2 arguments, got 4"),
        (lambda t: t.setdefault("new"), TypeError, NULL_DEFAULT),
        (lambda t: t.setdefault("new", None), TypeError, NULL_DEFAULT),
        (lambda t: t.setdefault(1, 5), TypeError, "keys must be strings"),
        (lambda t: t.setdefault("port", object()), TypeError,
         "argument 'default': Could not convert object of type 'object' to TOML value"),
        (lambda t: t.setdefault("new", {"a": None}), TypeError,
         "argument 'default': None is not a valid TOML value (TOML has no null type)"),
        (lambda t: t.setdefault("port", [None]), TypeError,
         "argument 'default': Could not convert object of type 'NoneType' to TOML value"),
        # binding errors name the class
        (lambda t: t.get(), TypeError, "{cls}.get() missing 1 required positional argument: 'key'"),
        (lambda t: t.get("a", 1, 2), TypeError, "{cls}.get() takes from 1 to 2 positional arguments but 3 were given"),
        (lambda t: t.get(key="a"), TypeError,
         "{cls}.get() got some positional-only arguments passed as keyword arguments: 'key'"),
        (lambda t: t.keys(1), TypeError, "{cls}.keys() takes 0 positional arguments but 1 was given"),
        (lambda t: t.values(x=1), TypeError, "{cls}.values() got an unexpected keyword argument 'x'"),
        (lambda t: t.items(1, 2), TypeError, "{cls}.items() takes 0 positional arguments but 2 were given"),
        (lambda t: t.popitem(1), TypeError, "{cls}.popitem() takes 0 positional arguments but 1 was given"),
        (lambda t: t.pop(), TypeError, "{cls}.pop() missing 1 required positional argument: 'key'"),
        (lambda t: t.pop(key="a"), TypeError,
         "{cls}.pop() got some positional-only arguments passed as keyword arguments: 'key'"),
        (lambda t: t.update({}, {}), TypeError,
         "{cls}.update() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda t: t.setdefault(), TypeError, "{cls}.setdefault() missing 1 required positional argument: 'key'"),
        (lambda t: t.setdefault("port", 1, 2), TypeError,
         "{cls}.setdefault() takes from 1 to 2 positional arguments but 3 were given"),
    ],
)
def test_failing_calls_raise_their_message_and_change_nothing(subject, call, exc, message):
    before = subject.doc.as_toml()
    with pytest.raises(exc) as info:
        call(subject.table)
    assert str(info.value) == message.format(cls=subject.name)
    assert subject.doc.as_toml() == before


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
    ],
)
@pytest.mark.parametrize("cls", [Document, DictItem])
def test_published_signatures(cls, name, signature):
    method = vars(cls)[name]
    assert method.__text_signature__ == signature
    assert method.__doc__ is None
    inspect.signature(getattr(cls, name))  # the text parses
