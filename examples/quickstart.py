"""Parse a TOML document, read a few values, and write it back unchanged."""
from quillon import Document

TEXT = """\
# Service configuration
title = "quillon demo"   # shown in the banner

[server]
host = "localhost"
port = 0x1F90            # 8080, written in hex
started = 1979-05-27T07:32:00Z

[[users]]
name = "ada"
roles = ["admin", "ops"]

[[users]]
name = "linus"
roles = []
"""

doc = Document.parse(TEXT)
config = doc.value  # a plain dict, independent of the document

print("title:", config["title"])
print("server:", config["server"]["host"], config["server"]["port"])
print("started:", config["server"]["started"].isoformat())
print("users:", [user["name"] for user in config["users"]])
print(repr(doc))

rendered = doc.as_toml()
assert rendered == TEXT, "round trip changed the text"
print("round trip unchanged:")
print(rendered, end="")
