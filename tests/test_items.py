"""Items: narrowing, child references, the container protocol, string forms,
subscripts of every kind, clear/fmt/parse, comments and copies of Items."""

import datetime
import math

import pytest

from quillon import DictItem, Document, Item, ListItem, ScalarItem

SOURCE = """\
s = "text"
empty = ""
n = 42
zero = 0
f = 1.5
nan = nan
b = true
no = false
d = 1979-05-27
arr = [1, 2, 3]
aot_like = [{ a = 1 }]
inl = { x = 1, y = "two" }

[t]
x = 1
key = "x"

[[bin]]
name = "a"

[[bin]]
name = "b"
"""


@pytest.fixture
def doc():
    return Document.parse(SOURCE)


# ---- narrowing ----


@pytest.mark.parametrize(
    "key, cls",
    [
        ("t", DictItem),
        ("inl", DictItem),
        ("arr", ListItem),
        ("bin", ListItem),
        ("aot_like", ListItem),
        ("s", ScalarItem),
        ("n", ScalarItem),
        ("f", ScalarItem),
        ("b", ScalarItem),
        ("d", ScalarItem),
    ],
)
def test_items_are_narrowed_by_kind(doc, key, cls):
    item = doc[key]
    assert type(item) is cls
    assert isinstance(item, Item)


@pytest.mark.parametrize("path, cls", [(("bin", 0), DictItem), (("arr", -1), ScalarItem), (("inl", "x"), ScalarItem)])
def test_children_are_narrowed_too(doc, path, cls):
    item = doc[path[0]]
    for step in path[1:]:
        item = item[step]
    assert type(item) is cls


# ---- reading ----


@pytest.mark.parametrize(
    "key, expected",
    [
        ("s", "text"),
        ("n", 42),
        ("d", datetime.date(1979, 5, 27)),
        ("arr", [1, 2, 3]),
        ("inl", {"x": 1, "y": "two"}),
        ("bin", [{"name": "a"}, {"name": "b"}]),
    ],
)
def test_value_is_a_plain_copy(doc, key, expected):
    value = doc[key].value
    assert value == expected
    assert not isinstance(value, Item)


@pytest.mark.parametrize(
    "key, text",
    [("s", '"text"'), ("arr", "[1, 2, 3]"), ("inl", '{ x = 1, y = "two" }'), ("t", 'x = 1\nkey = "x"')],
)
def test_as_toml_is_the_trimmed_item_text(doc, key, text):
    assert doc[key].as_toml() == text


def test_parsed_fragment_keeps_its_spelling():
    assert Item.parse("0xFF").as_toml() == "0xFF"
    assert Item.parse("'lit'").value == "lit"


@pytest.mark.parametrize(
    "key, expected",
    [("s", "text"), ("n", "42"), ("b", "true"), ("no", "false"), ("f", "1.5"), ("d", "1979-05-27"),
     ("arr", "[1, 2, 3]"), ("inl", "{'x': 1, 'y': 'two'}")],
)
def test_str(doc, key, expected):
    assert str(doc[key]) == expected


def test_str_of_negative_integer():
    assert str(Document.parse("n = -1_6")["n"]) == "-16"


@pytest.mark.parametrize(
    "key, expected",
    [("n", "Item(integer, 42)"), ("s", 'Item(string, "text")'), ("arr", "Item(array, [1, 2, 3])"),
     ("t", 'Item(table, x = 1\nkey = "x")'), ("bin", 'Item(array of tables, [{ name = "a" }, { name = "b" }])'),
     ("inl", 'Item(inline table, { x = 1, y = "two" })'), ("d", "Item(datetime, 1979-05-27)")],
)
def test_repr_names_the_kind(doc, key, expected):
    assert repr(doc[key]) == expected


@pytest.mark.parametrize(
    "key, truth",
    [("s", True), ("empty", False), ("n", True), ("zero", False), ("f", True), ("nan", True), ("b", True),
     ("no", False), ("d", True), ("arr", True), ("t", True)],
)
def test_bool(doc, key, truth):
    assert bool(doc[key]) is truth


def test_bool_of_emptied_containers(doc):
    doc["t"].clear()
    doc["arr"].clear()
    assert not doc["t"] and not doc["arr"]


@pytest.mark.parametrize("key, n", [("t", 2), ("inl", 2), ("arr", 3), ("bin", 2)])
def test_len(doc, key, n):
    assert len(doc[key]) == n


@pytest.mark.parametrize("key, word", [("n", "integer"), ("s", "string"), ("f", "float"), ("d", "datetime"),
                                       ("b", "boolean")])
def test_scalars_have_no_len_and_no_iteration(doc, key, word):
    with pytest.raises(TypeError, match=rf"^TOML {word} item has no len\(\) \(use \.value to get the Python object\)$"):
        len(doc[key])
    with pytest.raises(TypeError, match=rf"^TOML {word} item is not iterable \(use \.value to get the Python object\)$"):
        iter(doc[key])
    # `in` acts on the plain value, with the interpreter's own error.
    with pytest.raises(TypeError) as on_item:
        1 in doc[key]
    with pytest.raises(TypeError) as on_value:
        1 in doc[key].value
    assert str(on_item.value) == str(on_value.value)


def test_iteration_gives_keys_of_tables_and_items_of_arrays(doc):
    assert list(doc["t"]) == ["x", "key"]
    elements = list(doc["arr"])
    assert [type(e) for e in elements] == [ScalarItem] * 3
    assert [e.value for e in elements] == [1, 2, 3]
    assert [e["name"].value for e in doc["bin"]] == ["a", "b"]


def test_iteration_is_a_snapshot(doc):
    t = doc["t"]
    seen = []
    for key in t:
        seen.append(key)
        del t[key]
    assert seen == ["x", "key"]
    assert doc["t"].value == {}


@pytest.mark.parametrize(
    "key, needle, found",
    [("t", "x", True), ("t", "y", False), ("t", 1, False), ("arr", 2, True), ("arr", 2.0, True), ("arr", "2", False),
     ("bin", {"name": "b"}, True), ("bin", {"name": "c"}, False), ("inl", "y", True)],
)
def test_contains(doc, key, needle, found):
    assert (needle in doc[key]) is found


def test_contains_accepts_items(doc):
    assert doc["t"]["key"] in doc["t"]  # the string "x" is a key of t
    assert doc["n"] not in doc["arr"]
    doc["arr"][0] = 42
    assert doc["n"] in doc["arr"]


# ---- reading children: subscripts ----


def test_negative_index_is_stored_normalised(doc):
    last = doc["arr"][-1]
    assert last.value == 3
    doc["arr"][0:0] = []  # no change in length, nothing recorded
    assert last.value == 3


def test_bool_subscript_is_an_integer(doc):
    assert doc["arr"][True].value == 2


def test_string_item_serves_as_subscript(doc):
    assert doc["t"][doc["t"]["key"]].value == 1


def test_integer_item_serves_as_index(doc):
    doc["i"] = 1
    assert doc["arr"][doc["i"]].value == 2


def test_slices_give_lists_of_items(doc):
    items = doc["arr"][1:3]
    assert type(items) is list
    assert [type(i) for i in items] == [ScalarItem, ScalarItem]
    assert [i.value for i in items] == [2, 3]
    assert [i.value for i in doc["arr"][::-1]] == [3, 2, 1]
    assert [i.value for i in doc["arr"][5:]] == []
    assert [i["name"].value for i in doc["bin"][1:]] == ["b"]


@pytest.mark.parametrize(
    "key, subscript, exc, message",
    [
        ("t", "missing", KeyError, "'missing'"),
        ("t", 0, KeyError, "'0'"),
        ("t", -3, KeyError, "'-3'"),
        ("t", 1.5, KeyError, "'1.5'"),
        ("t", (1, 2), KeyError, "'(1, 2)'"),
        ("t", slice(0, 1), TypeError, "'table' does not support slicing"),
        ("arr", 3, IndexError, "index out of range"),
        ("arr", -4, IndexError, "index out of range"),
        ("arr", "x", TypeError, "TOML array indices must be integers, not strings"),
        ("bin", "x", TypeError, "TOML array indices must be integers, not strings"),
        ("arr", 1.5, TypeError, "indices must be integers or strings, not float"),
        ("arr", 2**70, TypeError, "indices must be integers or strings, not int"),
        ("arr", None, TypeError, "indices must be integers or strings, not NoneType"),
        ("n", "x", TypeError, r"TOML integer item is not subscriptable \(use .value to get the Python object\)"),
        ("s", 0, TypeError, r"TOML string item is not subscriptable \(use .value to get the Python object\)"),
        ("n", slice(0, 1), TypeError, "'integer' does not support slicing"),
        ("n", 1.5, TypeError, "indices must be integers or strings, not float"),
    ],
)
def test_read_subscript_errors(doc, key, subscript, exc, message):
    with pytest.raises(exc) as info:
        doc[key][subscript]
    if exc is KeyError:
        assert str(info.value) == message
    else:
        assert info.match(f"^{message}$")


def test_repr_failure_gives_question_mark(doc):
    class NoRepr:
        def __repr__(self):
            raise ValueError("no")

    with pytest.raises(KeyError) as info:
        doc["t"][NoRepr()]
    assert info.value.args == ("?",)


# ---- assignment and deletion through Items ----


@pytest.mark.parametrize(
    "source, edit, expected",
    [
        ("[t]\nport = 8080  # main\n", lambda d: d["t"].__setitem__("port", 9090), "[t]\nport = 9090  # main\n"),
        ("[t]\n# above\nx = 1\n", lambda d: d["t"].__setitem__("x", {"a": 1}), "[t]\n# above\n[t.x]\na = 1\n"),
        ("t = { a = 1 }\n", lambda d: d["t"].__setitem__("b", 2), "t = { a = 1, b = 2 }\n"),
        ("a = [1, 2, 3]\n", lambda d: d["a"].__setitem__(-1, 5), "a = [1, 2, 5]\n"),
        ("a = [\n  1, # one\n  2,\n]\n", lambda d: d["a"].__setitem__(0, 7), "a = [\n  7, # one\n  2,\n]\n"),
        ("a = [1, 2, 3]\n", lambda d: d["a"].__delitem__(0), "a = [2, 3]\n"),
        ("a = [1, 2, 3]\n", lambda d: d["a"].__delitem__(-1), "a = [1, 2]\n"),
        ("a = [1, 2, 3]\n", lambda d: d["a"].__setitem__(slice(0, 2), []), "a = [3]\n"),
        ("a = [1, 2, 3]\n", lambda d: d["a"].__setitem__(slice(1, None), [9]), "a = [1, 9]\n"),
        ("a = [1, 2, 3, 4]\n", lambda d: d["a"].__delitem__(slice(None, None, 2)), "a = [2, 4]\n"),
        ("[t]\nx = 1\ny = 2\n", lambda d: d["t"].__delitem__("x"), "[t]\ny = 2\n"),
        ("t = { x = 1, y = 2 }\n", lambda d: d["t"].__delitem__("x"), "t = { y = 2 }\n"),
        ("[[b]]\nn = 1\n\n[[b]]\nn = 2\n", lambda d: d["b"].__setitem__(1, {"n": 3}), "[[b]]\nn = 1\n\n[[b]]\nn = 3\n"),
        ("[[b]]\nn = 1\n", lambda d: d["b"].__setitem__(0, Item.parse("{ n = 0x10 }")), "[[b]]\nn = 0x10\n"),
    ],
)
def test_edits_through_items(source, edit, expected):
    doc = Document.parse(source)
    edit(doc)
    assert doc.as_toml() == expected
    assert Document.parse(expected).value == doc.value


def test_replacing_an_element_attaches_the_new_values_comment():
    doc = Document.parse("src = 1 # note\na = [1, 2]\n")
    doc["a"][0] = doc["src"]
    assert doc["a"][0].inline_comment == "# note"
    assert Document.parse(doc.as_toml()).value == doc.value


@pytest.mark.parametrize(
    "key, subscript, value, exc, message",
    [
        ("t", 0, 1, TypeError, "TOML table keys must be strings, not integers"),
        ("inl", -1, 1, TypeError, "TOML table keys must be strings, not integers"),
        ("arr", "x", 1, TypeError, "TOML array indices must be integers, not strings"),
        ("n", "x", 1, TypeError, "'integer' is not subscriptable"),
        ("d", 0, 1, TypeError, "'datetime' is not subscriptable"),
        ("arr", 3, 1, IndexError, "index out of range"),
        ("arr", -4, 1, IndexError, "index out of range"),
        ("arr", 1.5, 1, TypeError, "indices must be integers or strings, not float"),
        ("t", 1.5, 1, TypeError, "indices must be integers or strings, not float"),
        ("bin", 0, 5, TypeError, r"cannot append integer to array of tables \(expected a table/dict\)"),
        ("t", slice(0, 1), [1], TypeError, "'table' does not support slice assignment"),
        ("arr", slice(None, None, 2), [1], ValueError,
         "attempt to assign sequence of size 1 to extended slice of size 2"),
        ("t", "x", None, TypeError, r"None is not a valid TOML value \(TOML has no null type\)"),
        ("arr", 0, [None], TypeError, "Could not convert object of type 'NoneType' to TOML value"),
        ("arr", slice(0, 1), 5, TypeError, "'int' object is not iterable"),
    ],
)
def test_assignment_errors_change_nothing(doc, key, subscript, value, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc, match=f"^{message}$"):
        doc[key][subscript] = value
    assert doc.as_toml() == before


@pytest.mark.parametrize(
    "key, subscript, exc, message",
    [
        ("t", "missing", KeyError, "'missing'"),
        ("t", 0, KeyError, "'0'"),
        ("t", 1.5, KeyError, "'1.5'"),
        ("arr", 3, IndexError, "index out of range"),
        ("arr", "x", TypeError, "TOML array indices must be integers, not strings"),
        ("arr", 1.5, TypeError, "indices must be integers or strings, not float"),
        ("n", "x", TypeError, "'integer' is not subscriptable"),
        ("n", 0, TypeError, "'integer' is not subscriptable"),
        ("t", slice(0, 1), TypeError, "'table' does not support slice deletion"),
    ],
)
def test_deletion_errors_change_nothing(doc, key, subscript, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc) as info:
        del doc[key][subscript]
    if exc is KeyError:
        assert str(info.value) == message
    else:
        assert info.match(f"^{message}$")
    assert doc.as_toml() == before


def test_item_assignment_does_not_prefix_argument_name(doc):
    with pytest.raises(TypeError) as info:
        doc["t"]["x"] = object()
    assert str(info.value) == "Could not convert object of type 'object' to TOML value"


@pytest.mark.parametrize(
    "source, edit",
    [
        ("a.b.c = 1\n", lambda d: d["a"]["b"].__delitem__("c")),
        ("[a.b]\nx = 1\n", lambda d: d["a"].__delitem__("b")),
        ("[a.b]\nx = 1\n", lambda d: d["a"].clear()),
        ("t = { a.b = 1 }\n", lambda d: d["t"]["a"].__delitem__("b")),
        ("[[b]]\nx = 1\n", lambda d: d["b"].__delitem__(0)),
        ("[t]\n[[t.b]]\nx = 1\n[[t.b]]\nx = 2\n", lambda d: d["t"]["b"].clear()),
        ("[[b]]\nx = 1\n", lambda d: d["b"].__delitem__(slice(None))),
    ],
)
def test_emptied_containers_survive_the_round_trip(source, edit):
    doc = Document.parse(source)
    edit(doc)
    assert Document.parse(doc.as_toml()).value == doc.value


def test_dotted_table_written_into_array_of_tables_gets_its_header():
    src = Document.parse("a.b.c = 1\n")
    doc = Document.parse("[[b]]\nx = 1\n")
    doc["b"][0] = src["a"]["b"]
    assert doc.as_toml() == "[[b]]\nc = 1\n"


# ---- clear and fmt ----


@pytest.mark.parametrize("key, empty", [("t", {}), ("inl", {}), ("arr", []), ("bin", [])])
def test_clear_empties_containers(doc, key, empty):
    item = doc[key]
    assert item.clear() is None
    assert item.value == empty
    assert Document.parse(doc.as_toml())[key].value == empty


@pytest.mark.parametrize("key, word", [("n", "integer"), ("s", "string"), ("d", "datetime")])
def test_clear_of_scalars_is_refused(doc, key, word):
    with pytest.raises(TypeError, match=f"^'{word}' does not support clear\\(\\)$"):
        doc[key].clear()


@pytest.mark.parametrize(
    "source, key, expected",
    [
        ("a = [ 1 ,2,  3, ]\n", "a", "a = [1, 2, 3]\n"),
        ("t = {x=1,  y =  2}\n", "t", "t = { x = 1, y = 2 }\n"),
        ("[t]\nx   =    1   # c\n", "t", "[t]\nx = 1\n"),
        ("n =   5   # c\n", "n", "n =   5   # c\n"),
    ],
)
def test_fmt_is_shallow_normalisation(source, key, expected):
    doc = Document.parse(source)
    item = doc[key]
    assert item.fmt() is None
    assert doc.as_toml() == expected
    item.value  # fmt records nothing: the reference stays valid


# ---- parse ----


@pytest.mark.parametrize(
    "cls, text, expected_type",
    [
        (Item, "1", ScalarItem),
        (Item, "[1, 2]", ListItem),
        (Item, "{ a = 1 }", DictItem),
        (DictItem, "{ a = 1 }", DictItem),
        (ListItem, "[]", ListItem),
        (ScalarItem, "1979-05-27T07:32:00Z", ScalarItem),
    ],
)
def test_parse_narrows(cls, text, expected_type):
    assert type(cls.parse(text)) is expected_type


@pytest.mark.parametrize(
    "cls, text, message",
    [
        (ListItem, "1", "ListItem.parse() requires a array value, got ScalarItem"),
        (DictItem, "[1]", "DictItem.parse() requires a table value, got ListItem"),
        (ScalarItem, "{}", "ScalarItem.parse() requires a scalar value, got DictItem"),
        (ScalarItem, "[]", "ScalarItem.parse() requires a scalar value, got ListItem"),
    ],
)
def test_narrowed_parse_checks_the_kind(cls, text, message):
    with pytest.raises(ValueError) as info:
        cls.parse(text)
    assert str(info.value) == message


@pytest.mark.parametrize("cls", [Item, DictItem, ListItem, ScalarItem])
@pytest.mark.parametrize("text", ["a = 1", "[t]", "1 2", ""])
def test_parse_of_invalid_fragment(cls, text):
    with pytest.raises(ValueError, match="^TOML parse error"):
        cls.parse(text)


def test_parse_argument_errors():
    with pytest.raises(TypeError, match=r"^argument 'text': "):
        Item.parse(1)
    with pytest.raises(TypeError, match=r"^ListItem.parse\(\) missing 1 required positional argument: 'text'$"):
        ListItem.parse()


def test_parsed_item_keeps_representation_when_assigned():
    doc = Document()
    doc["m"] = Item.parse("0xFF")
    doc["s"] = Item.parse("'''multi\nline'''")
    assert doc.as_toml() == "m = 0xFF\ns = '''multi\nline'''\n"


@pytest.mark.parametrize(
    "member, message",
    [
        (lambda i: i.as_toml(1), r"^Item.as_toml\(\) takes 0 positional arguments but 1 was given$"),
        (lambda i: i.clear(x=1), r"^Item.clear\(\) got an unexpected keyword argument 'x'$"),
        (lambda i: i.fmt(1, 2), r"^Item.fmt\(\) takes 0 positional arguments but 2 were given$"),
    ],
)
def test_binding_messages(doc, member, message):
    with pytest.raises(TypeError, match=message):
        member(doc["t"])


# ---- equality ----


@pytest.mark.parametrize(
    "key, other, equal",
    [("n", 42, True), ("n", 42.0, True), ("n", 41, False), ("arr", [1, 2, 3], True), ("arr", (1, 2, 3), False),
     ("t", {"x": 1, "key": "x"}, True), ("bin", [{"name": "a"}, {"name": "b"}], True)],
)
def test_equality_with_plain_values(doc, key, other, equal):
    assert (doc[key] == other) is equal
    assert (doc[key] != other) is (not equal)


def test_items_are_unhashable_and_unordered(doc):
    with pytest.raises(TypeError):
        hash(doc["t"])
    with pytest.raises(TypeError):
        doc["arr"] < doc["arr"]


# ---- comments ----


@pytest.mark.parametrize(
    "source, path, comment, inline",
    [
        ("# top\nx = 1 # side\n", ("x",), "# top", "# side"),
        ("# head\n[t] # hdr\nx = 1\n", ("t",), "# head", "# hdr"),
        ("# first\n[[b]]\nx = 1\n", ("b", 0), "# first", None),
        ("a = [\n  1, # one\n  # above two\n  2,\n]\n", ("a", 0), None, "# one"),
        ("a = [\n  1, # one\n  # above two\n  2,\n]\n", ("a", 1), "# above two", None),
        ("t = {\n  x = 1, # ex\n  y = 2,\n}\n", ("t", "x"), None, "# ex"),
    ],
)
def test_comment_routing_reads(source, path, comment, inline):
    item = Document.parse(source)[path[0]]
    for step in path[1:]:
        item = item[step]
    assert item.comment == comment
    assert item.inline_comment == inline


def test_first_table_of_array_shares_comment_with_the_array():
    doc = Document.parse("# first\n[[b]]\nx = 1\n")
    doc["b"][0].comment = "# changed"
    assert doc["b"].comment == "# changed"
    assert doc.as_toml() == "# changed\n[[b]]\nx = 1\n"


def test_element_inline_comment_is_written_to_the_slot():
    doc = Document.parse("a = [1, 2]\n")
    doc["a"][0].inline_comment = "# first"
    assert doc.as_toml() == "a = [1, # first\n 2]\n"
    assert doc["a"][0].inline_comment == "# first"


@pytest.mark.parametrize(
    "prop, value, exc, message",
    [
        ("comment", 5, TypeError, "argument 'value': "),
        ("inline_comment", b"#", TypeError, "argument 'value': "),
        ("inline_comment", "note", ValueError, "comment must start with '#'"),
        ("inline_comment", "# a\n# b", ValueError, "inline comment must not contain newlines"),
        ("comment", "x", ValueError, "comment lines must start with '#'"),
    ],
)
def test_comment_setter_errors_change_nothing(doc, prop, value, exc, message):
    before = doc.as_toml()
    with pytest.raises(exc) as info:
        setattr(doc["n"], prop, value)
    assert str(info.value).startswith(message)
    assert doc.as_toml() == before


def test_comment_cannot_be_deleted(doc):
    with pytest.raises(AttributeError):
        del doc["n"].comment


def test_comment_setters_record_nothing(doc):
    n = doc["n"]
    n.comment = "# c"
    n.inline_comment = "# i"
    assert n.value == 42
    assert doc.as_toml().count("# c\nn = 42 # i\n") == 1


# ---- copies of Items carry only decor valid where they land ----


MULTILINE = """\
a = [
  1,
  2 # two
]
t = {
  x = 1, # ex
  y = 2
}
u = [
  3,
  4
]
"""


@pytest.mark.parametrize(
    "path, line",
    [
        (("a", 0), "c = 1\n"),
        (("a", 1), "c = 2 # two\n"),
        (("t", "x"), "c = 1 # ex\n"),
        (("t", "y"), "c = 2\n"),
        (("u", 1), "c = 4\n"),
    ],
)
def test_copied_element_lands_on_one_line(path, line):
    doc = Document.parse(MULTILINE)
    doc["c"] = doc[path[0]][path[1]]
    assert doc.as_toml() == MULTILINE + line
    assert Document.parse(doc.as_toml()).value == doc.value


def test_copied_commented_value_in_inline_table_keeps_comment_on_its_own_line():
    doc = Document.parse(MULTILINE)
    doc["t"]["z"] = doc["a"][1]
    assert doc["t"]["z"].inline_comment == "# two"
    assert Document.parse(doc.as_toml()).value == doc.value


def test_copied_tables_render_after_their_new_parent():
    doc = Document.parse("[a]\nx = 1\n[a.b]\ny = 2\n[c]\nz = 3\n")
    doc["d"] = doc["a"]
    text = doc.as_toml()
    assert text.index("[d]") < text.index("[d.b]")
    assert text.index("[c]") < text.index("[d]")


def test_element_copied_within_array_of_tables_keeps_order():
    doc = Document.parse("[[b]]\nn = 0\n[[b]]\nn = 1\n[[b]]\nn = 2\n")
    doc["b"][0] = doc["b"][2]
    assert doc.value == {"b": [{"n": 2}, {"n": 1}, {"n": 2}]}
    assert Document.parse(doc.as_toml()).value == doc.value


def test_copies_are_independent():
    doc = Document.parse("a = [1, 2]\n")
    doc["b"] = doc["a"]
    doc["a"][0] = 9
    assert doc["b"].value == [1, 2]


def test_float_nan_item_value():
    assert math.isnan(Document.parse("f = nan")["f"].value)
