"""A ScalarItem stands in for its plain value: every operation gives what the
same operation gives on `item.value`, result or exception alike."""
import datetime as dt
import operator
import random

import pytest

from quillon import Document, ScalarItem

SOURCE = """\
port = 8080
neg = -3
zero = 0
pi = 3.14159
half = 0.5
name = "x"
version = "1.2.3"
digits = "12"
empty = ""
yes = true
day = 2024-01-02
stamp = 1979-05-27T07:32:00Z
clock = 07:32:00
"""

KEYS = ["port", "neg", "zero", "pi", "half", "name", "version", "digits", "empty", "yes", "day", "stamp", "clock"]
OTHERS = [0, 1, 7, -2, 2.5, "ab", "x", True, dt.date(2024, 1, 2)]

BINARY = [operator.add, operator.sub, operator.mul, operator.truediv, operator.floordiv, operator.mod, pow,
          operator.lt, operator.le, operator.gt, operator.ge]
ORDERINGS = [operator.lt, operator.le, operator.gt, operator.ge]
UNARY = [operator.neg, operator.pos, abs, operator.invert, operator.index, int, float, hash, bool,
         lambda v: format(v, ""), lambda v: format(v, ">12"), lambda v: format(v, ".2f")]


def outcome(f, *args):
    """Result, or the exception's type and text."""
    try:
        return "ok", f(*args)
    except Exception as e:  # noqa: BLE001 - the exception is the outcome compared
        return type(e), str(e)


@pytest.fixture(scope="module")
def doc():
    return Document.parse(SOURCE)


# ~ on a bool warns on 3.12+, for the Item exactly as for its value.
@pytest.mark.filterwarnings("ignore:Bitwise inversion:DeprecationWarning")
@pytest.mark.parametrize("key", KEYS)
def test_operations_match_the_plain_value(doc, key):
    item, plain = doc[key], doc[key].value
    assert isinstance(item, ScalarItem)
    for f in UNARY:
        assert outcome(f, item) == outcome(f, plain)
    for f in BINARY:
        for other in OTHERS:
            assert outcome(f, item, other) == outcome(f, plain, other)
            if f is operator.mod and isinstance(other, str):
                continue  # str % x: the interpreter's own formatting takes an Item for a mapping
            reflected, expected = outcome(f, other, item), outcome(f, other, plain)
            if f in ORDERINGS:
                # The interpreter asks the Item with the operands swapped, so
                # its message names them in that order.
                reflected, expected = reflected[0], expected[0]
            assert reflected == expected
    # Equality is by TOML content (true is not 1), and != is its negation.
    assert item == plain and not item != plain
    assert (item == 1) == (type(plain) is type(1) and plain == 1)
    for needle in ["1", "", "x", 1]:
        assert outcome(operator.contains, item, needle) == outcome(operator.contains, plain, needle)


def test_two_items_meet_as_their_values():
    doc = Document.parse(SOURCE)
    rng = random.Random(7)
    for _ in range(300):
        a, b = rng.choice(KEYS), rng.choice(KEYS)
        f = rng.choice(BINARY + [lambda x, y: pow(x, y, 5)])
        if f is operator.mod and isinstance(doc[a].value, str):
            continue  # str formatting, as above
        got, expected = outcome(f, doc[a], doc[b]), outcome(f, doc[a].value, doc[b].value)
        if f in ORDERINGS:
            got, expected = got[0], expected[0]
        assert got == expected
    # A modulus that is an Item counts as its value too.
    assert pow(doc["port"], 2, doc["neg"]) == pow(8080, 2, -3)
    # An Item on the right of `in` is looked for as its value.
    assert doc["name"] in Document.parse('s = "xyz"')["s"]


def test_in_place_forms_rebind_to_plain_results_and_leave_the_document_alone():
    doc = Document.parse("n = 8080\ns = 'ab'\n")
    n, s = doc["n"], doc["s"]
    n += 1
    s *= 2
    assert (n, type(n), s, type(s)) == (8081, int, "abab", str)
    assert doc.as_toml() == "n = 8080\ns = 'ab'\n"


def test_attributes_come_from_the_value(doc):
    assert doc["name"].upper() == "X"
    assert doc["version"].split(".") == ["1", "2", "3"]
    assert doc["day"].year == 2024
    assert doc["stamp"].tzinfo == dt.timezone.utc
    # The Item's own members win over the value's.
    assert doc["name"].value == "x" and callable(doc["name"].as_toml)
    for key, type_name in [("port", "int"), ("name", "str"), ("day", "date"), ("stamp", "datetime")]:
        with pytest.raises(AttributeError) as info:
            doc[key].nope
        assert str(info.value) == f"'ScalarItem' wrapping {type_name} has no attribute 'nope'"
    assert not hasattr(doc["port"], "keys")


def test_format_method_takes_a_str_spec(doc):
    assert f"{doc['version']:>8}" == "   1.2.3"
    assert doc["pi"].__format__(spec=".1f") == "3.1"
    with pytest.raises(TypeError, match=r"^argument 'spec': "):
        doc["pi"].__format__(2)
    with pytest.raises(TypeError, match=r"^ScalarItem\.__format__\(\) missing 1 required positional argument: 'spec'$"):
        doc["pi"].__format__()


def test_items_serve_as_dict_keys_wherever_their_value_could():
    src = Document.parse('a = "alpha"\nb = "beta"\nc = "gamma"\nn = 1\n')
    assert hash(src["a"]) == hash("alpha") and hash(src["n"]) == hash(1)
    assert {src["a"]: 1}["alpha"] == 1 and src["n"] in {1: "one"}
    doc = Document({src["a"]: 1})
    doc.update({src["b"]: 2})
    merged = doc | {src["c"]: 3}
    assert merged.value == {"alpha": 1, "beta": 2, "gamma": 3}
    assert doc.value == {"alpha": 1, "beta": 2}
    table = Document.parse("[t]\nk = 1\n")["t"]
    table.update({src["a"]: 2})
    assert (table | {src["b"]: 3}).value == {"k": 1, "alpha": 2, "beta": 3}


def test_stale_items_refuse_every_operation():
    doc = Document.parse("port = 8080\nname = 'x'\n")
    port, name = doc["port"], doc["name"]
    doc["port"] = 9
    doc["name"] = "y"
    stale = "^stale: the document has been modified since this reference was created$"
    for f in [lambda: port + 1, lambda: 1 + port, lambda: -port, lambda: int(port), lambda: hash(port),
              lambda: port < 3, lambda: port == 9, lambda: format(port, ""), lambda: name.upper,
              lambda: "x" in name, lambda: pow(2, port, 5), lambda: [0][port]]:
        with pytest.raises(RuntimeError, match=stale):
            f()
    assert doc.as_toml() == "port = 9\nname = \"y\"\n"
