import copy

import pytest

from quillon import Document

needs_assignment = pytest.mark.skipif(
    not hasattr(Document, "__setitem__") or not hasattr(Document, "__delitem__"),
    reason="document assignment not available",
)

ROUND_TRIP = [
    "",
    "a = 1\n",
    "# leading comment\n\n  key   =   'value'   # trailing\n\n\n# final comment\n",
    '"quoted key" = 0xFF\nbare-key = 1_000\n\'lit\' = 1e+03\n',
    "[server]\nhost = \"localhost\"  # where\nport = 8080\n\n[[p]]\nn = 1\n\n[[p]]\nn = 2\n",
    "arr = [\n  1,  # one\n  2,\n]\ninline = { a = 1 , b = [ ] }\n",
    "[a.b]\nx = 1\n[a]\ny = 2\n",
    "s = '''\nmulti\nline\n'''\nt = \"\"\"\\\n  folded\"\"\"\n",
    "d = 1979-05-27T07:32:00.500-07:00\nlt = 07:32\n",
    "\"ключ\" = \"значение\" # коммент\n",
    "\ufeffa = 1\n",
]


@pytest.mark.parametrize("text", ROUND_TRIP)
def test_parse_then_as_toml_reproduces_the_text(text):
    doc = Document.parse(text)
    assert type(doc) is Document
    assert doc.as_toml() == text


@pytest.mark.parametrize(
    "text, rendered",
    [
        ("a = 1", "a = 1\n"),
        ("[t]", "[t]\n"),
        ("a = 1\r\nb = 2\r\n", "a = 1\nb = 2\n"),
    ],
)
def test_last_line_break_and_carriage_returns(text, rendered):
    assert Document.parse(text).as_toml() == rendered


@pytest.mark.parametrize(
    "text, message",
    [
        (
            "[a]\n[a]\n",
            "TOML parse error at line 2, column 2\n  |\n2 | [a]\n  |  ^\nduplicate key\n",
        ),
        (
            "a = 1\na.b = 2\n",
            "TOML parse error at line 2, column 1\n  |\n2 | a.b = 2\n  | ^\n"
            "cannot extend value of type integer with a dotted key\n",
        ),
    ],
)
def test_parse_error_message_is_the_full_report(text, message):
    with pytest.raises(ValueError) as info:
        Document.parse(text)
    assert str(info.value) == message


@pytest.mark.parametrize("text", ["a =", "= 1", "[t", "a = [1,,]", "a = 1 b = 2", "a = 0000-13-01"])
def test_invalid_documents_raise_value_error(text):
    with pytest.raises(ValueError, match="^TOML parse error at line 1, column "):
        Document.parse(text)


@pytest.mark.parametrize("arg", [None, 1, b"a = 1", ["a = 1"]])
def test_parse_requires_a_str(arg):
    with pytest.raises(TypeError) as info:
        Document.parse(arg)
    assert str(info.value).startswith("argument 'text': ")
    assert type(arg).__name__ in str(info.value)
    assert isinstance(info.value.__cause__, TypeError)


def test_parse_of_unencodable_text_raises_the_encoding_error():
    with pytest.raises(UnicodeEncodeError):
        Document.parse("a = '\ud800'\n")


def test_parse_accepts_text_by_keyword():
    assert Document.parse(text="a = 1\n").value == {"a": 1}


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: Document.parse(), "Document.parse() missing 1 required positional argument: 'text'"),
        (
            lambda: Document.parse("a", "b"),
            "Document.parse() takes 1 positional arguments but 2 were given",
        ),
        (lambda: Document.parse(txt=""), "Document.parse() got an unexpected keyword argument 'txt'"),
        (lambda: Document.parse("", text=""), "Document.parse() got multiple values for argument 'text'"),
        (
            lambda: Document(1, 2),
            "Document.__new__() takes from 0 to 1 positional arguments but 2 were given",
        ),
        (lambda: Document(mapping={}), "Document.__new__() got an unexpected keyword argument 'mapping'"),
        (
            lambda: Document().as_toml(1),
            "Document.as_toml() takes 0 positional arguments but 1 was given",
        ),
        (lambda: Document().as_toml(x=1), "Document.as_toml() got an unexpected keyword argument 'x'"),
        (lambda: Document().__copy__(None), "Document.__copy__() takes 0 positional arguments but 1 was given"),
        (
            lambda: Document().__deepcopy__({}, {}),
            "Document.__deepcopy__() takes from 0 to 1 positional arguments but 2 were given",
        ),
        (
            lambda: Document().__deepcopy__(memo={}),
            "Document.__deepcopy__() got an unexpected keyword argument 'memo'",
        ),
    ],
)
def test_argument_binding_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


@pytest.mark.parametrize("make", [Document, lambda: Document(None), lambda: Document(data=None)])
def test_empty_documents(make):
    doc = make()
    assert len(doc) == 0
    assert not doc
    assert doc.value == {}
    assert doc.as_toml() == ""
    assert repr(doc) == "Document(0 keys)"


@pytest.mark.parametrize("data", [5, "a = 1", [("a", 1)], 1.5, object(), {"a": None}, {1: 2}])
def test_constructor_rejects_what_is_not_a_convertible_mapping(data):
    with pytest.raises(TypeError) as info:
        Document(data)
    assert str(info.value) == "Document() argument must be a mapping or None"


@pytest.mark.parametrize(
    "data",
    [
        {"a": 1},
        {"a": 1, "t": {"x": "y"}},
        {"t": {"u": {"v": [1, 2]}}, "aot": [{"n": 1}, {"n": 2}]},
    ],
)
def test_constructor_builds_from_a_mapping(data):
    doc = Document(data)
    assert doc.value == data
    assert len(doc) == len(data)
    assert Document.parse(doc.as_toml()).value == data


@pytest.mark.parametrize(
    "text, keys",
    [
        ("", []),
        ("a = 1\nb = 2\n", ["a", "b"]),
        ("z = 1\n[t]\nx = 1\n[t.u]\n[[aot]]\n[[aot]]\n", ["z", "t", "aot"]),
        ("a.b = 1\na.c = 2\nd = {e = 1}\n", ["a", "d"]),
        ("[x.y]\n[z]\n", ["x", "z"]),
        ("'q k' = 1\n\"a.b\" = 2\n", ["q k", "a.b"]),
    ],
)
def test_length_truth_iteration_and_repr(text, keys):
    doc = Document.parse(text)
    assert len(doc) == len(keys)
    assert bool(doc) is bool(keys)
    assert list(doc) == keys
    assert repr(doc) == "Document(%d keys)" % len(keys)


def test_repr_has_no_singular_form():
    assert repr(Document.parse("a = 1")) == "Document(1 keys)"


@pytest.mark.parametrize(
    "text",
    ["", "a = 1\n", "s = 'x'\n[t]\nd = 1979-05-27\nf = 1.5\n", "[[a]]\nb = [true, {c = 'd'}]\n"],
)
def test_str_is_the_str_of_the_plain_dict(text):
    doc = Document.parse(text)
    assert str(doc) == str(doc.value)
    assert str(doc).startswith("{") and str(doc).endswith("}")


@pytest.mark.parametrize(
    "key, expected",
    [
        ("a", True),
        ("t", True),
        ("x", False),
        ("A", False),
        ("", False),
        (1, False),
        (None, False),
        (("a",), False),
        (b"a", False),
    ],
)
def test_contains(key, expected):
    doc = Document.parse("a = 1\n[t]\nx = 2\n")
    assert (key in doc) is expected


def test_iteration_is_over_a_list_of_fresh_strings():
    doc = Document.parse("a = 1\nb = 2\n")
    it = iter(doc)
    assert next(it) == "a"
    assert list(it) == ["b"]
    assert all(type(k) is str for k in doc)


@needs_assignment
def test_iteration_is_a_snapshot():
    doc = Document.parse("a = 1\nb = 2\nc = 3\n")
    seen = []
    for key in doc:
        seen.append(key)
        if key == "a":
            del doc["b"]
            doc["d"] = 4
    assert seen == ["a", "b", "c"]
    assert list(doc) == ["a", "c", "d"]


@pytest.mark.parametrize("duplicate", [copy.copy, copy.deepcopy, Document.__copy__, Document.__deepcopy__])
def test_copies_are_new_equal_documents(duplicate):
    text = "# c\na = 1  # x\n[t]\nb = [1, 2]\n"
    doc = Document.parse(text)
    dup = duplicate(doc)
    assert type(dup) is Document
    assert dup is not doc
    assert dup.as_toml() == text
    assert dup.value == doc.value


def test_deepcopy_accepts_and_ignores_a_memo():
    doc = Document.parse("a = 1\n")
    memo = {}
    assert doc.__deepcopy__(memo).value == {"a": 1}
    assert doc.__deepcopy__(_memo=None).value == {"a": 1}
    assert memo == {}


@needs_assignment
@pytest.mark.parametrize("duplicate", [copy.copy, copy.deepcopy])
def test_copies_are_independent(duplicate):
    doc = Document.parse("a = 1\n[t]\nb = 2\n")
    dup = duplicate(doc)
    dup["a"] = 10
    del dup["t"]
    assert doc.as_toml() == "a = 1\n[t]\nb = 2\n"
    doc["z"] = 3
    assert "z" not in dup
    assert dup.value == {"a": 10}


@needs_assignment
def test_references_survive_edits_of_a_copy():
    doc = Document.parse("a = 1\n")
    ref = doc["a"]
    dup = copy.copy(doc)
    dup["a"] = 2
    assert ref.value == 1


@pytest.mark.parametrize(
    "edit",
    [
        lambda doc: doc.__setitem__("a", 2),
        lambda doc: doc.__delitem__("a"),
        lambda doc: doc["t"]["x"].__setattr__("comment", "# note"),
        lambda doc: doc["t"]["x"].__setattr__("inline_comment", "# note"),
        lambda doc: doc["t"].__setitem__("y", [1]),
        lambda doc: doc["t"]["list"].append(3),
        lambda doc: doc["t"].fmt(),
        lambda doc: doc.update({"b": {"c": 1}}),
    ],
)
def test_as_toml_text_is_reused_until_an_edit(edit):
    doc = Document.parse("a = 1\n\n[t]\nx   =   1\nlist = [ 1,2 ]\n")
    first = doc.as_toml()
    assert doc.as_toml() is first
    edit(doc)
    after = doc.as_toml()
    assert after != first
    assert after == copy.copy(doc).as_toml()
    assert doc.as_toml() is after
