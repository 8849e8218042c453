"""Writes a seed corpus for the fuzzer: the TOML-looking string literals of
the test suite, one file each.

    python fuzz/make_seeds.py OUT_DIR
"""

import ast
import hashlib
import pathlib
import sys

TESTS = pathlib.Path(__file__).resolve().parent.parent / "tests"


def literals(tree):
    for node in ast.walk(tree):
        if isinstance(node, ast.Constant) and isinstance(node.value, str):
            yield node.value


def looks_like_toml(text):
    return 0 < len(text) <= 4096 and ("=" in text or "[" in text)


def main():
    out = pathlib.Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for path in sorted(TESTS.glob("test_*.py")):
        for text in literals(ast.parse(path.read_text(encoding="utf-8"))):
            if looks_like_toml(text):
                data = text.encode("utf-8", "surrogatepass")
                (out / hashlib.sha1(data).hexdigest()).write_bytes(data)
                count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()
