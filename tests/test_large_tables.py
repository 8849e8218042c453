"""Random mapping edits on tables large enough to be looked up through the key
index, mirrored on a plain dict: after every edit the document shows the
dict's keys in the dict's order, and its text is exactly the lines of the
dict (removed lines gone, kept ones in place, new ones at the end)."""

import copy
import random

import pytest

from quillon import Document


def lines(mirror):
    return "".join(f"{k} = {v}\n" for k, v in mirror.items())


LAYOUTS = {
    # layout: (text of the document around the table's lines, the table in the document)
    "root": (lambda body: body, lambda doc: doc),
    "table": (lambda body: f"[t]\n{body}\n[after]\nx = 1\n", lambda doc: doc["t"]),
}


def edit(rng, table, mirror, next_key):
    keys = list(mirror)
    op = rng.randrange(9)
    if op == 0 and keys:
        key = rng.choice(keys)
        del table[key]
        del mirror[key]
    elif op == 1 and keys:
        key = keys[rng.randrange(min(3, len(keys)))]  # near the front, where removals leave gaps
        assert table.pop(key) == mirror.pop(key)
    elif op == 2 and keys:
        assert table.popitem() == mirror.popitem()
    elif op == 3 and keys:
        key = rng.choice(keys)
        table[key] = mirror[key] = rng.randrange(1000)
    elif op == 4:
        # A key that was there before comes back at the end.
        key = f"k{rng.randrange(next_key)}"
        if key not in mirror:
            table[key] = mirror[key] = rng.randrange(1000)
    elif op == 5:
        key = f"k{rng.randrange(next_key + 5)}"
        assert (key in table) == (key in mirror)
        got = table.get(key)
        assert got is None if key not in mirror else got == mirror[key]
    elif op == 6:
        table.pop("absent", None)
        with pytest.raises(KeyError):
            del table["absent"]
    else:
        for _ in range(rng.randrange(1, 12)):
            if not mirror:
                break
            key = next(iter(mirror)) if rng.random() < 0.5 else next(reversed(mirror))
            del table[key]
            del mirror[key]


@pytest.mark.parametrize("layout", sorted(LAYOUTS))
@pytest.mark.parametrize("seed", range(4))
def test_random_mapping_edits_on_large_tables(layout, seed):
    rng = random.Random(seed)
    wrap, reach = LAYOUTS[layout]
    size = rng.choice([20, 60, 200])
    mirror = {f"k{i}": i for i in range(size)}
    doc = Document.parse(wrap(lines(mirror)))
    for step in range(300):
        edit(rng, reach(doc), mirror, size)
        table = reach(doc)
        assert len(table) == len(mirror)
        assert list(table) == list(mirror)
        assert bool(table) == bool(mirror)
        text = doc.as_toml()
        assert text == wrap(lines(mirror))
        if step % 50 == 0:
            # A copy drops the gaps that removals left; it reads and edits alike.
            doc = copy.copy(doc)
            assert doc.as_toml() == text
        if len(mirror) < 5:
            mirror.update((f"k{i}", i) for i in range(size, size + 30))
            for key in list(mirror)[-30:]:
                reach(doc)[key] = mirror[key]
            size += 30
    assert Document.parse(doc.as_toml()).value == doc.value


def inline_lines(mirror, trailing_comma):
    # One entry a line, each with its own comment after the comma.
    keys = list(mirror)
    return "".join(
        f"  {k} = {mirror[k]}{',' if trailing_comma or k != keys[-1] else ''}  # {k}\n" for k in keys
    )


@pytest.mark.parametrize("trailing_comma", [False, True])
@pytest.mark.parametrize("seed", range(3))
def test_removals_from_a_large_inline_table_keep_each_comment_on_its_entry(trailing_comma, seed):
    rng = random.Random(seed)
    mirror = {f"k{i}": i for i in range(rng.choice([20, 60, 200]))}

    def text():
        return "t = {\n" + inline_lines(mirror, trailing_comma) + "}\n"

    doc = Document.parse(text())
    while len(mirror) > 1:
        table, keys = doc["t"], list(mirror)
        op = rng.randrange(5)
        if op == 0:
            key = rng.choice(keys)
            del table[key]
            del mirror[key]
        elif op == 1:
            key = keys[rng.randrange(min(3, len(keys)))]
            assert table.pop(key) == mirror.pop(key)
        elif op == 2:
            assert table.popitem() == mirror.popitem()
        elif op == 3:
            key = rng.choice(keys)
            table[key] = mirror[key] = rng.randrange(1000)
        else:
            for _ in range(min(rng.randrange(1, 12), len(mirror) - 1)):
                key = next(iter(mirror)) if rng.random() < 0.5 else next(reversed(mirror))
                del table[key]
                del mirror[key]
        assert list(doc["t"]) == list(mirror)
        assert doc.as_toml() == text()
