// Format-preserving TOML document model.
//
// Everything of the source that is not a value is kept: the text around keys,
// values and headers (Decor), the spelling of keys and scalars (repr), the
// text after the last element of arrays, inline tables and the document
// (trailing), entry order and header order (doc_position).
//
// Public header of the engine: the Python module and the engine share these
// types. No dependency on Python.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "datetime.hpp"
#include "decoded_text.hpp"
#include "entry_map.hpp"
#include "raw_string.hpp"

namespace toml {

class Item;
struct Entry;
struct Value;
struct Table;

// A broken model invariant (an internal error); what() is the fixed message.
class InvariantError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Text before (prefix) and after (suffix) an element. An absent side renders
// with the default of the element's position; a present side renders as is.
struct Decor {
    RawString prefix;
    RawString suffix;

    Decor() = default;
    Decor(std::string_view p, std::string_view s) : prefix(p), suffix(s) {}
    static Decor make(std::string_view p, std::string_view s) { return Decor(p, s); }

    void clear() {
        prefix.reset();
        suffix.reset();
    }
    void set_prefix(std::string_view p) { prefix.set(p); }
    void set_suffix(std::string_view s) { suffix.set(s); }
};

// Owning pointer with value semantics: copying copies the pointee.
template <class T>
class Box {
public:
    Box() noexcept = default;
    explicit Box(std::unique_ptr<T> p) noexcept : p_(std::move(p)) {}
    Box(const Box& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
    Box(Box&&) noexcept = default;
    Box& operator=(const Box& o) {
        if (this != &o) p_ = o.p_ ? std::make_unique<T>(*o.p_) : nullptr;
        return *this;
    }
    Box& operator=(Box&&) noexcept = default;
    ~Box() = default;

    T* get() const noexcept { return p_.get(); }
    T& operator*() const { return *p_; }
    T* operator->() const noexcept { return p_.get(); }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { p_.reset(); }

private:
    std::unique_ptr<T> p_;
};

// A TOML key (one part of a key path). Equality and lookup use `key` only.
struct Key {
    DecodedText key;            // decoded text
    RawString repr;         // source spelling (quotes included), or absent
    Decor leaf_decor;       // around the key where it is the last part of its path

    Key() = default;
    explicit Key(std::string_view text) : key(text) {}
    Key(const Key& o);
    Key(Key&& o) noexcept
        : key(std::move(o.key)), repr(std::move(o.repr)), leaf_decor(std::move(o.leaf_decor)),
          dots_(std::exchange(o.dots_, 0)) {}
    Key& operator=(const Key& o);
    Key& operator=(Key&& o) noexcept;
    ~Key() { release_dots(); }

    // Around the key where it is an inner part, around "." (and, for the
    // last part of a dotted path, after the "." before it).
    const Decor& dotted_decor() const noexcept;
    void set_dotted_decor(Decor d);
    void clear_dotted_decor();
    // The inner parts as written before this key on its own key/value line or
    // header (each with its repr and dotted decor), for a path whose inner
    // parts are shared with other lines in the tree and spelled differently
    // there. Rendering uses them while the path still has the same key texts.
    // Null when the tree's own keys spell the path as written.
    const std::vector<Key>* written_prefix() const noexcept;
    void set_written_prefix(std::vector<Key> parts);

    // Forget the recorded spelling and decors (what replacing an entry does).
    void reset_format() {
        repr.reset();
        leaf_decor.clear();
        release_dots();
    }

private:
    struct Dots;
    // Most keys have no written prefix and a dotted decor whose sides are
    // each absent or empty: values 0-3 say which sides are empty (bit 0 the
    // prefix, bit 1 the suffix). Anything else lives in an owned Dots block.
    static constexpr uintptr_t kPlainDots = 4;
    uintptr_t dots_ = 0;
    Dots* dots_block() const noexcept { return dots_ >= kPlainDots ? reinterpret_cast<Dots*>(dots_) : nullptr; }
    void release_dots() noexcept;
};

// A decoded scalar together with its source spelling and surrounding text.
template <class T>
struct Formatted {
    T value{};
    RawString repr;  // absent: rendered from `value` with the default representation
    Decor decor;

    Formatted() = default;
    explicit Formatted(T v) : value(std::move(v)) {}
};

// [ ... ] value.
struct Array {
    std::vector<Item> values;  // every element is a Value item
    RawString trailing;        // after the comma that follows the last element
    bool trailing_comma = false;
    Decor decor;

    // Item is still incomplete here: whatever touches `values` is defined
    // after it (some compilers instantiate the vector's members eagerly).
    Array();
    Array(const Array&);
    Array(Array&&) noexcept;
    Array& operator=(const Array&);
    Array& operator=(Array&&) noexcept;
    ~Array();

    size_t len() const;
    bool is_empty() const;
    // Element i as a value (i < len()).
    Value& get(size_t i);
    const Value& get(size_t i) const;
    void push_formatted(Value v);
    void insert_formatted(size_t i, Value v);
    // The new value takes a copy of the old element's decor.
    Value replace(size_t i, Value v);
    // Keeps the new value's decor as given.
    Value replace_formatted(size_t i, Value v);
    Value remove(size_t i);
    void clear();
    void fmt();
};

// { ... } value.
struct InlineTable {
    EntryMap items;  // items are Value items (or the None placeholder)
    RawString trailing;
    bool trailing_comma = false;
    bool implicit = false;
    bool dotted = false;  // stands for a run of dotted keys inside an enclosing inline table
    Decor decor;

    size_t len() const { return items.len(); }
    bool is_empty() const { return items.is_empty(); }
    bool contains_key(std::string_view k) const { return items.contains_key(k); }
    void clear() { items.clear(); }
    void fmt();
    Table into_table() &&;
};

using ValueVariant = std::variant<Formatted<DecodedText>, Formatted<int64_t>, Formatted<double>,
                                  Formatted<bool>, Formatted<Datetime>, Array, InlineTable>;

enum class ValueKind : uint8_t { String, Integer, Float, Boolean, Datetime, Array, InlineTable };

struct Value {
    ValueVariant v;

    Value() : v(Formatted<DecodedText>()) {}
    template <class T>
    Value(T&& x)
        requires std::is_constructible_v<ValueVariant, T&&> &&
                 (!std::is_same_v<std::remove_cvref_t<T>, Value>)
        : v(std::forward<T>(x)) {}

    static Value string(DecodedText s) { return Value(Formatted<DecodedText>(std::move(s))); }
    static Value integer(int64_t i) { return Value(Formatted<int64_t>(i)); }
    static Value floating(double d) { return Value(Formatted<double>(d)); }
    static Value boolean(bool b) { return Value(Formatted<bool>(b)); }
    static Value datetime(Datetime d) { return Value(Formatted<Datetime>(d)); }

    ValueKind kind() const { return static_cast<ValueKind>(v.index()); }
    bool is_string() const { return kind() == ValueKind::String; }
    bool is_integer() const { return kind() == ValueKind::Integer; }
    bool is_float() const { return kind() == ValueKind::Float; }
    bool is_boolean() const { return kind() == ValueKind::Boolean; }
    bool is_datetime() const { return kind() == ValueKind::Datetime; }
    bool is_array() const { return kind() == ValueKind::Array; }
    bool is_inline_table() const { return kind() == ValueKind::InlineTable; }
    bool is_scalar() const { return kind() < ValueKind::Array; }

    Formatted<DecodedText>* as_string() { return std::get_if<Formatted<DecodedText>>(&v); }
    const Formatted<DecodedText>* as_string() const { return std::get_if<Formatted<DecodedText>>(&v); }
    Formatted<int64_t>* as_integer() { return std::get_if<Formatted<int64_t>>(&v); }
    const Formatted<int64_t>* as_integer() const { return std::get_if<Formatted<int64_t>>(&v); }
    Formatted<double>* as_float() { return std::get_if<Formatted<double>>(&v); }
    const Formatted<double>* as_float() const { return std::get_if<Formatted<double>>(&v); }
    Formatted<bool>* as_boolean() { return std::get_if<Formatted<bool>>(&v); }
    const Formatted<bool>* as_boolean() const { return std::get_if<Formatted<bool>>(&v); }
    Formatted<Datetime>* as_datetime() { return std::get_if<Formatted<Datetime>>(&v); }
    const Formatted<Datetime>* as_datetime() const { return std::get_if<Formatted<Datetime>>(&v); }
    Array* as_array() { return std::get_if<Array>(&v); }
    const Array* as_array() const { return std::get_if<Array>(&v); }
    InlineTable* as_inline_table() { return std::get_if<InlineTable>(&v); }
    const InlineTable* as_inline_table() const { return std::get_if<InlineTable>(&v); }

    Decor& decor();
    const Decor& decor() const;
    void decorate(std::string_view prefix, std::string_view suffix) { decor() = Decor(prefix, suffix); }
    // The scalar's repr, or nullptr for arrays and inline tables.
    RawString* repr();
    const RawString* repr() const;
    // Type name used in messages ("string", "integer", ..., "inline table").
    const char* type_name() const;
};

// A length that a copy does not take over: it describes this very object's
// place in its document's source text.
class SourceLength {
public:
    SourceLength() noexcept = default;
    SourceLength(const SourceLength&) noexcept {}
    SourceLength(SourceLength&& o) noexcept : n_(o.n_) {}
    SourceLength& operator=(const SourceLength&) noexcept {
        n_ = 0;
        return *this;
    }
    SourceLength& operator=(SourceLength&& o) noexcept {
        n_ = o.n_;
        return *this;
    }
    uint32_t get() const noexcept { return n_; }
    void set(uint32_t n) noexcept { n_ = n; }

private:
    uint32_t n_ = 0;
};

// A standard table: a [header] section, the root, or an implicit/dotted table.
struct Table {
    EntryMap items;
    Decor decor;  // prefix: text before the header line; suffix: after "]" on that line
    bool implicit = false;
    bool dotted = false;
    // Rendering cache. A table whose header and body were once rendered
    // exactly as they stand in the source, from where its decor prefix
    // (borrowed from the source) starts, keeps the length of that text and
    // is rendered by copying it until an edit reaches it. Edits that pass
    // through the table call edited(); edits that may change anything below
    // it call edited_below() (its sub-tables then render afresh once).
    mutable bool changed_below = false;
    mutable SourceLength source_length;
    std::optional<int64_t> doc_position;

    void edited() noexcept { source_length.set(0); }
    void edited_below() noexcept {
        source_length.set(0);
        changed_below = true;
    }

    size_t len() const { return items.len(); }
    bool is_empty() const { return items.is_empty(); }
    bool contains_key(std::string_view k) const { return items.contains_key(k); }
    void clear() { items.clear(); }
    void fmt();
    InlineTable into_inline_table() &&;
};

// [[name]] sections.
struct ArrayOfTables {
    std::vector<Item> values;  // every element is a Table item
    // Rendering cache, as for Table: set by an edit of the array itself, its
    // tables render afresh once. The text of all its tables (and of the
    // tables below them), when once rendered exactly as the source holds it
    // from the first table's decor prefix on, is copied from there until an
    // edit reaches into the array; `last_rank` is the order rank of its last
    // table then.
    mutable bool changed_below = false;
    mutable SourceLength source_length;
    mutable int64_t last_rank = 0;

    // Defined after Item, as for Array.
    ArrayOfTables();
    ArrayOfTables(const ArrayOfTables&);
    ArrayOfTables(ArrayOfTables&&) noexcept;
    ArrayOfTables& operator=(const ArrayOfTables&);
    ArrayOfTables& operator=(ArrayOfTables&&) noexcept;
    ~ArrayOfTables();

    size_t len() const;
    bool is_empty() const;
    Table& get(size_t i);
    const Table& get(size_t i) const;
    void push(Table t);
    void insert(size_t i, Table t);
    Table remove(size_t i);
    Table replace(size_t i, Table t);
    void clear();
    Array into_array() &&;
};

enum class ItemKind : uint8_t { None, Value, Table, ArrayOfTables };

class Item {
public:
    using Variant = std::variant<std::monostate, Value, Table, ArrayOfTables>;
    Variant v;

    Item() = default;
    Item(Value&& x) : v(std::move(x)) {}
    Item(const Value& x) : v(x) {}
    Item(Table&& x) : v(std::move(x)) {}
    Item(const Table& x) : v(x) {}
    Item(ArrayOfTables&& x) : v(std::move(x)) {}
    Item(const ArrayOfTables& x) : v(x) {}

    ItemKind kind() const { return static_cast<ItemKind>(v.index()); }
    bool is_none() const { return kind() == ItemKind::None; }
    bool is_value() const { return kind() == ItemKind::Value; }
    bool is_table() const { return kind() == ItemKind::Table; }
    bool is_array_of_tables() const { return kind() == ItemKind::ArrayOfTables; }

    Value* as_value() { return std::get_if<Value>(&v); }
    const Value* as_value() const { return std::get_if<Value>(&v); }
    Table* as_table() { return std::get_if<Table>(&v); }
    const Table* as_table() const { return std::get_if<Table>(&v); }
    ArrayOfTables* as_array_of_tables() { return std::get_if<ArrayOfTables>(&v); }
    const ArrayOfTables* as_array_of_tables() const { return std::get_if<ArrayOfTables>(&v); }

    // Table-like: a Table, or an InlineTable value. Returns its entry map.
    EntryMap* table_like();
    const EntryMap* table_like() const;
    bool is_table_like() const { return table_like() != nullptr; }
    // Array-like: an Array value or an ArrayOfTables.
    bool is_array_like() const;

    // Visible entry of a table-like item, else nullptr.
    Item* get(std::string_view key);
    const Item* get(std::string_view key) const;
    // Writing access by key: a None item first becomes an empty InlineTable
    // value; then a table-like item yields the key's item (a None placeholder
    // entry appended if absent); any other item yields nullptr.
    Item* index_mut(std::string_view key);

    // Into a value (Table -> InlineTable, ArrayOfTables -> Array of inline
    // tables, Value kept). None stays None: returns nullopt.
    std::optional<Value> into_value() &&;
    // Replaces this item in place by its value form (or by None).
    void make_value();

    // Upkeep of the rendering cache (see Table): an edit passes through this
    // item on its way to its target, or acts on this item and what it holds.
    void edited_through() noexcept {
        if (Table* t = as_table()) {
            t->edited();
        } else if (ArrayOfTables* aot = as_array_of_tables()) {
            aot->source_length.set(0);
        }
    }
    void edited_at() noexcept {
        if (Table* t = as_table()) {
            t->edited_below();
        } else if (ArrayOfTables* aot = as_array_of_tables()) {
            aot->source_length.set(0);
            aot->changed_below = true;
        }
    }
};

struct Entry {
    Key key;
    Item item;
};

inline Array::Array() = default;
inline Array::Array(const Array&) = default;
inline Array::Array(Array&&) noexcept = default;
inline Array& Array::operator=(const Array&) = default;
inline Array& Array::operator=(Array&&) noexcept = default;
inline Array::~Array() = default;
inline size_t Array::len() const { return values.size(); }
inline bool Array::is_empty() const { return values.empty(); }

inline ArrayOfTables::ArrayOfTables() = default;
inline ArrayOfTables::ArrayOfTables(const ArrayOfTables&) = default;
inline ArrayOfTables::ArrayOfTables(ArrayOfTables&&) noexcept = default;
inline ArrayOfTables& ArrayOfTables::operator=(const ArrayOfTables&) = default;
inline ArrayOfTables& ArrayOfTables::operator=(ArrayOfTables&&) noexcept = default;
inline ArrayOfTables::~ArrayOfTables() = default;
inline size_t ArrayOfTables::len() const { return values.size(); }
inline bool ArrayOfTables::is_empty() const { return values.empty(); }
inline void ArrayOfTables::clear() { values.clear(); }

// A whole document: the root table plus the text after its last entry.
//
// A parsed document's texts borrow from its source, which `text_owner` keeps
// alive. Pieces of the model may move around inside the document; a piece that
// leaves it (into another document, or outliving it) must be copied, as copies
// own their text.
struct DocumentMut {
    Item root;           // always a Table
    RawString trailing;  // final blank lines and comment lines
    std::shared_ptr<const void> text_owner;
    const char* source_text = nullptr;  // the parsed text (kept by text_owner)
    size_t source_size = 0;  // of the parsed text: a size hint for rendering
    // Whether the parsed text's line breaks held carriage returns; without
    // them, the borrowed texts need no filtering when rendered.
    bool source_has_cr = true;

    DocumentMut() {
        Table t;
        t.doc_position = 0;
        root = Item(std::move(t));
    }
    explicit DocumentMut(Table t) : root(std::move(t)) {}
    // A copy owns all its text, so it needs no owner.
    DocumentMut(const DocumentMut& o) : root(o.root), trailing(o.trailing), source_size(o.source_size) {}
    DocumentMut(DocumentMut&&) noexcept = default;
    DocumentMut& operator=(const DocumentMut& o) {
        if (this != &o) {
            DocumentMut copy(o);
            *this = std::move(copy);
        }
        return *this;
    }
    DocumentMut& operator=(DocumentMut&&) noexcept = default;
    ~DocumentMut() = default;

    Table& root_table() { return *root.as_table(); }
    const Table& root_table() const { return *root.as_table(); }
};

inline size_t EntryMap::raw_size() const { return entries_.size(); }

// Model-wide helpers.
// Key/value entries of a table-like map in rendering order: dotted tables and
// dotted inline tables are flattened into key paths.
struct KeyValueRef {
    std::vector<const Key*> path;
    const Value* value;
};
void get_values(const EntryMap& items, std::vector<KeyValueRef>& out);

// Short debug form of an item, used in internal-error messages.
std::string debug_form(const Item& item);

}  // namespace toml
