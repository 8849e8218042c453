"""No reference leaks: representative operations, on their success and error
paths, run thousands of times without growing the reference counts of the
objects they touch, the number of live Python objects or the process's memory."""

import copy
import gc
import os
import sys

import pytest

from quillon import Document, Item, ListItem

SOURCE = """\
# a commented document
name = "app"  # the name
arr = [
  1, # one
  2,
  3,
]
inl = { a = 1, b = [1, 2] }

[t]
x = 1
key = "x"

[[bin]]
n = 1
"""


def expect_error(operation, *args):
    try:
        operation(*args)
    except (KeyError, TypeError, ValueError, IndexError, RuntimeError, OverflowError):
        pass
    else:
        raise AssertionError("no error")


def successes(doc, key, value, default, other):
    doc[key] = value
    doc[key].value
    doc.get(key)
    assert doc.get("missing", default) is default
    assert doc.get(1, default) is default
    item = doc[key]
    repr(item), str(item), len(item), list(item), bool(item)
    assert 2 in item
    item[0] = 5
    item[0:1] = [7, 8]
    del item[0]
    item[:]
    del item[::2]
    t = doc["t"]
    t[key] = value
    t[t["key"]]
    del t[key]
    t.comment = "# block"
    t.comment
    doc.setdefault(key, value)
    doc.pop(key)
    assert doc.pop("missing", default) is default
    doc.update({key: value}, extra=1)
    doc |= other
    (doc | other).as_toml()
    other | doc
    doc == other, doc != other, doc == {"x": 1}
    doc["name"].inline_comment = "# note"
    doc["name"].inline_comment
    doc["copy"] = doc["arr"][0]
    doc["copy"] = doc["t"]
    doc["arr"][0] = doc["inl"]["a"]
    Item.parse("0xFF").as_toml()
    copy.deepcopy(doc).as_toml()
    doc["inl"].fmt()
    doc.fmt()
    doc.popitem()
    doc.as_toml()


def failures(doc, key, value, default, other):
    stale = doc["arr"]
    doc["arr"] = [1, 2, 3]
    expect_error(lambda: stale.value)
    expect_error(lambda: doc["copy"].__setitem__(0, stale))
    expect_error(lambda: doc["missing"])
    expect_error(lambda: doc[default])
    expect_error(lambda: doc.__delitem__("missing"))
    expect_error(lambda: doc.__setitem__(key, None))
    expect_error(lambda: doc.__setitem__(key, [value, None]))
    expect_error(lambda: doc.__setitem__(default, value))
    expect_error(lambda: doc.__setitem__(key, 2**64))
    expect_error(lambda: doc.pop(key, 1, 2))
    expect_error(lambda: doc.pop(default))
    expect_error(lambda: doc.setdefault("new"))
    expect_error(lambda: doc.setdefault(key, default))
    expect_error(lambda: doc.update({1: 2}))
    expect_error(lambda: doc.update([(1, 2, 3)]))
    expect_error(lambda: doc.update({"a": 1}, b=None))
    expect_error(lambda: doc.get())
    expect_error(lambda: doc["t"].__setitem__(0, value))
    expect_error(lambda: doc["t"].__getitem__(default))
    expect_error(lambda: doc["arr"].__getitem__("x"))
    expect_error(lambda: doc["arr"].__setitem__(10, value))
    expect_error(lambda: doc["arr"].__setitem__(slice(None, None, 2), [1]))
    expect_error(lambda: doc["arr"].__delitem__(default))
    expect_error(lambda: doc["name"].clear())
    expect_error(lambda: len(doc["name"]))
    expect_error(lambda: setattr(doc["name"], "inline_comment", "bad"))
    expect_error(lambda: setattr(doc["name"], "comment", default))
    expect_error(lambda: Item.parse("a = 1"))
    expect_error(lambda: ListItem.parse("1"))
    expect_error(lambda: doc | 5)


class Sentinel:
    pass


def run_round(n):
    key = "".join(["f", "i", "e", "l", "d"])
    value = [1, 2, 3]
    default = Sentinel()
    other = Document.parse("extra = 2\n[t]\nx = 3\n")
    watched = [key, value, default, other]
    base = [sys.getrefcount(obj) for obj in watched]
    for _ in range(n):
        doc = Document.parse(SOURCE)
        doc_base = sys.getrefcount(doc)
        successes(doc, key, value, default, other)
        failures(doc, key, value, default, other)
        assert sys.getrefcount(doc) == doc_base
        del doc
    return [sys.getrefcount(obj) for obj in watched], base


def resident_bytes():
    with open("/proc/self/statm") as f:
        pages = int(f.read().split()[1])
    return pages * os.sysconf("SC_PAGE_SIZE")


def test_reference_counts_of_arguments_are_unchanged():
    after, before = run_round(50)
    assert after == before


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="needs /proc")
def test_objects_and_memory_stay_flat():
    run_round(300)  # warm caches, interned strings and allocator pools
    gc.collect()
    objects_before = len(gc.get_objects())
    memory_before = resident_bytes()
    run_round(3000)
    gc.collect()
    objects_after = len(gc.get_objects())
    memory_after = resident_bytes()
    assert objects_after - objects_before < 100
    # A leaked document or model copy per round would add tens of megabytes.
    assert memory_after - memory_before < 4 * 1024 * 1024
