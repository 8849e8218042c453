"""Random comment writes and removals over documents full of comments. Every
comment line is unique, so after each edit we can tell which lines went: a
removal takes only lines from the removed entry's own text and never the
lines above it that a blank line separates from it; a comment write replaces
only the comment it writes. The text always reads back as the API shows it."""
import copy
import random
import re

import pytest

from quillon import DictItem, Document, ListItem

COMMENT_LINE = re.compile(r"#\s*c\d+")


class Source:
    """A random document whose comment lines are all different."""

    def __init__(self, rng):
        self.rng = rng
        self.count = 0

    def comment(self):
        self.count += 1
        return f"# c{self.count}"

    def above(self, indent=""):
        """Lines above an entry: maybe a group set apart by a blank line, maybe its own."""
        out = ""
        if self.rng.random() < 0.3:
            out += f"{indent}{self.comment()}\n\n"
        if self.rng.random() < 0.5:
            out += f"{indent}{self.comment()}\n"
        return out

    def after(self):
        return f"  {self.comment()}" if self.rng.random() < 0.4 else ""

    def scalar(self):
        return self.rng.choice(["1", "-2", "0x1F", "3.5", "true", '"s"', "'lit'", "1979-05-27", "07:32:00"])

    def array(self, depth):
        n = self.rng.randrange(4)
        if self.rng.random() < 0.5:
            return "[" + ", ".join(self.value(depth + 1, inline=True) for _ in range(n)) + "]"
        lines = ["["]
        for _ in range(n):
            lines.append(self.above("  ") + "  " + self.value(depth + 1, inline=True) + "," + self.after())
        return "\n".join(lines) + "\n]"

    def inline_table(self, depth):
        n = self.rng.randrange(4)
        if self.rng.random() < 0.5:
            return "{ " + ", ".join(f"i{k} = {self.value(depth + 1, inline=True)}" for k in range(n)) + " }"
        lines = ["{"]
        for k in range(n):
            sep = "," if k + 1 < n else ""
            lines.append(self.above("  ") + f"  i{k} = {self.value(depth + 1, inline=True)}{sep}{self.after()}")
        return "\n".join(lines) + "\n}"

    def value(self, depth, inline=False):
        roll = self.rng.random()
        if depth < 2 and roll < 0.2:
            return self.array(depth)
        if depth < 2 and roll < 0.35:
            return self.inline_table(depth)
        return self.scalar()

    def body(self, prefix):
        text = "".join(f"{self.above()}{prefix}{k} = {self.value(0)}{self.after()}\n"
                       for k in range(self.rng.randrange(4)))
        if self.rng.random() < 0.3:
            text += "".join(f"{self.above()}dot.{prefix}{k} = {self.scalar()}{self.after()}\n" for k in range(2))
        return text

    def document(self):
        text = self.body("k")
        for t in range(self.rng.randrange(4)):
            text += f"\n{self.above()}[t{t}]{self.after()}\n{self.body('k')}"
            if self.rng.random() < 0.4:
                text += f"\n{self.above()}[t{t}.sub]\n{self.body('s')}"
        if self.rng.random() < 0.3:
            text += f"\n{self.above()}[implicit.part]{self.after()}\n{self.body('p')}"
        for _ in range(self.rng.randrange(3)):
            text += f"\n{self.above()}[[aot]]{self.after()}\n{self.body('m')}"
            if self.rng.random() < 0.3:
                text += f"\n{self.above()}[aot.sub]\n{self.body('u')}"
        if self.rng.random() < 0.5:
            text += f"\n{self.comment()}\n"
        return text


def comment_lines(text):
    return set(COMMENT_LINE.findall(text or ""))


def references(doc):
    """Every table-like reference and every Item of the document."""
    items = []

    def visit(item):
        items.append(item)
        if isinstance(item, DictItem):
            for key in list(item):
                visit(item[key])
        elif isinstance(item, ListItem):
            for child in item:
                visit(child)

    for key in list(doc):
        visit(doc[key])
    return items


def region(item):
    """The comment lines an entry's removal may take: those of its own text."""
    lines = comment_lines(item.comment) | comment_lines(item.inline_comment) | comment_lines(item.as_toml())
    if isinstance(item, DictItem):
        for key in list(item):
            lines |= region(item[key])
    elif isinstance(item, ListItem):
        for child in item:
            lines |= region(child)
    return lines


def foreign(item):
    """Comment lines above the entry that a blank line separates from it."""
    text = item.comment or ""
    if "\n\n" not in text:
        return set()
    return comment_lines(text[: text.rindex("\n\n")])


def check(doc):
    text = doc.as_toml()
    reparsed = Document.parse(text)
    assert reparsed.value == doc.value, text
    assert reparsed.as_toml() == text
    # Unedited sections may be copied from the source: a copy, which has no
    # source text, renders every line afresh and must agree.
    assert copy.copy(doc).as_toml() == text


def write_comment(rng, source, item):
    """Writes a block or inline comment; returns the lines it may replace."""
    if rng.random() < 0.5:
        old = item.comment
        new = rng.choice([None, "", source.comment(), f"{source.comment()}\n\n{source.comment()}",
                          f"\n{source.comment()}", f"{source.comment()}\n"])
        item.comment = new
        got = item.comment
        if comment_lines(new) and got is not None:
            assert [line for line in got.split("\n") if line] == [line for line in new.split("\n") if line]
        if not comment_lines(new):
            assert not comment_lines(got) - comment_lines(old)
        return comment_lines(old)
    old = item.inline_comment
    new = rng.choice([None, source.comment(), f"{source.comment()} \tand more"])
    try:
        item.inline_comment = new
    except TypeError:
        return set()  # an array of tables has no line of its own
    if new is not None:
        assert item.inline_comment == new
    return comment_lines(old)


def remove(rng, doc, items):
    """Removes something; returns (lines it may take, lines that must stay)."""
    targets = [doc] + [i for i in items if isinstance(i, (DictItem, ListItem)) and len(i)]
    target = rng.choice(targets)
    if isinstance(target, ListItem):
        sections = repr(target).startswith("Item(array of tables,")
        if sections and rng.random() < 0.3:
            start = rng.randrange(len(target))
            gone = list(target)[start:start + 2]
            allowed = set().union(*(region(c) for c in gone))
            kept = set().union(*(foreign(c) for c in gone))
            del target[start:start + 2]
            return allowed, kept
        index = rng.randrange(len(target))
        child = target[index]
        allowed, kept = region(child), foreign(child)
        if not sections:
            kept = set()  # an element's lines follow the array's own upkeep
        if rng.random() < 0.5:
            del target[index]
        else:
            target.pop(index)
        return allowed, kept
    keys = list(target)
    if not keys:
        return set(), set()
    roll = rng.random()
    if roll < 0.1:
        children = [target[k] for k in keys]
        allowed = set().union(*(region(c) for c in children))
        kept = set().union(*(foreign(c) for c in children))
        target.clear()
        return allowed, kept
    key = keys[-1] if roll < 0.25 else rng.choice(keys)
    child = target[key]
    allowed, kept = region(child), foreign(child)
    if roll < 0.25:
        target.popitem()
    elif roll < 0.5:
        target.pop(key)
    elif roll < 0.6:
        target[key] = 7  # a value where a section may have been
    elif roll < 0.7:
        target.update({key: "v"})
    else:
        del target[key]
    return allowed, kept


def run(seed, steps):
    rng = random.Random(seed)
    source = Source(rng)
    doc = Document.parse(source.document())
    for _ in range(steps):
        check(doc)
        before = comment_lines(doc.as_toml())
        items = references(doc)
        if items and rng.random() < 0.6:
            allowed = write_comment(rng, source, rng.choice(items))
            kept = set()
            # A comment is no change of value: every reference stays usable.
            assert [item.value for item in items] == [item.value for item in references(doc)]
        else:
            allowed, kept = remove(rng, doc, items)
        after = comment_lines(doc.as_toml())
        assert before - after <= allowed, doc.as_toml()
        assert kept <= after, doc.as_toml()
        if not doc:
            doc = Document.parse(source.document())
    check(doc)


@pytest.mark.parametrize("seed", range(16))
def test_random_comment_edits_lose_no_comment_that_is_not_theirs(seed):
    run(seed, 120)
