"""The benchmark's document generator and the harness helpers that use its output.

The generated file must be valid TOML 1.0 so that every peer can read it,
must be the same on every run, and must actually contain the constructs it
is meant to exercise.
"""

import datetime
import importlib.util
import math
import re
import sys
from pathlib import Path

import pytest

from quillon import Document

tomllib = pytest.importorskip("tomllib")

BENCH_DIR = Path(__file__).resolve().parent.parent / "bench"


def load(name, module_name):
    spec = importlib.util.spec_from_file_location(module_name, BENCH_DIR / f"{name}.py")
    module = importlib.util.module_from_spec(spec)
    sys.modules[spec.name] = module  # dataclasses look their module up while the class is built
    spec.loader.exec_module(module)
    return module


generate = load("generate", "bench_generate")
edits = load("bench_edits", "bench_edits")
timing = load("bench_timing", "bench_timing")

SAMPLE_SIZE = 300_000


@pytest.fixture(scope="module")
def sample():
    text = generate.generate(SAMPLE_SIZE, generate.DEFAULT_SEED)
    return text, tomllib.loads(text)


def leaves(node):
    if isinstance(node, dict):
        for value in node.values():
            yield from leaves(value)
    elif isinstance(node, list):
        yield node
        for value in node:
            yield from leaves(value)
    else:
        yield node


def test_sample_reads_as_the_standard_library_reads_it_and_renders_stably(sample):
    text, plain = sample
    # repr: nan is not equal to itself.
    assert repr(Document.parse(text).value) == repr(plain)
    # Rendering regroups interleaved dotted keys of inline tables, once.
    once = Document.parse(text).as_toml()
    assert Document.parse(once).as_toml() == once
    assert repr(Document.parse(once).value) == repr(plain)


@pytest.mark.parametrize("seed", [generate.DEFAULT_SEED, 0, 7])
def test_same_seed_gives_same_text(seed):
    assert generate.generate(50_000, seed) == generate.generate(50_000, seed)


def test_different_seeds_give_different_text():
    assert generate.generate(50_000, 1) != generate.generate(50_000, 2)


@pytest.mark.parametrize("seed", [generate.DEFAULT_SEED, 1, 2, 3, 4])
def test_output_is_valid_toml(seed):
    tomllib.loads(generate.generate(SAMPLE_SIZE, seed))


@pytest.mark.parametrize("size", [1, 10_000, 120_000])
def test_output_reaches_the_requested_size_and_stops_soon_after(size):
    n = len(generate.generate(size, 5).encode("utf-8"))
    assert size <= n < size + 10_000


def test_default_document_is_about_five_megabytes():
    text = generate.generate()
    assert 5_000_000 <= len(text.encode("utf-8")) < 5_010_000
    assert text.endswith("\n")


def _any_leaf(predicate):
    return lambda text, value: any(predicate(x) for x in leaves(value))


def _text_matches(pattern):
    return lambda text, value: re.search(pattern, text, re.MULTILINE) is not None


FEATURES = {
    "offset date-time": _any_leaf(lambda x: isinstance(x, datetime.datetime) and x.tzinfo is not None),
    "local date-time": _any_leaf(lambda x: isinstance(x, datetime.datetime) and x.tzinfo is None),
    "local date": _any_leaf(lambda x: type(x) is datetime.date),
    "local time": _any_leaf(lambda x: isinstance(x, datetime.time)),
    "infinity": _any_leaf(lambda x: isinstance(x, float) and math.isinf(x)),
    "nan": _any_leaf(lambda x: isinstance(x, float) and math.isnan(x)),
    "exponent float": _text_matches(r"[= ,\[]-?\d+(\.\d+)?[eE][+-]?\d+"),
    "hexadecimal integer": _text_matches(r"[= ,\[]0x[0-9A-Fa-f_]+"),
    "octal integer": _text_matches(r"[= ,\[]0o[0-7]+"),
    "binary integer": _text_matches(r"[= ,\[]0b[01]+"),
    "underscored integer": _text_matches(r"[= ,\[]\d{1,3}(_\d{3})+\b"),
    "escaped non-BMP character": _any_leaf(lambda x: isinstance(x, str) and "\U0001F600" in x),
    "escaped quote": _any_leaf(lambda x: isinstance(x, str) and '"' in x),
    "non-ASCII text": lambda text, value: any(ord(c) > 127 for c in text),
    "multi-line basic string": _text_matches(r'= """$'),
    "line-ending backslash": _text_matches(r"\\$"),
    "multi-line literal string": _text_matches(r"= '''$"),
    "literal string": _text_matches(r"= 'C:\\"),
    "quoted key": _text_matches(r'^"[^"]+" = '),
    "dotted key": _text_matches(r"^group_\d\.\w+ = "),
    "inline table": _text_matches(r"= \{ \w"),
    "nested array": _any_leaf(lambda x: isinstance(x, list) and any(isinstance(e, list) for e in x)),
    "multi-line array with comment": _text_matches(r"^    # .*\n    \S"),
    "array of tables": _text_matches(r"^\[\[[\w.]+\]\]$"),
    "sub-table header": _text_matches(r"^\[section_\d+\.nested\.\w+\]$"),
    "comment line": _text_matches(r"^# "),
    "end-of-line comment": _text_matches(r"\S  # "),
    "blank line": _text_matches(r"^$"),
}


@pytest.mark.parametrize("feature", sorted(FEATURES))
def test_output_contains(sample, feature):
    text, value = sample
    assert FEATURES[feature](text, value)


def test_command_line_writes_the_generated_text(tmp_path):
    out = tmp_path / "nested" / "doc.toml"
    assert generate.main(["-o", str(out), "--size", "20000", "--seed", "9"]) == 0
    assert out.read_bytes() == generate.generate(20_000, 9).encode("utf-8")


def test_small_input_is_valid_toml():
    value = tomllib.loads((BENCH_DIR / "inputs" / "pyproject_small.toml").read_text(encoding="utf-8"))
    assert value["project"]["name"] == "inkwell"


# ----- the harness's edit selection over generated documents -----------------


def follow(node, path):
    for step in path:
        node = node[step]
    return node


@pytest.mark.parametrize("seed", [generate.DEFAULT_SEED, 3])
def test_edits_are_ten_distinct_existing_scalars(seed):
    plain = tomllib.loads(generate.generate(100_000, seed))
    chosen = edits.pick_edits(plain)
    assert len(chosen) == 10
    assert len({path for path, _ in chosen}) == 10
    for path, new in chosen:
        old = follow(plain, path)
        assert type(old) is type(new)
        assert old != new


def test_edits_reach_into_arrays_of_tables_by_index():
    plain = {"a": [{"x": 1}, {"x": 2}], "b": [1, 2], "c": {"d": "s"}, "e": float("nan")}
    paths = [path for path, _ in edits.scalar_paths(plain)]
    assert paths == [("a", 0, "x"), ("a", 1, "x"), ("c", "d")]


def test_edits_spread_evenly_when_there_are_more_candidates():
    plain = {f"k{i}": i for i in range(100)}
    assert [path for path, _ in edits.pick_edits(plain)] == [(f"k{i}",) for i in range(5, 100, 10)]


@pytest.mark.parametrize("value, expected", [
    (True, False),
    (41, 42),
    (2**63 - 1, 2**63 - 2),
    (1.5, 2.0),
    ("name", "name-edited"),
])
def test_edited_value(value, expected):
    assert edits.edited_value(value) == expected


def test_added_table_key_avoids_existing_keys():
    assert edits.added_table_key({"bench_added": 1, "bench_added_1": 2}) == "bench_added_2"


def test_expected_after_edit_applies_edits_and_keeps_the_original():
    plain = {"t": [{"x": 1}], "s": "a"}
    result = edits.expected_after_edit(plain, edits.pick_edits(plain), "new")
    assert result == {"t": [{"x": 2}], "s": "a-edited", "new": edits.ADDED_TABLE}
    assert plain == {"t": [{"x": 1}], "s": "a"}


@pytest.mark.parametrize("a, b, equal", [
    ({"x": float("nan")}, {"x": float("nan")}, True),
    ({"x": 1}, {"x": 1.0}, False),
    ({"x": 1}, {"x": True}, False),
    ({"a": 1, "b": 2}, {"b": 2, "a": 1}, False),
    ([1, [2]], [1, [2]], True),
    ([1], [1, 2], False),
])
def test_same_value_is_strict_about_types_and_order(a, b, equal):
    assert edits.same_value(a, b) is equal


def test_same_content_ignores_key_order_only():
    assert edits.same_content({"a": 1, "b": [2]}, {"b": [2], "a": 1})
    assert not edits.same_content({"a": 1}, {"a": 1.0})


@pytest.mark.parametrize("first, target, min_runs, expected", [
    (2.0, 0.5, 3, (1, 3)),       # slow call: the minimum number of runs
    (0.01, 0.5, 3, (1, 50)),     # enough runs to fill the time budget
    (1e-5, 0.5, 3, (100, 200)),  # fast call: batched, samples capped
    (0.3, 0.1, 1, (1, 1)),       # quick mode allows a single run
])
def test_plan_repeats(first, target, min_runs, expected):
    assert timing.plan_repeats(first, target, min_runs) == expected


def test_first_difference_locates_the_change():
    assert edits.first_difference("a = 1\nb = 2\n", "a = 1\nb = 2\n") == "byte-exact"
    assert "line 2" in edits.first_difference("a = 1\nb = 2\n", "a = 1\nb = 3\n")
