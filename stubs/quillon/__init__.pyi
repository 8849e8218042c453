"""Read, edit and write TOML documents while preserving their formatting."""

import datetime
from collections.abc import Iterable, Iterator, Mapping, Sequence
from typing import Any, ClassVar, Self, SupportsIndex, TypeAlias, TypeVar, final, overload

from typing_extensions import disjoint_base

__all__ = [
    "Document",
    "Item",
    "DictItem",
    "ListItem",
    "ScalarItem",
    "KeysView",
    "ValuesView",
    "ItemsView",
]

__version__: str

_T = TypeVar("_T")

# What `value`, `pop` and `popitem` hand back: plain Python objects.
_Scalar: TypeAlias = str | int | float | bool | datetime.datetime | datetime.date | datetime.time
_Plain: TypeAlias = _Scalar | list[Any] | dict[str, Any]

# What can be stored: scalars, mappings with string keys (tables), lists and
# tuples (arrays), and references into this or another document.
_Input: TypeAlias = _Scalar | Item | Document | Mapping[str, _Input] | Sequence[_Input]

# A narrowed live reference, as indexing and iteration return them.
_AnyItem: TypeAlias = DictItem | ListItem | ScalarItem

# A key of a table: a str, or a reference to a string value.
_Key: TypeAlias = str | ScalarItem

# A child of an Item: a key of a table, or a position in an array.
_Subscript: TypeAlias = str | SupportsIndex | ScalarItem

# What `update` and `|=` accept: a mapping, a table, or (key, value) pairs.
_Update: TypeAlias = Mapping[str, _Input] | Document | DictItem | Iterable[tuple[str, _Input]]

# What `|` merges into a new document or table.
_Merge: TypeAlias = Mapping[str, _Input] | Document | DictItem

@final
class Document:
    """A TOML document that preserves formatting when edited."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __new__(cls, data: Mapping[str, _Input] | None = None) -> Self:
        """Create an empty document, or one built from a mapping."""
    @staticmethod
    def parse(text: str) -> Document:
        """Parse TOML text into a Document, keeping comments and formatting; ValueError if invalid."""
    @property
    def value(self) -> dict[str, Any]:
        """The entire document as a plain Python dict."""
    def as_toml(self) -> str:
        """Return the document serialised as TOML text."""
    def keys(self) -> KeysView:
        """A live view of the top-level keys."""
    def values(self) -> ValuesView:
        """A live view of the top-level values, as Items."""
    def items(self) -> ItemsView:
        """A live view of the top-level (key, Item) pairs."""
    @overload
    def get(self, key: _Key, default: None = None, /) -> _AnyItem | None:
        """The Item for a top-level key, or the default."""
    @overload
    def get(self, key: _Key, default: _T, /) -> _AnyItem | _T: ...
    @overload
    def pop(self, key: _Key, /) -> _Plain:
        """Remove a top-level key and return its plain value (or the default)."""
    @overload
    def pop(self, key: _Key, default: _T, /) -> _Plain | _T: ...
    def popitem(self) -> tuple[str, _Plain]:
        """Remove one top-level entry and return (key, plain value)."""
    def update(self, other: _Update | None = None, /, **kwargs: _Input) -> None:
        """Set many top-level keys from a mapping, pairs or keyword arguments."""
    def setdefault(self, key: _Key, default: _Input | None = None, /) -> _AnyItem:
        """The Item for a key, storing the default first if the key is absent."""
    def clear(self) -> None:
        """Remove every top-level entry."""
    def fmt(self) -> None:
        """Normalise the formatting of the top-level entries (drops their comments)."""
    def __copy__(self) -> Document:
        """An independent copy of the document."""
    def __deepcopy__(self, _memo: object = None) -> Document:
        """An independent copy of the document."""
    def __getitem__(self, key: _Key, /) -> _AnyItem:
        """A live reference to a top-level value."""
    def __setitem__(self, key: _Key, value: _Input, /) -> None:
        """Store a value, keeping the entry's place and comments if it exists."""
    def __delitem__(self, key: _Key, /) -> None:
        """Remove a top-level entry."""
    def __len__(self) -> int:
        """Number of top-level entries."""
    def __bool__(self) -> bool:
        """Whether the document has any entry."""
    def __iter__(self) -> Iterator[str]:
        """Iterate over a snapshot of the top-level keys."""
    def __contains__(self, key: object, /) -> bool:
        """Whether a top-level key exists."""
    def __eq__(self, other: object, /) -> bool:
        """Structural equality with a document or a mapping."""
    def __ne__(self, other: object, /) -> bool:
        """Negation of ==."""
    def __or__(self, other: _Merge, /) -> Document:
        """A new document with the other mapping merged in."""
    def __ror__(self, other: Mapping[str, Any], /) -> dict[str, Any]:
        """A plain dict of the mapping with this document's values merged in."""
    def __ior__(self, other: _Update, /) -> Self:
        """Merge in place, as update()."""

@disjoint_base
class Item:
    """A live reference to a TOML value inside a Document; stale (RuntimeError) once that value is replaced."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @staticmethod
    def parse(text: str) -> DictItem | ListItem | ScalarItem:
        """Parse a TOML value fragment such as "0xFF", keeping its spelling."""
    @property
    def value(self) -> _Plain:
        """The referenced value as a plain Python object."""
    def as_toml(self) -> str:
        """Return the TOML text of this value."""
    def clear(self) -> None:
        """Remove every entry of the referenced table or array."""
    def fmt(self) -> None:
        """Normalise the formatting of this value, shallowly (drops its comments)."""
    @property
    def comment(self) -> str | None:
        """The comment lines above this entry, or None."""
    @comment.setter
    def comment(self, value: str | None) -> None: ...
    @property
    def inline_comment(self) -> str | None:
        """The comment after the value on its line, such as "# note", or None."""
    @inline_comment.setter
    def inline_comment(self, value: str | None) -> None: ...
    @overload
    def __getitem__(self, key: slice, /) -> list[DictItem | ListItem | ScalarItem]:
        """A live reference to a child, by key or index; a list of them for a slice."""
    @overload
    def __getitem__(self, key: _Subscript, /) -> DictItem | ListItem | ScalarItem: ...
    @overload
    def __setitem__(self, key: slice, value: Iterable[_Input], /) -> None:
        """Store a child value, keeping its place and formatting if it exists."""
    @overload
    def __setitem__(self, key: _Subscript, value: _Input, /) -> None: ...
    def __delitem__(self, key: _Subscript | slice, /) -> None:
        """Remove a child by key, index or slice."""
    def __len__(self) -> int:
        """Number of entries or elements; TypeError for a scalar."""
    def __bool__(self) -> bool:
        """Truth of the referenced value."""
    def __iter__(self) -> Iterator[str | DictItem | ListItem | ScalarItem]:
        """Keys of a table, or Items of an array; TypeError for a scalar."""
    def __contains__(self, x: object, /) -> bool:
        """Whether a table has the key, or an array an equal element."""
    def __eq__(self, other: object, /) -> bool:
        """Structural equality with any object."""
    def __ne__(self, other: object, /) -> bool:
        """Negation of ==."""

@final
class DictItem(Item):
    """A TOML table or inline table."""

    @staticmethod
    def parse(text: str) -> DictItem:
        """Parse an inline table fragment such as "{ a = 1 }"."""
    @property
    def value(self) -> dict[str, Any]:
        """The table as a plain Python dict."""
    @property
    def implicit(self) -> bool:
        """Whether the table's [header] is left out of the output."""
    @implicit.setter
    def implicit(self, value: bool) -> None: ...
    def keys(self) -> KeysView:
        """A live view of the table's keys."""
    def values(self) -> ValuesView:
        """A live view of the table's values, as Items."""
    def items(self) -> ItemsView:
        """A live view of the table's (key, Item) pairs."""
    @overload
    def get(self, key: _Key, default: None = None, /) -> _AnyItem | None:
        """The Item for a key, or the default."""
    @overload
    def get(self, key: _Key, default: _T, /) -> _AnyItem | _T: ...
    @overload
    def pop(self, key: _Key, /) -> _Plain:
        """Remove a key and return its plain value (or the default)."""
    @overload
    def pop(self, key: _Key, default: _T, /) -> _Plain | _T: ...
    def popitem(self) -> tuple[str, _Plain]:
        """Remove the last entry and return (key, plain value)."""
    def update(self, other: _Update | None = None, /, **kwargs: _Input) -> None:
        """Set many keys from a mapping, pairs or keyword arguments."""
    def setdefault(self, key: _Key, default: _Input | None = None, /) -> _AnyItem:
        """The Item for a key, storing the default first if the key is absent."""
    def __iter__(self) -> Iterator[str]:
        """Iterate over a snapshot of the keys."""
    def __or__(self, other: _Merge, /) -> DictItem:
        """A new detached table with the other mapping merged in."""
    def __ror__(self, other: Mapping[str, Any], /) -> dict[str, Any]:
        """A plain dict of the mapping with this table's values merged in."""
    def __ior__(self, other: _Update, /) -> Self:
        """Merge in place, as update()."""

@final
class ListItem(Item):
    """A TOML array or array of tables."""

    @staticmethod
    def parse(text: str) -> ListItem:
        """Parse an array fragment such as "[1, 2]"."""
    @property
    def value(self) -> list[Any]:
        """The array as a plain Python list."""
    def append(self, value: _Input, /) -> None:
        """Add a value at the end, in the array's own layout."""
    def insert(self, index: SupportsIndex, value: _Input, /) -> None:
        """Add a value before an index."""
    def extend(self, values: Iterable[_Input], /) -> None:
        """Add every value of an iterable at the end."""
    def pop(self, index: SupportsIndex | ScalarItem | None = None, /) -> _Plain:
        """Remove an element (the last by default) and return its plain value."""
    def remove(self, value: object, /) -> None:
        """Remove the first element equal to the value; ValueError if none."""
    def count(self, value: object, /) -> int:
        """Number of elements equal to the value."""
    def index(
        self, value: object, start: SupportsIndex | None = None, stop: SupportsIndex | None = None, /
    ) -> int:
        """Position of the first element equal to the value; ValueError if none."""
    def set_multiline(self, *, indent: int = 4) -> None:
        """Put each element on its own line (drops element comments)."""
    def __iter__(self) -> Iterator[DictItem | ListItem | ScalarItem]:
        """Iterate over a snapshot of the element Items."""
    def __add__(self, other: list[Any] | ListItem, /) -> ListItem:
        """A new detached array: these elements, then the other's."""
    def __radd__(self, other: list[Any], /) -> ListItem:
        """A new detached array: the list's elements, then these."""
    # += takes any iterable, as list's does, while + takes lists only.
    def __iadd__(self, other: Iterable[_Input], /) -> Self:  # type: ignore[misc]
        """Extend in place."""
    def __mul__(self, n: SupportsIndex, /) -> ListItem:
        """A new detached array with the elements repeated n times."""
    def __rmul__(self, n: SupportsIndex, /) -> ListItem:
        """A new detached array with the elements repeated n times."""
    def __imul__(self, n: SupportsIndex, /) -> Self:
        """Repeat the elements in place (n <= 0 empties the array)."""

@final
class ScalarItem(Item):
    """A scalar TOML value that acts like its plain Python value in operators and attribute lookups."""

    @staticmethod
    def parse(text: str) -> ScalarItem:
        """Parse a scalar fragment such as "0xFF" or "'literal'"."""
    @property
    def value(self) -> _Scalar:
        """The plain value: str, int, float, bool, or a datetime, date or time."""
    def __hash__(self) -> int:  # type: ignore[override]
        """Hash of the plain value."""
    def __contains__(self, x: object, /) -> bool:
        """Membership in the plain value, such as a substring of a string."""
    def __format__(self, spec: str, /) -> str:
        """format() of the plain value."""
    def __int__(self) -> int:
        """int() of the plain value."""
    def __float__(self) -> float:
        """float() of the plain value."""
    def __index__(self) -> int:
        """The plain value as an index; TypeError unless it is an int."""
    def __neg__(self) -> Any:
        """-value."""
    def __pos__(self) -> Any:
        """+value."""
    def __abs__(self) -> Any:
        """abs(value)."""
    def __invert__(self) -> Any:
        """~value."""
    def __add__(self, other: Any, /) -> Any:
        """value + other."""
    def __radd__(self, other: Any, /) -> Any:
        """other + value."""
    def __sub__(self, other: Any, /) -> Any:
        """value - other."""
    def __rsub__(self, other: Any, /) -> Any:
        """other - value."""
    def __mul__(self, other: Any, /) -> Any:
        """value * other."""
    def __rmul__(self, other: Any, /) -> Any:
        """other * value."""
    def __truediv__(self, other: Any, /) -> Any:
        """value / other."""
    def __rtruediv__(self, other: Any, /) -> Any:
        """other / value."""
    def __floordiv__(self, other: Any, /) -> Any:
        """value // other."""
    def __rfloordiv__(self, other: Any, /) -> Any:
        """other // value."""
    def __mod__(self, other: Any, /) -> Any:
        """value % other."""
    def __rmod__(self, other: Any, /) -> Any:
        """other % value."""
    def __pow__(self, other: Any, mod: Any = None, /) -> Any:
        """pow(value, other[, mod])."""
    def __rpow__(self, other: Any, mod: Any = None, /) -> Any:
        """pow(other, value[, mod])."""
    def __lt__(self, other: Any, /) -> bool:
        """value < other."""
    def __le__(self, other: Any, /) -> bool:
        """value <= other."""
    def __gt__(self, other: Any, /) -> bool:
        """value > other."""
    def __ge__(self, other: Any, /) -> bool:
        """value >= other."""
    def __getattr__(self, name: str) -> Any:
        """Attributes of the plain value, such as .upper() of a string."""

@final
class KeysView:
    """A live view of the keys of a table (or the document root)."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __len__(self) -> int:
        """Number of keys."""
    def __iter__(self) -> Iterator[str]:
        """Iterate over a snapshot of the keys."""
    def __reversed__(self) -> Iterator[str]:
        """Iterate over the keys, last first."""
    def __contains__(self, key: object, /) -> bool:
        """Whether the table has the key."""
    def __eq__(self, other: object, /) -> bool:
        """Equal to a set of the same keys."""
    def __ne__(self, other: object, /) -> bool:
        """Negation of ==."""
    def __or__(self, other: Iterable[_T], /) -> set[str | _T]:
        """A new set: the keys and the other's elements."""
    def __xor__(self, other: Iterable[_T], /) -> set[str | _T]:
        """A new set: elements in exactly one of the keys and the other."""
    def __and__(self, other: Iterable[object], /) -> set[str]:
        """A new set: the keys that the other also holds."""
    def __sub__(self, other: Iterable[object], /) -> set[str]:
        """A new set: the keys that the other does not hold."""

@final
class ValuesView:
    """A live view of the values of a table (or the document root), as Items."""

    def __len__(self) -> int:
        """Number of values."""
    def __iter__(self) -> Iterator[DictItem | ListItem | ScalarItem]:
        """Iterate over a snapshot of the value Items."""
    def __reversed__(self) -> Iterator[DictItem | ListItem | ScalarItem]:
        """Iterate over the value Items, last first."""
    def __contains__(self, value: object, /) -> bool:
        """Whether some value equals the object."""

@final
class ItemsView:
    """A live view of the (key, Item) pairs of a table (or the document root)."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __len__(self) -> int:
        """Number of pairs."""
    def __iter__(self) -> Iterator[tuple[str, DictItem | ListItem | ScalarItem]]:
        """Iterate over a snapshot of the (key, Item) pairs."""
    def __reversed__(self) -> Iterator[tuple[str, DictItem | ListItem | ScalarItem]]:
        """Iterate over the pairs, last first."""
    def __contains__(self, pair: object, /) -> bool:
        """Whether the (key, value) tuple is an entry."""
    def __eq__(self, other: object, /) -> bool:
        """Equal to a set of the same (key, plain value) pairs."""
    def __ne__(self, other: object, /) -> bool:
        """Negation of ==."""
