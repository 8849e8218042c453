"""Default rendering of new content: scalar and key spellings, spacing, and
the placement of table headers."""

import datetime
import math
import tomllib

import pytest

import quillon
from quillon import Document

needs_implicit = pytest.mark.skipif(
    not hasattr(quillon.DictItem, "implicit"), reason="DictItem.implicit not available yet"
)
needs_append = pytest.mark.skipif(
    not hasattr(quillon.ListItem, "append"), reason="ListItem.append not available yet"
)


def _mapping_constructor_available():
    try:
        Document({"a": 1})
    except TypeError:
        return False
    return True


MAPPING_CONSTRUCTOR = _mapping_constructor_available()
needs_mapping_constructor = pytest.mark.skipif(
    not MAPPING_CONSTRUCTOR, reason="Document(mapping) is not available yet"
)


def render_entry(value, key="v"):
    """The document holding only `key` = `value`, rendered."""
    if MAPPING_CONSTRUCTOR:
        return Document({key: value}).as_toml()
    doc = Document.parse("")
    doc[key] = value
    return doc.as_toml()


# ---- strings ---------------------------------------------------------------

STRING_CASES = [
    pytest.param("hello", '"hello"', id="plain-basic"),
    pytest.param("", '""', id="empty"),
    pytest.param('say "hi"', "'say \"hi\"'", id="quote-literal"),
    pytest.param("C:\\Users\\me", "'C:\\Users\\me'", id="backslash-literal"),
    pytest.param("it's", '"it\'s"', id="apostrophe-basic"),
    pytest.param("one\ntwo", '"""\none\ntwo"""', id="newline-multiline-basic"),
    pytest.param("a\rb", '"a\\rb"', id="carriage-return-escaped"),
    pytest.param("tab\there", '"tab\\there"', id="tab-escaped"),
    pytest.param("esc\x1b", '"esc\\u001B"', id="escape-char-unicode"),
    pytest.param("del\x7f", '"del\\u007F"', id="delete-unicode"),
    pytest.param("bs\b ff\f", '"bs\\b ff\\f"', id="short-escapes"),
    pytest.param("both ' and \"", '"""both \' and """"', id="both-quotes-multiline-basic"),
    pytest.param("'''x", "\"'''x\"", id="triple-apostrophe-basic"),
    pytest.param("q \"\"\" and ' \\", "'''q \"\"\" and ' \\'''", id="quote-run-literal-multiline"),
    pytest.param("'''\"\"\"", "\"'''\\\"\\\"\\\"\"", id="apostrophe-run-basic"),
    pytest.param('line\n""""', "'''\nline\n\"\"\"\"'''", id="quote-run-multiline-literal"),
    pytest.param("back\\slash\nnext'", "'''\nback\\slash\nnext''''", id="backslash-newline-literal"),
    pytest.param("bell\x07\nline", '"""\nbell\\u0007\nline"""', id="control-multiline-basic"),
    pytest.param('x\x01\n""""""', '"""\nx\\u0001\n""\\"""\\""""', id="quote-run-escaped-every-third"),
]


@pytest.mark.parametrize("text, expected", STRING_CASES)
def test_new_string_default_form(text, expected):
    out = render_entry(text)
    assert out == f"v = {expected}\n"
    assert tomllib.loads(out) == {"v": text}


# ---- numbers, booleans and date-times --------------------------------------

FLOAT_CASES = [
    pytest.param(1.0, "1.0", id="one"),
    pytest.param(0.1, "0.1", id="tenth"),
    pytest.param(-2.5, "-2.5", id="negative"),
    pytest.param(1e20, "1" + "0" * 20 + ".0", id="1e20"),
    pytest.param(1.5e-7, "0.00000015", id="1.5e-7"),
    pytest.param(1e300, "1" + "0" * 300 + ".0", id="1e300"),
    pytest.param(5e-324, "0." + "0" * 323 + "5", id="smallest-subnormal"),
    pytest.param(1 / 3, "0.3333333333333333", id="third"),
    pytest.param(0.1 + 0.2, "0.30000000000000004", id="shortest-digits"),
    pytest.param(123456.789, "123456.789", id="mixed"),
    pytest.param(0.0, "0.0", id="zero"),
    pytest.param(-0.0, "-0.0", id="negative-zero"),
    pytest.param(math.inf, "inf", id="inf"),
    pytest.param(-math.inf, "-inf", id="negative-inf"),
    pytest.param(math.nan, "nan", id="nan"),
    pytest.param(-math.nan, "-nan", id="negative-nan"),
]


@pytest.mark.parametrize("number, expected", FLOAT_CASES)
def test_new_float_default_form(number, expected):
    out = render_entry(number)
    assert out == f"v = {expected}\n"
    back = tomllib.loads(out)["v"]
    if math.isnan(number):
        assert math.isnan(back)
    else:
        assert back == number and math.copysign(1, back) == math.copysign(1, number)


@pytest.mark.parametrize("seed", range(5))
def test_float_default_form_reads_back_exactly(seed):
    import random

    rng = random.Random(seed)
    numbers = [rng.uniform(-1, 1) * 10 ** rng.randint(-30, 30) for _ in range(200)]
    out = "".join(render_entry(number, key=f"f{i}") for i, number in enumerate(numbers))
    assert "e" not in out.replace("f", "")
    parsed = tomllib.loads(out)
    assert [parsed[f"f{i}"] for i in range(len(numbers))] == numbers


@pytest.mark.parametrize(
    "value, expected",
    [
        (0, "0"),
        (-42, "-42"),
        (2**63 - 1, "9223372036854775807"),
        (-(2**63), "-9223372036854775808"),
        (True, "true"),
        (False, "false"),
        (datetime.datetime(1979, 5, 27, 7, 32), "1979-05-27T07:32:00"),
        (
            datetime.datetime(1979, 5, 27, 7, 32, 0, 500000, tzinfo=datetime.timezone.utc),
            "1979-05-27T07:32:00.5+00:00",
        ),
        (datetime.date(2024, 2, 29), "2024-02-29"),
        (datetime.time(7, 32, 1), "07:32:01"),
    ],
)
def test_other_scalars_default_form(value, expected):
    assert render_entry(value) == f"v = {expected}\n"


# ---- keys ------------------------------------------------------------------


@pytest.mark.parametrize(
    "key, expected",
    [
        ("a-b_1", "a-b_1"),
        ("A9", "A9"),
        ("a b", '"a b"'),
        ("dotted.key", '"dotted.key"'),
        ("", '""'),
        ('say"x', "'say\"x'"),
        ("back\\slash", "'back\\slash'"),
        ("it's", '"it\'s"'),
        ("both'\"", '"both\'\\""'),
        ("new\nline", '"new\\nline"'),
        ("tab\tkey", '"tab\\tkey"'),
        ("tab\t\\", "'tab\t\\'"),
        ("ctl\x01\"", '"ctl\\u0001\\""'),
        ("é", '"é"'),
    ],
)
def test_new_key_default_form(key, expected):
    out = render_entry(1, key=key)
    assert out == f"{expected} = 1\n"
    assert tomllib.loads(out) == {key: 1}


def test_key_in_header_uses_default_form():
    assert render_entry({"c.d": {"x": 1}}, key="a b") == '["a b"]\n\n["a b"."c.d"]\nx = 1\n'


# ---- arrays and inline tables ----------------------------------------------


@pytest.mark.parametrize(
    "value, expected",
    [
        ([1, 2, 3], "[1, 2, 3]"),
        ([], "[]"),
        ((), "[]"),
        ([[1], ["a", 2.5]], '[[1], ["a", 2.5]]'),
        ([{"a": 1, "b": 2}], None),  # an array of tables at item level
        ([{"a": 1}, 2], "[{ a = 1 }, 2]"),
        ([{}], None),
    ],
)
def test_new_arrays(value, expected):
    out = render_entry(value)
    if expected is None:
        assert out.startswith("[[v]]\n")
    else:
        assert out == f"v = {expected}\n"
    assert tomllib.loads(out) == {"v": list(value)}


@pytest.mark.parametrize(
    "value, expected",
    [
        ({"a": 1, "b": 2}, "{ a = 1, b = 2 }"),
        ({}, "{}"),
        ({"t": {"x": [1, {"y": "z"}]}}, '{ t = { x = [1, { y = "z" }] } }'),
    ],
)
def test_new_inline_tables(value, expected):
    assert render_entry([value, 0], key="arr") == f"arr = [{expected}, 0]\n"


# ---- documents from mappings -----------------------------------------------


@needs_mapping_constructor
@pytest.mark.parametrize(
    "data, expected",
    [
        ({"title": "T", "owner": {"name": "N"}}, 'title = "T"\n\n[owner]\nname = "N"\n'),
        ({"a": {"x": 1}}, "[a]\nx = 1\n"),
        ({"a": {"b": {"c": {"x": 1}}}}, "[a]\n\n[a.b]\n\n[a.b.c]\nx = 1\n"),
        ({"a": [{"n": 1}, {"n": 2}]}, "[[a]]\nn = 1\n\n[[a]]\nn = 2\n"),
        ({"a": [{"n": 1, "sub": {"m": 2}}]}, "[[a]]\nn = 1\n\n[a.sub]\nm = 2\n"),
        (
            {"t": {"x": 1}, "v": 1, "a": [{"n": 1}]},
            "v = 1\n\n[t]\nx = 1\n\n[[a]]\nn = 1\n",
        ),
        ({}, ""),
    ],
)
def test_document_from_mapping(data, expected):
    out = Document(data).as_toml()
    assert out == expected
    assert tomllib.loads(out) == data


def test_new_document_renders_empty_and_then_one_line():
    doc = Document.parse("")
    assert doc.as_toml() == ""
    doc["k"] = "v"
    assert doc.as_toml() == 'k = "v"\n'


def test_table_after_empty_root_has_no_blank_line():
    doc = Document.parse("")
    doc["a"] = {"x": 1}
    assert doc.as_toml() == "[a]\nx = 1\n"


@needs_implicit
def test_implicit_parents_hide_and_show_headers():
    doc = Document.parse("")
    doc["a"] = {"b": {"c": {"x": 1}}}
    doc["a"].implicit = True
    doc["a"]["b"].implicit = True
    assert doc.as_toml() == "[a.b.c]\nx = 1\n"
    doc["a"].implicit = False
    assert doc.as_toml() == "[a]\n\n[a.b.c]\nx = 1\n"
    doc["a"]["b"]["y"] = 2
    assert doc.as_toml() == "[a]\n\n[a.b]\ny = 2\n\n[a.b.c]\nx = 1\n"


# ---- parsed documents: header order and recorded text ----------------------


@pytest.mark.parametrize(
    "text",
    [
        "[a.b.c]\nx = 1\n",
        "[a.b]\nx = 1\n[a]\ny = 2\n",
        "[x.y]\na = 1\n[z]\nb = 2\n[x]\nc = 3\n",
        "[[p]]\nn = 1\n[p.q]\nm = 2\n[[p]]\nn = 3\n",
        "a.b = 1\n[a.c]\nx = 2\n",
        "# head\n\n[t]  # note\nk = 'v'  # end\n\n# tail\n",
        "arr = [ 1,\n  2, # two\n]\nit = {a=1,b.c=2}\n",
        # a shared dotted prefix or parent key spelled differently per line
        "fruit.name = 1\nfruit . color = 2\n'fruit'.size = 3\n",
        "['a']\n[a.'b']\n[ \"a\" . b.c ]\nx = 1\n",
    ],
)
def test_parsed_document_round_trips(text):
    assert Document.parse(text).as_toml() == text


@needs_implicit
def test_implicit_parent_of_parsed_header_made_explicit():
    doc = Document.parse("[a.b.c]\nx = 1\n")
    doc["a"].implicit = False
    # the parsed header keeps its recorded (empty) prefix
    assert doc.as_toml() == "[a]\n[a.b.c]\nx = 1\n"


def test_new_sub_table_follows_its_parent_not_the_end():
    doc = Document.parse("[x.y]\na = 1\n[z]\nb = 2\n[x]\nc = 3\n")
    doc["z"]["n"] = {"d": 4}
    assert doc.as_toml() == "[x.y]\na = 1\n[z]\nb = 2\n\n[z.n]\nd = 4\n[x]\nc = 3\n"


@needs_append
def test_new_array_member_follows_last_member():
    doc = Document.parse("[[a]]\nn = 1\n\n[[a]]\nn = 2\n\n[b]\nz = 0\n")
    doc["a"].append({"n": 3})
    assert doc.as_toml() == "[[a]]\nn = 1\n\n[[a]]\nn = 2\n\n[[a]]\nn = 3\n\n[b]\nz = 0\n"


def test_root_key_added_after_tables_renders_first():
    doc = Document.parse("[t]\nx = 1\n")
    doc["k"] = 1
    assert doc.as_toml() == "k = 1\n[t]\nx = 1\n"


def test_crlf_document_renders_with_lf_except_inside_multiline_strings():
    text = 'a = 1\r\n# c\r\nb = """x\r\ny"""\r\n'
    assert Document.parse(text).as_toml() == 'a = 1\n# c\nb = """x\r\ny"""\n'


def test_last_line_without_line_break_gets_one():
    assert Document.parse("[t]\na = 1").as_toml() == "[t]\na = 1\n"


def test_comment_above_key_stays_above_header_when_key_becomes_table():
    doc = Document.parse("v = 0\n# about x\nx = 1\n")
    doc["x"] = {"y": 2}
    lines = doc.as_toml().splitlines()
    assert lines[lines.index("# about x") + 1] == "[x]"
    assert tomllib.loads(doc.as_toml()) == {"v": 0, "x": {"y": 2}}


def test_replacing_value_keeps_spacing_and_comment():
    doc = Document.parse("port   =   8080  # main\n")
    doc["port"] = 9090.5
    assert doc.as_toml() == "port   =   9090.5  # main\n"


# ---- item rendering --------------------------------------------------------


@pytest.mark.parametrize(
    "text, key, expected",
    [
        ("x = 1  # c\n", "x", "1  # c"),
        ("x = 0xFF\n", "x", "0xFF"),
        ("[t]\na = 1\nb.c = 'q'\n[t.sub]\nz = 0\n", "t", "a = 1\nb.c = 'q'"),
        ("[[a]]\nn = 1\n[[a]]\nn = 2\n", "a", "[{ n = 1 }, { n = 2 }]"),
    ],
)
def test_item_as_toml(text, key, expected):
    assert Document.parse(text)[key].as_toml() == expected
