"""Bump the version of a project in its pyproject.toml.

    python examples/bump_version.py [path/to/pyproject.toml] [major|minor|patch]

With a path, the file is rewritten in place; without one, a built-in sample
is edited and printed. Only the version string changes: comments, spacing
and the quoting style of everything else stay as they were.
"""
import sys
from pathlib import Path

from quillon import Document

SAMPLE = """\
[project]
name = "demo"
version = "1.4.2"   # released 2026-11-30
description = 'Keeps "quotes" as written'

[tool.black]
line-length = 88
"""

PARTS = ("major", "minor", "patch")


def bumped(version: str, part: str) -> str:
    numbers = [int(n) for n in version.split(".")]
    numbers += [0] * (3 - len(numbers))
    at = PARTS.index(part)
    numbers[at] += 1
    numbers[at + 1:] = [0] * (2 - at)
    return ".".join(str(n) for n in numbers)


def bump_version(text: str, part: str = "patch") -> str:
    doc = Document.parse(text)
    project = doc["project"]
    old = project["version"].value
    if not isinstance(old, str):
        raise ValueError(f"project.version is not a string: {old!r}")
    # Assigning to an existing key keeps its place, spacing and comment.
    project["version"] = bumped(old, part)
    return doc.as_toml()


def main(argv: list[str]) -> None:
    part = argv[2] if len(argv) > 2 else "patch"
    if len(argv) > 1:
        path = Path(argv[1])
        path.write_text(bump_version(path.read_text(encoding="utf-8"), part), encoding="utf-8")
    else:
        print(bump_version(SAMPLE, part), end="")


if __name__ == "__main__":
    main(sys.argv)
