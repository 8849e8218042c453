"""Deterministic generator of a large TOML 1.0 document for benchmarking.

The output mixes everything a real configuration or lock file contains:
comment lines and end-of-line comments, blank lines, basic and literal
strings with escapes and non-ASCII text, multi-line strings, integers in
decimal, hexadecimal, octal and binary notation, floats (including exponents
and the special values), the four kinds of date-time, inline tables, nested
arrays, multi-line arrays with comments, standard tables, dotted keys and
arrays of tables.

Only TOML 1.0 syntax is emitted so that every reader can load the file.
The same seed and size always give the same text, byte for byte.

Usage: python bench/generate.py [-o PATH] [--size BYTES] [--seed N]
"""

from __future__ import annotations

import argparse
import random
import sys
from pathlib import Path

DEFAULT_SIZE = 5_000_000
DEFAULT_SEED = 20240611
# Bump when the output changes, so that cached copies are regenerated.
GENERATOR_VERSION = 1

WORDS = (
    "alpha", "beta", "gamma", "delta", "epsilon", "zeta", "theta", "kappa",
    "lambda", "sigma", "omega", "server", "client", "cache", "index", "token",
    "render", "buffer", "socket", "module", "feature", "target", "profile",
    "release", "debug", "worker", "thread", "queue", "limit", "timeout",
)
UNICODE_WORDS = ("café", "naïve", "Zürich", "日本語", "Ελληνικά", "emoji 🚀", "привет", "façade")
STRING_ESCAPES = ("\\n", "\\t", "\\\\", '\\"', "\\u00e9", "\\U0001F600", "\\r", "\\b", "\\f")
COMMENT_TEXTS = (
    "keep this in sync with the deployment",
    "TODO: revisit once the new backend lands",
    "values below are tuned for production",
    "do not edit by hand",
    "see the changelog for details",
    "légère modification — ünïcode in comments",
)


class _Writer:
    """Builds one section at a time from a seeded random source."""

    def __init__(self, rng: random.Random) -> None:
        self.rng = rng

    # ----- small pieces -------------------------------------------------

    def word(self) -> str:
        return self.rng.choice(WORDS)

    def comment(self) -> str:
        return "# " + self.rng.choice(COMMENT_TEXTS)

    def bare_key(self, n: int) -> str:
        return f"{self.word()}_{n}"

    def key(self, n: int) -> str:
        r = self.rng.random()
        if r < 0.8:
            return self.bare_key(n)
        if r < 0.9:
            return f'"{self.word()} key {n}"'
        return f"'{self.word()}.literal.{n}'"

    def basic_string(self) -> str:
        parts = []
        for _ in range(self.rng.randrange(1, 5)):
            r = self.rng.random()
            if r < 0.55:
                parts.append(self.word())
            elif r < 0.8:
                parts.append(self.rng.choice(STRING_ESCAPES))
            else:
                parts.append(self.rng.choice(UNICODE_WORDS))
        return '"' + " ".join(parts) + '"'

    def literal_string(self) -> str:
        return "'C:\\Users\\" + self.word() + "\\" + self.word() + "\\*.toml'"

    def multiline_basic(self) -> str:
        lines = [" ".join(self.word() for _ in range(self.rng.randrange(3, 9))) for _ in range(self.rng.randrange(2, 5))]
        body = "\n".join(lines)
        if self.rng.random() < 0.5:
            # Line-ending backslash joins the next line without a newline.
            body += " \\\n    " + self.word() + ' with "quotes" and \\t tab'
        return '"""\n' + body + '"""'

    def multiline_literal(self) -> str:
        lines = ["raw \\d+ " + self.word() + " 'single' ok" for _ in range(self.rng.randrange(2, 4))]
        return "'''\n" + "\n".join(lines) + "\n'''"

    def integer(self) -> str:
        r = self.rng.random()
        n = self.rng.randrange(0, 1 << 31)
        if r < 0.4:
            return str(n % 100_000)
        if r < 0.55:
            return f"{n:_}"
        if r < 0.65:
            return "-" + str(n % 10_000)
        if r < 0.7:
            return "+" + str(n % 10_000)
        if r < 0.8:
            return f"0x{n:X}" if self.rng.random() < 0.5 else f"0xdead_{n & 0xFFFF:04x}"
        if r < 0.9:
            return f"0o{n:o}"
        return f"0b{n & 0xFFFF:b}"

    def float_(self) -> str:
        r = self.rng.random()
        x = self.rng.random() * 1000.0
        if r < 0.4:
            return repr(round(x, 3)) if round(x, 3) != int(round(x, 3)) else f"{int(x)}.5"
        if r < 0.55:
            return f"{x:.3e}"
        if r < 0.65:
            return f"-{x:.2f}"
        if r < 0.75:
            return f"1_000.{self.rng.randrange(0, 1000):03d}"
        if r < 0.85:
            return f"{self.rng.randrange(1, 9)}E+{self.rng.randrange(1, 30)}"
        return self.rng.choice(("inf", "+inf", "-inf", "nan", "+nan", "-0.0", "6.626e-34"))

    def date(self) -> str:
        return f"{self.rng.randrange(1970, 2100):04d}-{self.rng.randrange(1, 13):02d}-{self.rng.randrange(1, 29):02d}"

    def time(self, fraction: bool) -> str:
        t = f"{self.rng.randrange(24):02d}:{self.rng.randrange(60):02d}:{self.rng.randrange(60):02d}"
        if fraction:
            t += "." + str(self.rng.randrange(1, 1_000_000)).rjust(6, "0")
        return t

    def datetime(self) -> str:
        kind = self.rng.randrange(4)
        fraction = self.rng.random() < 0.3
        if kind == 0:
            offset = self.rng.choice(("Z", "z", "+01:00", "-07:30", "+05:45"))
            sep = self.rng.choice(("T", "t", " "))
            return self.date() + sep + self.time(fraction) + offset
        if kind == 1:
            return self.date() + "T" + self.time(fraction)
        if kind == 2:
            return self.date()
        return self.time(fraction)

    def scalar(self) -> str:
        r = self.rng.random()
        if r < 0.3:
            return self.basic_string()
        if r < 0.38:
            return self.literal_string()
        if r < 0.6:
            return self.integer()
        if r < 0.75:
            return self.float_()
        if r < 0.85:
            return self.rng.choice(("true", "false"))
        return self.datetime()

    def inline_array(self, depth: int = 0) -> str:
        if depth < 2 and self.rng.random() < 0.3:
            items = [self.inline_array(depth + 1) for _ in range(self.rng.randrange(1, 4))]
        else:
            make = self.rng.choice((self.integer, self.basic_string, self.float_, self.datetime))
            items = [make() for _ in range(self.rng.randrange(0, 6))]
        return "[" + ", ".join(items) + "]"

    def inline_table(self, depth: int = 0) -> str:
        entries = []
        for i in range(self.rng.randrange(0, 5)):
            r = self.rng.random()
            if depth < 2 and r < 0.15:
                value = self.inline_table(depth + 1)
            elif r < 0.3:
                value = self.inline_array(depth + 1)
            else:
                value = self.scalar()
            key = f"sub.{self.bare_key(i)}" if self.rng.random() < 0.15 else self.bare_key(i)
            entries.append(f"{key} = {value}")
        if not entries:
            return "{}"
        return "{ " + ", ".join(entries) + " }"

    def multiline_array(self) -> list[str]:
        lines = ["["]
        count = self.rng.randrange(2, 8)
        for i in range(count):
            if self.rng.random() < 0.25:
                lines.append("    " + self.comment())
            value = self.inline_table(1) if self.rng.random() < 0.3 else self.scalar()
            comma = "," if i < count - 1 or self.rng.random() < 0.5 else ""
            tail = "  " + self.comment() if self.rng.random() < 0.2 else ""
            lines.append(f"    {value}{comma}{tail}")
        lines.append("]")
        return lines

    # ----- entries and sections -------------------------------------------

    def value_lines(self) -> list[str]:
        """One value, possibly spanning several lines."""
        r = self.rng.random()
        if r < 0.55:
            return [self.scalar()]
        if r < 0.65:
            return [self.inline_array()]
        if r < 0.75:
            return [self.inline_table()]
        if r < 0.85:
            return self.multiline_array()
        if r < 0.93:
            return self.multiline_basic().split("\n")
        return self.multiline_literal().split("\n")

    def entry(self, key: str) -> list[str]:
        lines = []
        if self.rng.random() < 0.15:
            lines.append(self.comment())
        value = self.value_lines()
        lines.append(f"{key} = {value[0]}")
        lines.extend(value[1:])
        if self.rng.random() < 0.15:
            lines[-1] += "  " + self.comment()
        if self.rng.random() < 0.1:
            lines.append("")
        return lines

    def entries(self, count: int, dotted: bool) -> list[str]:
        lines = []
        groups: dict[str, int] = {}
        for i in range(count):
            if dotted and self.rng.random() < 0.25:
                # Dotted keys sharing a prefix build a sub-table implicitly;
                # the prefix is never reused as a plain key in this table.
                group = f"group_{self.rng.randrange(3)}"
                n = groups.get(group, 0)
                groups[group] = n + 1
                key = f"{group}.{self.bare_key(n)}"
            else:
                key = self.key(i)
            lines.extend(self.entry(key))
        return lines

    def section(self, index: int) -> list[str]:
        name = f"section_{index:06d}"
        lines = [f"# ---- {name}: {self.word()} settings ----", f"[{name}]"]
        lines.extend(self.entries(self.rng.randrange(3, 10), dotted=True))
        lines.append("")
        r = self.rng.random()
        if r < 0.35:
            for n in range(self.rng.randrange(1, 4)):
                if self.rng.random() < 0.3:
                    lines.append(self.comment())
                lines.append(f"[[{name}.items]]")
                lines.extend(self.entries(self.rng.randrange(2, 6), dotted=False))
                lines.append("")
        elif r < 0.6:
            lines.append(f"[{name}.nested.{self.word()}_{index}]")
            lines.extend(self.entries(self.rng.randrange(2, 6), dotted=True))
            lines.append("")
        elif r < 0.75:
            # Package-lock-like record.
            lines.append(f"[[{name}.package]]")
            lines.append(f'name = "{self.word()}-{index}"')
            lines.append(f'version = "{self.rng.randrange(10)}.{self.rng.randrange(30)}.{self.rng.randrange(100)}"')
            lines.append('source = "registry+https://example.invalid/index"')
            lines.append(f'checksum = "{self.rng.getrandbits(256):064x}"')
            lines.append("dependencies = [")
            for _ in range(self.rng.randrange(1, 5)):
                lines.append(f' "{self.word()}-{self.rng.randrange(1000)}",')
            lines.append("]")
            lines.append("")
        if self.rng.random() < 0.2:
            lines.append("")
        return lines


def generate(size: int = DEFAULT_SIZE, seed: int = DEFAULT_SEED) -> str:
    """Return a TOML document of at least `size` UTF-8 bytes (one section more at most)."""
    w = _Writer(random.Random(seed))
    out = [
        f"# Generated benchmark document (generator v{GENERATOR_VERSION}, seed {seed}, size {size}).",
        "",
        'title = "quillon benchmark document"',
        "version = 1",
        f"generated = {w.date()}T{w.time(False)}Z",
        "",
    ]
    total = sum(len(line.encode()) + 1 for line in out)
    index = 0
    while total < size:
        for line in w.section(index):
            out.append(line)
            total += len(line.encode()) + 1
        index += 1
    return "\n".join(out) + "\n"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", type=Path, help="write here instead of standard output")
    parser.add_argument("--size", type=int, default=DEFAULT_SIZE, help="target size in bytes")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    args = parser.parse_args(argv)
    text = generate(args.size, args.seed)
    if args.output is None:
        sys.stdout.write(text)
    else:
        args.output.parent.mkdir(parents=True, exist_ok=True)
        args.output.write_bytes(text.encode())
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
