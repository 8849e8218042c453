"""ListItem members: signatures and messages, which references each edit
makes stale, the operators, and edits that must keep the text readable."""

import collections.abc
import gc
import re
import sys
import tomllib

import pytest

from quillon import Document, ListItem


def parse(text):
    return Document.parse(text)


@pytest.mark.parametrize(
    ("member", "signature"),
    [
        ("pop", "($self, index=None, /)"),
        ("append", "($self, value, /)"),
        ("insert", "($self, index, value, /)"),
        ("remove", "($self, value, /)"),
        ("extend", "($self, values, /)"),
        ("count", "($self, value, /)"),
        ("index", "($self, value, start=None, stop=None, /)"),
        ("set_multiline", "($self, *, indent=4)"),
        ("parse", "(text)"),
    ],
)
def test_published_signatures(member, signature):
    assert getattr(ListItem, member).__text_signature__ == signature


def test_set_multiline_docstring():
    assert ListItem.set_multiline.__doc__ == (
        "Format the array as multiline.\n\n"
        "Each element is placed on its own line, indented by *indent*\n"
        "spaces, with a trailing comma after the last element.\n"
        "Use ``.fmt()`` to collapse back to a single line.\n\n"
        "No-op on empty arrays.  Any comments on the array elements will\n"
        "be removed."
    )


SOURCE = "a = [1, 2, 3]\n"


@pytest.mark.parametrize(
    ("call", "exc", "message"),
    [
        (lambda a: a.pop(1, 2), TypeError, "ListItem.pop() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda a: a.append(), TypeError, "ListItem.append() missing 1 required positional argument: 'value'"),
        (lambda a: a.insert(0), TypeError, "ListItem.insert() missing 1 required positional argument: 'value'"),
        (lambda a: a.index(value=1), TypeError,
         "ListItem.index() got some positional-only arguments passed as keyword arguments: 'value'"),
        (lambda a: a.set_multiline(2), TypeError,
         "ListItem.set_multiline() takes 0 positional arguments but 1 was given"),
        (lambda a: a.insert("x", 1), TypeError, "argument 'index': 'str' object cannot be interpreted as an integer"),
        (lambda a: a.index(1, None, "x"), TypeError,
         "argument 'stop': 'str' object cannot be interpreted as an integer"),
        (lambda a: a.set_multiline(indent=1.5), TypeError,
         "argument 'indent': 'float' object cannot be interpreted as an integer"),
        (lambda a: a.append(None), TypeError, "argument 'value': None is not a valid TOML value (TOML has no null type)"),
        (lambda a: a.pop("x"), TypeError, "'str' object cannot be interpreted as an integer"),
        (lambda a: a.pop(3), IndexError, "index out of range"),
        (lambda a: a.remove(9), ValueError, "value not in array"),
        (lambda a: a.index(3, 0, 2), ValueError, "value not in array"),
        (lambda a: a.extend(5), TypeError, "'int' object is not iterable"),
        (lambda a: a.extend([1, None]), TypeError, "None is not a valid TOML value (TOML has no null type)"),
        (lambda a: a.__iadd__(5), TypeError, "'int' object is not iterable"),
        (lambda a: a + (1, 2), TypeError, "unsupported operand type(s) for +: 'quillon.ListItem' and 'tuple'"),
        (lambda a: a.set_multiline(indent=-1), OverflowError, None),
    ],
)
def test_failures_leave_the_document_unchanged(call, exc, message):
    doc = parse(SOURCE)
    with pytest.raises(exc) as info:
        call(doc["a"])
    if message is not None:
        assert str(info.value) == message
    assert doc.as_toml() == SOURCE


def test_generic_mutable_sequence_code():
    doc = parse("deps = [\n    \"a\",  # first\n    \"b\",\n]\n")
    deps = doc["deps"]
    assert isinstance(deps, collections.abc.MutableSequence)
    deps.append("c")
    deps.insert(0, "z")
    deps.extend(["d"])
    deps += ["e"]
    deps.remove("b")
    assert deps.pop() == "e"
    assert (deps.count("a"), deps.index("c"), deps.pop(0)) == (1, 2, "z")
    assert doc.as_toml() == 'deps = [\n    "a",  # first\n    "c",\n    "d",\n]\n'


# Each edit runs on a = [1, 2, 3] with references made before it to a, to
# its three elements and (a second reference) to a again; the listed ones
# must be stale afterwards.
@pytest.mark.parametrize(
    ("edit", "stale"),
    [
        (lambda a: a.append(4), set()),
        (lambda a: a.extend([4, 5]), set()),
        (lambda a: a.__iadd__([4]), set()),
        (lambda a: a.set_multiline(), set()),
        (lambda a: a.__imul__(2), set()),
        (lambda a: a.insert(3, 0), set()),
        (lambda a: a.insert(1, 0), {1, 2}),
        (lambda a: a.insert(-100, 0), {0, 1, 2}),
        (lambda a: a.pop(), {2}),
        (lambda a: a.pop(0), {0, 1, 2}),
        (lambda a: a.pop(-2), {1, 2}),
        (lambda a: a.remove(3), {2}),
        (lambda a: a.remove(2), {1, 2}),
        (lambda a: a.__imul__(0), {0, 1, 2, "other"}),
        (lambda a: (a.count(1), a.index(2), a + [1], a * 2), set()),
    ],
)
def test_staleness(edit, stale):
    doc = parse(SOURCE)
    a = doc["a"]
    refs = {0: a[0], 1: a[1], 2: a[2], "other": doc["a"]}
    edit(a)
    a.value  # the reference that made the edit stays valid
    found = set()
    for name, ref in refs.items():
        try:
            ref.value
        except RuntimeError as e:
            assert str(e) == "stale: the document has been modified since this reference was created"
            found.add(name)
    assert found == stale


@pytest.mark.parametrize(
    ("source", "make", "expected"),
    [
        (SOURCE, lambda a: a + [4], "[1, 2, 3, 4]"),
        (SOURCE, lambda a: a + ListItem.parse("[4]"), "[1, 2, 3,4]"),
        (SOURCE, lambda a: [0] + a, "[0,1, 2, 3]"),
        (SOURCE, lambda a: a * 0, "[]"),
        (SOURCE, lambda a: a * 2, "[1, 2, 3,1, 2, 3]"),
        (SOURCE, lambda a: 2 * a, "[1, 2, 3,1, 2, 3]"),
        (SOURCE, lambda a: a * True, "[1, 2, 3]"),
        ("[[a]]\nn = 1\n", lambda a: a + [{"n": 2}], [{"n": 1}, {"n": 2}]),
        ("[[a]]\nn = 1\n", lambda a: [{"n": 2}] + a, [{"n": 2}, {"n": 1}]),
        ("[[a]]\nn = 1\n", lambda a: a * 2, [{"n": 1}, {"n": 1}]),
        ("[[a]]\nn = 1\n", lambda a: a * -1, []),
    ],
)
def test_operators_build_a_new_document(source, make, expected):
    doc = parse(source)
    result = make(doc["a"])
    assert isinstance(result, ListItem)
    if isinstance(expected, str):
        assert result.as_toml() == expected
        assert result.value == tomllib.loads("v = " + expected)["v"]
    else:
        assert result.value == expected
    assert doc.as_toml() == source


def test_operators_refuse_a_non_table_in_an_array_of_tables():
    doc = parse("[[a]]\nn = 1\n")
    with pytest.raises(TypeError, match=r"^cannot append integer to array of tables \(expected a table/dict\)$"):
        doc["a"] + [1]
    with pytest.raises(TypeError, match=r"^cannot append integer to array of tables \(expected a table/dict\)$"):
        doc["a"] + ListItem.parse("[1]")


# Every route that adds elements at the end of a one-per-line array puts each
# new element on its own line, indented like the others.
ADD_AT_END = [
    pytest.param(lambda a: a.append(3), id="append"),
    pytest.param(lambda a: a.insert(len(a), 3), id="insert"),
    pytest.param(lambda a: a.extend([3]), id="extend"),
    pytest.param(lambda a: a.__iadd__([3]), id="iadd"),
    pytest.param(lambda a: a.__setitem__(slice(len(a), None), [3]), id="slice"),
]


@pytest.mark.parametrize("add", ADD_AT_END)
@pytest.mark.parametrize(
    ("source", "expected"),
    [
        ("a = [\n    1,\n    2,\n]\n", "a = [\n    1,\n    2,\n    3,\n]\n"),
        ("a = [\n    1,\n    2\n]\n", "a = [\n    1,\n    2,\n    3\n]\n"),
        ("a = [\n  1, # one\n  2, # two\n]\n", "a = [\n  1, # one\n  2, # two\n  3,\n]\n"),
        # The last element's comment stays with it when it stops being last.
        ("a = [\n  1,\n  2  # two\n]\n", "a = [\n  1,\n  2,  # two\n  3\n]\n"),
    ],
    ids=["trailing-comma", "no-trailing-comma", "comments", "comment-in-last-suffix"],
)
def test_every_route_adds_on_its_own_line(add, source, expected):
    doc = parse(source)
    add(doc["a"])
    assert doc.as_toml() == expected


@pytest.mark.parametrize(
    "remove_last",
    [
        pytest.param(lambda a: a.__delitem__(1), id="del"),
        pytest.param(lambda a: a.pop(), id="pop"),
        pytest.param(lambda a: a.remove(2), id="remove"),
        pytest.param(lambda a: a.__delitem__(slice(1, None)), id="del-slice"),
        pytest.param(lambda a: a.__setitem__(slice(1, None), []), id="slice-assign"),
    ],
)
def test_removing_the_last_element_takes_its_comment_along(remove_last):
    doc = parse("a = [\n  1,\n  2  # two\n]\n")
    remove_last(doc["a"])
    assert doc.as_toml() == "a = [\n  1\n]\n"


@pytest.mark.parametrize(
    "empty",
    [
        pytest.param(lambda b: b.clear(), id="clear"),
        pytest.param(lambda b: (b.pop(), b.pop()), id="pop"),
        pytest.param(lambda b: (b.__delitem__(0), b.__delitem__(0)), id="del"),
        pytest.param(lambda b: b.__delitem__(slice(None)), id="del-slice"),
        pytest.param(lambda b: b.__setitem__(slice(None), []), id="slice-assign"),
        pytest.param(lambda b: b.__imul__(0), id="imul"),
        pytest.param(lambda b: (b.remove({"n": 1}), b.remove({"n": 2})), id="remove"),
    ],
)
def test_emptied_array_of_tables_keeps_its_key(empty):
    doc = parse("x = 1\n\n[[bin]]\nn = 1\n\n[[bin]]\nn = 2\n\n[t]\ny = 2\n")
    empty(doc["bin"])
    assert doc.as_toml() == "x = 1\nbin = []\n\n[t]\ny = 2\n"
    doc["bin"].append({"n": 3})
    assert tomllib.loads(doc.as_toml()) == {"x": 1, "bin": [{"n": 3}], "t": {"y": 2}}


def test_array_of_tables_copies_keep_their_order():
    doc = parse("[[p]]\nn = 1\n\n[p.sub]\nk = 1\n\n[[p]]\nn = 2\n\n[z]\nq = 0\n")
    p = doc["p"]
    p *= 2
    p += p[:1]
    expected = [{"n": 1, "sub": {"k": 1}}, {"n": 2}] * 2 + [{"n": 1, "sub": {"k": 1}}]
    assert tomllib.loads(doc.as_toml())["p"] == expected == doc["p"].value


def test_list_methods_leak_nothing():
    value, other = [7, 8], {"n": 9}

    def round_trip():
        doc = parse("a = [\n  1, # one\n  2,\n]\n[[b]]\nn = 1\n")
        a, b = doc["a"], doc["b"]
        a.append(value)
        a.insert(0, value)
        a.extend([value, 3])
        a += [value]
        a.count(value), a.index(3), a.remove(value), a.pop(), a.pop(0)
        (a + value).as_toml(), (value + a).as_toml(), (a * 2).as_toml()
        a *= 2
        a.set_multiline(indent=2)
        b.append(other)
        b.insert(0, other)
        b.pop(), b.remove(other)
        for fail in (lambda: a.remove(value * 3), lambda: a.append(None), lambda: b.append(1),
                     lambda: a.pop(99), lambda: a.insert("x", value)):
            with pytest.raises((ValueError, TypeError, IndexError)):
                fail()

    round_trip()
    gc.collect()
    refs = (sys.getrefcount(value), sys.getrefcount(other))
    objects = len(gc.get_objects())
    for _ in range(200):
        round_trip()
    gc.collect()
    assert (sys.getrefcount(value), sys.getrefcount(other)) == refs
    assert len(gc.get_objects()) - objects < 50


TIGHT = "[[bin]]\na = 1\n[[bin]]\na = 2\n[x]\ny = 1\n"
SPACED = "# head\n[[bin]]\na = 1\n\n[[bin]]\na = 2\n\n[x]\ny = 1\n"


@pytest.mark.parametrize(
    ("source", "edit", "expected"),
    [
        (TIGHT, lambda b: b.insert(1, {"a": 9}), "[[bin]]\na = 1\n[[bin]]\na = 9\n[[bin]]\na = 2\n[x]\ny = 1\n"),
        (SPACED, lambda b: b.insert(1, {"a": 9}),
         "# head\n[[bin]]\na = 1\n\n[[bin]]\na = 9\n\n[[bin]]\na = 2\n\n[x]\ny = 1\n"),
        # A replaced entry keeps the lines above its header.
        (SPACED, lambda b: b.__setitem__(slice(0, 1), [{"a": 7}]),
         "# head\n[[bin]]\na = 7\n\n[[bin]]\na = 2\n\n[x]\ny = 1\n"),
        (SPACED, lambda b: b.__setitem__(slice(None, None, -1), [{"a": 8}, {"a": 7}]),
         "# head\n[[bin]]\na = 7\n\n[[bin]]\na = 8\n\n[x]\ny = 1\n"),
        (SPACED, lambda b: b.pop(), "# head\n[[bin]]\na = 1\n\n[x]\ny = 1\n"),
    ],
)
def test_blank_lines_between_table_entries(source, edit, expected):
    doc = parse(source)
    edit(doc["bin"])
    assert doc.as_toml() == expected
