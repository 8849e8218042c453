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

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
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
    DecodedText key;        // decoded text
    Decor leaf_decor;       // around the key where it is the last part of its path

    Key() = default;
    explicit Key(std::string_view text) : key(text) {}
    Key(const Key& o);
    Key(Key&& o) noexcept
        : key(std::move(o.key)), leaf_decor(std::move(o.leaf_decor)), extra_(std::exchange(o.extra_, 0)) {}
    Key& operator=(const Key& o);
    Key& operator=(Key&& o) noexcept;
    ~Key() {
        if (extra_ >= kPlain) release_extra();
    }

    // The source spelling (quotes included), if recorded.
    bool has_repr() const noexcept;
    std::string_view repr() const noexcept;  // empty when absent
    // Records the spelling (an absent one forgets it). `key` must already
    // hold the decoded text; a borrowed spelling must outlive this key.
    void set_repr(RawString spelling);
    // Takes over the spelling recorded for `o` (as a copy).
    void copy_repr(const Key& o);
    // The parser's shortcut for a fresh key whose text is borrowed from the
    // source where it stands as spelled: as is (a bare key), or between one
    // quote on each side (`quoted`).
    void set_repr_in_source(bool quoted) noexcept {
        extra_ = (extra_ & kDotBits) | (quoted ? kReprQuotesText : kReprIsText);
    }

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
        leaf_decor.clear();
        release_extra();
    }

private:
    struct Extra;
    // Most keys are spelled as their text reads (bare keys), or as that text
    // between the quotes that stand around it in the source (quoted keys
    // without escapes); they have no written prefix and a dotted decor whose
    // sides are each absent or empty. Such a key keeps all that in the low
    // bits of `extra_`: bits 0-1 say which dotted decor sides are empty (bit 0
    // the prefix, bit 1 the suffix), bits 2-3 how the spelling reads
    // (kNoRepr, kReprIsText, kReprQuotesText). Anything else lives in an
    // owned Extra block (16-byte aligned, so never below kPlain).
    static constexpr uintptr_t kPlain = 16;
    static constexpr uintptr_t kDotBits = 3;
    static constexpr uintptr_t kReprBits = 12;
    static constexpr uintptr_t kNoRepr = 0;
    static constexpr uintptr_t kReprIsText = 4;
    static constexpr uintptr_t kReprQuotesText = 8;
    uintptr_t extra_ = 0;
    Extra* extra_block() const noexcept { return extra_ >= kPlain ? reinterpret_cast<Extra*>(extra_) : nullptr; }
    Extra& make_extra_block();
    RawString plain_repr() const;
    void release_extra() noexcept;
};

enum class ValueKind : uint8_t { String, Integer, Float, Boolean, Datetime, Array, InlineTable };
enum class ItemKind : uint8_t { None, Value, Table, ArrayOfTables };

// What a model slot holds: the value kinds (in ValueKind's order), then the
// kinds only an Item can hold.
enum class SlotKind : uint8_t { String, Integer, Float, Boolean, Datetime, Array, InlineTable, Table, ArrayOfTables, None };

template <class T>
inline constexpr SlotKind kFormattedKind = SlotKind::String;
template <>
inline constexpr SlotKind kFormattedKind<int64_t> = SlotKind::Integer;
template <>
inline constexpr SlotKind kFormattedKind<double> = SlotKind::Float;
template <>
inline constexpr SlotKind kFormattedKind<bool> = SlotKind::Boolean;
template <>
inline constexpr SlotKind kFormattedKind<Datetime> = SlotKind::Datetime;

// Everything a model slot can hold (the scalars, Array, InlineTable, Table,
// ArrayOfTables and the empty NoneSlot) begins with `slot_kind`, fixed by its
// type. The slot keeps them in a union and reads the kind of the one it holds
// through that shared first member, so it needs no tag of its own. Never
// assigned by hand.

// A decoded scalar together with its source spelling and surrounding text.
template <class T>
struct Formatted {
    SlotKind slot_kind = kFormattedKind<T>;
    T value{};
    RawString repr;  // absent: rendered from `value` with the default representation
    Decor decor;

    Formatted() = default;
    explicit Formatted(T v) noexcept(std::is_nothrow_move_constructible_v<T>) : value(std::move(v)) {}
};

// [ ... ] value.
struct Array {
    SlotKind slot_kind = SlotKind::Array;
    bool trailing_comma = false;
    std::vector<Item> values;  // every element is a Value item
    RawString trailing;        // after the comma that follows the last element
    Decor decor;

    // Item is still incomplete here: whatever touches `values` is defined
    // after it (some compilers instantiate the vector's members eagerly).
    Array() noexcept;
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
    SlotKind slot_kind = SlotKind::InlineTable;
    bool trailing_comma = false;
    bool implicit = false;
    bool dotted = false;  // stands for a run of dotted keys inside an enclosing inline table
    EntryMap items;       // items are Value items (or the None placeholder)
    RawString trailing;
    Decor decor;

    size_t len() const { return items.len(); }
    bool is_empty() const { return items.is_empty(); }
    bool contains_key(std::string_view k) const { return items.contains_key(k); }
    void clear() { items.clear(); }
    void fmt();
    Table into_table() &&;
};

// GCC inlines the moves of Table and ArrayOfTables into the slot's visitors
// and, on the branches of other alternatives that the slot never takes,
// warns that their members (another alternative's padding) are read
// uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

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

// An order rank that may be absent, in eight bytes; reads like
// std::optional<int64_t>. No rank is INT64_MIN.
class OptionalRank {
public:
    constexpr OptionalRank() noexcept = default;
    constexpr OptionalRank(std::nullopt_t) noexcept {}
    constexpr OptionalRank(int64_t rank) noexcept : rank_(rank) {}
    constexpr bool has_value() const noexcept { return rank_ != kNone; }
    constexpr explicit operator bool() const noexcept { return has_value(); }
    constexpr int64_t operator*() const noexcept { return rank_; }
    constexpr void reset() noexcept { rank_ = kNone; }

private:
    static constexpr int64_t kNone = INT64_MIN;
    int64_t rank_ = kNone;
};

// A standard table: a [header] section, the root, or an implicit/dotted table.
struct Table {
    SlotKind slot_kind = SlotKind::Table;
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
    EntryMap items;
    Decor decor;  // prefix: text before the header line; suffix: after "]" on that line
    OptionalRank doc_position;

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
    SlotKind slot_kind = SlotKind::ArrayOfTables;
    // Rendering cache, as for Table: set by an edit of the array itself, its
    // tables render afresh once. The text of all its tables (and of the
    // tables below them), when once rendered exactly as the source holds it
    // from the first table's decor prefix on, is copied from there until an
    // edit reaches into the array; `last_rank` is the order rank of its last
    // table then.
    mutable bool changed_below = false;
    mutable SourceLength source_length;
    std::vector<Item> values;  // every element is a Table item
    mutable int64_t last_rank = 0;

    // Defined after Item, as for Array.
    ArrayOfTables() noexcept;
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

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// What an Item holds when it holds nothing.
struct NoneSlot {
    SlotKind slot_kind = SlotKind::None;
};

template <class T>
inline constexpr bool kIsValueAlternative =
    std::is_same_v<T, Formatted<DecodedText>> || std::is_same_v<T, Formatted<int64_t>> ||
    std::is_same_v<T, Formatted<double>> || std::is_same_v<T, Formatted<bool>> ||
    std::is_same_v<T, Formatted<Datetime>> || std::is_same_v<T, Array> || std::is_same_v<T, InlineTable>;
template <class T>
inline constexpr bool kIsSlotAlternative = kIsValueAlternative<T> || std::is_same_v<T, Table> ||
                                           std::is_same_v<T, ArrayOfTables> || std::is_same_v<T, NoneSlot>;

// The storage of a Value, and of the Item that a Value is the base of: one of
// the alternatives above, held the way std::variant holds them (copies and
// moves take the other side's alternative; an assignment between different
// alternatives leaves this one unchanged when the copy fails). Lives only as
// Value::v.
class ModelSlot {
public:
    ModelSlot() noexcept { ::new (static_cast<void*>(&string_)) Formatted<DecodedText>(); }
    template <class T>
        requires kIsSlotAlternative<std::remove_cvref_t<T>>
    explicit ModelSlot(T&& x) noexcept(std::is_nothrow_constructible_v<std::remove_cvref_t<T>, T&&>) {
        construct<std::remove_cvref_t<T>>(std::forward<T>(x));
    }
    ModelSlot(const ModelSlot& o) {
        o.visit_any([this](const auto& x) { construct<std::remove_cvref_t<decltype(x)>>(x); });
    }
    ModelSlot(ModelSlot&& o) noexcept {
        o.visit_any([this](auto& x) { construct<std::remove_cvref_t<decltype(x)>>(std::move(x)); });
    }
    ModelSlot& operator=(const ModelSlot& o) {
        if (this == &o) return *this;
        if (kind() == o.kind()) {
            o.visit_any([this](const auto& x) { member<std::remove_cvref_t<decltype(x)>>() = x; });
        } else {
            ModelSlot copy(o);
            *this = std::move(copy);
        }
        return *this;
    }
    ModelSlot& operator=(ModelSlot&& o) noexcept {
        if (this == &o) return *this;
        if (kind() == o.kind()) {
            o.visit_any([this](auto& x) { member<std::remove_cvref_t<decltype(x)>>() = std::move(x); });
        } else {
            destroy();
            o.visit_any([this](auto& x) { construct<std::remove_cvref_t<decltype(x)>>(std::move(x)); });
        }
        return *this;
    }
    ~ModelSlot() { destroy(); }

    // Every alternative is standard-layout and starts with `slot_kind`:
    // reading it through `none_` reads the held alternative's.
    SlotKind kind() const noexcept { return none_.slot_kind; }
    // The ValueKind of a held value, as a number.
    size_t index() const noexcept { return static_cast<size_t>(kind()); }

    // emplace() for a slot that holds a default-constructed string, which
    // owns nothing: the parser fills fresh values this way.
    template <class T, class... Args>
        requires kIsSlotAlternative<T>
    T& emplace_over_empty(Args&&... args) noexcept {
        static_assert(std::is_nothrow_constructible_v<T, Args&&...>);
        assert(kind() == SlotKind::String && string_.value.view().empty() && string_.repr.is_absent() &&
               string_.decor.prefix.is_absent() && string_.decor.suffix.is_absent());
        return construct<T>(std::forward<Args>(args)...);
    }

    template <class T, class... Args>
        requires kIsSlotAlternative<T>
    T& emplace(Args&&... args) {
        if constexpr (std::is_nothrow_constructible_v<T, Args&&...>) {
            destroy();
            return construct<T>(std::forward<Args>(args)...);
        } else {
            T made(std::forward<Args>(args)...);
            destroy();
            return construct<T>(std::move(made));
        }
    }
    // Makes the Value (or Item) that owns this slot hold Value(args...).
    template <class T, class... Args>
        requires std::is_same_v<T, Value>
    Value& emplace(Args&&... args);

    template <class T>
    T* get_if() noexcept {
        return kind() == kind_of<T>() ? &member<T>() : nullptr;
    }
    template <class T>
    const T* get_if() const noexcept {
        return const_cast<ModelSlot*>(this)->get_if<T>();
    }

    // Calls `f` with the held value (the slot must hold one of the value kinds).
    template <class F>
    std::invoke_result_t<F&, Formatted<DecodedText>&> visit(F&& f) {
        switch (kind()) {
            case SlotKind::String:
                return f(string_);
            case SlotKind::Integer:
                return f(integer_);
            case SlotKind::Float:
                return f(float_);
            case SlotKind::Boolean:
                return f(boolean_);
            case SlotKind::Datetime:
                return f(datetime_);
            case SlotKind::Array:
                return f(array_);
            default:
                return f(inline_table_);
        }
    }
    template <class F>
    std::invoke_result_t<F&, const Formatted<DecodedText>&> visit(F&& f) const {
        return const_cast<ModelSlot*>(this)->visit(
            [&f](auto& x) -> std::invoke_result_t<F&, const Formatted<DecodedText>&> { return f(std::as_const(x)); });
    }

private:
    union {
        NoneSlot none_;
        Formatted<DecodedText> string_;
        Formatted<int64_t> integer_;
        Formatted<double> float_;
        Formatted<bool> boolean_;
        Formatted<Datetime> datetime_;
        Array array_;
        InlineTable inline_table_;
        Table table_;
        ArrayOfTables tables_;
    };

    template <class T>
    static constexpr SlotKind kind_of() noexcept {
        if constexpr (std::is_same_v<T, NoneSlot>) {
            return SlotKind::None;
        } else if constexpr (std::is_same_v<T, Array>) {
            return SlotKind::Array;
        } else if constexpr (std::is_same_v<T, InlineTable>) {
            return SlotKind::InlineTable;
        } else if constexpr (std::is_same_v<T, Table>) {
            return SlotKind::Table;
        } else if constexpr (std::is_same_v<T, ArrayOfTables>) {
            return SlotKind::ArrayOfTables;
        } else {
            return kFormattedKind<decltype(T::value)>;
        }
    }
    template <class T>
    T& member() noexcept {
        if constexpr (std::is_same_v<T, NoneSlot>) {
            return none_;
        } else if constexpr (std::is_same_v<T, Formatted<DecodedText>>) {
            return string_;
        } else if constexpr (std::is_same_v<T, Formatted<int64_t>>) {
            return integer_;
        } else if constexpr (std::is_same_v<T, Formatted<double>>) {
            return float_;
        } else if constexpr (std::is_same_v<T, Formatted<bool>>) {
            return boolean_;
        } else if constexpr (std::is_same_v<T, Formatted<Datetime>>) {
            return datetime_;
        } else if constexpr (std::is_same_v<T, Array>) {
            return array_;
        } else if constexpr (std::is_same_v<T, InlineTable>) {
            return inline_table_;
        } else if constexpr (std::is_same_v<T, Table>) {
            return table_;
        } else {
            return tables_;
        }
    }
    template <class T, class... Args>
    T& construct(Args&&... args) {
        return *::new (static_cast<void*>(&member<T>())) T(std::forward<Args>(args)...);
    }
    template <class F>
    void visit_any(F&& f) {
        // One switch over every kind: moves and destruction dispatch once.
        switch (kind()) {
            case SlotKind::String:
                return f(string_);
            case SlotKind::Integer:
                return f(integer_);
            case SlotKind::Float:
                return f(float_);
            case SlotKind::Boolean:
                return f(boolean_);
            case SlotKind::Datetime:
                return f(datetime_);
            case SlotKind::Array:
                return f(array_);
            case SlotKind::InlineTable:
                return f(inline_table_);
            case SlotKind::Table:
                return f(table_);
            case SlotKind::ArrayOfTables:
                return f(tables_);
            default:
                return f(none_);
        }
    }
    template <class F>
    void visit_any(F&& f) const {
        const_cast<ModelSlot*>(this)->visit_any([&f](auto& x) { f(std::as_const(x)); });
    }
    void destroy() noexcept {
        visit_any([](auto& x) {
            using T = std::remove_cvref_t<decltype(x)>;
            x.~T();
        });
    }
};

struct Value {
    ModelSlot v;

    Value() = default;
    template <class T>
        requires kIsValueAlternative<std::remove_cvref_t<T>>
    Value(T&& x) : v(std::forward<T>(x)) {}

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

    Formatted<DecodedText>* as_string() { return v.get_if<Formatted<DecodedText>>(); }
    const Formatted<DecodedText>* as_string() const { return v.get_if<Formatted<DecodedText>>(); }
    Formatted<int64_t>* as_integer() { return v.get_if<Formatted<int64_t>>(); }
    const Formatted<int64_t>* as_integer() const { return v.get_if<Formatted<int64_t>>(); }
    Formatted<double>* as_float() { return v.get_if<Formatted<double>>(); }
    const Formatted<double>* as_float() const { return v.get_if<Formatted<double>>(); }
    Formatted<bool>* as_boolean() { return v.get_if<Formatted<bool>>(); }
    const Formatted<bool>* as_boolean() const { return v.get_if<Formatted<bool>>(); }
    Formatted<Datetime>* as_datetime() { return v.get_if<Formatted<Datetime>>(); }
    const Formatted<Datetime>* as_datetime() const { return v.get_if<Formatted<Datetime>>(); }
    Array* as_array() { return v.get_if<Array>(); }
    const Array* as_array() const { return v.get_if<Array>(); }
    InlineTable* as_inline_table() { return v.get_if<InlineTable>(); }
    const InlineTable* as_inline_table() const { return v.get_if<InlineTable>(); }

    Decor& decor();
    const Decor& decor() const;
    void decorate(std::string_view prefix, std::string_view suffix) { decor() = Decor(prefix, suffix); }
    // The scalar's repr, or nullptr for arrays and inline tables.
    RawString* repr();
    const RawString* repr() const;
    // Type name used in messages ("string", "integer", ..., "inline table").
    const char* type_name() const;

protected:
    // For Item: a slot holding a table, an array of tables or nothing.
    template <class T>
    Value(std::in_place_t, T&& x) noexcept(std::is_nothrow_constructible_v<ModelSlot, T&&>)
        : v(std::forward<T>(x)) {}
};

// Inline: the parser sets a decor or repr on every value it reads.
inline Decor& Value::decor() {
    return v.visit([](auto& x) -> Decor& { return x.decor; });
}

inline const Decor& Value::decor() const {
    return v.visit([](const auto& x) -> const Decor& { return x.decor; });
}

inline RawString* Value::repr() {
    return v.visit([](auto& x) -> RawString* {
        using T = std::remove_cvref_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Array> || std::is_same_v<T, InlineTable>) {
            return nullptr;
        } else {
            return &x.repr;
        }
    });
}

inline const RawString* Value::repr() const { return const_cast<Value*>(this)->repr(); }

template <class T, class... Args>
    requires std::is_same_v<T, Value>
Value& ModelSlot::emplace(Args&&... args) {
    if constexpr (sizeof...(Args) == 0) {
        emplace<Formatted<DecodedText>>();
    } else {
        Value made(std::forward<Args>(args)...);
        *this = std::move(made.v);
    }
    // A standard-layout Value and its only member are pointer-interconvertible.
    return *reinterpret_cast<Value*>(this);
}

// A model item: None, a Value, a Table or an ArrayOfTables. An item holding
// a value is that Value (its base): an Item takes no more room than a Value.
class Item : private Value {
public:
    using Value::v;

    Item() noexcept : Value(std::in_place, NoneSlot()) {}
    // An item holding an empty string value, to be filled in place.
    explicit Item(std::in_place_t) noexcept {}
    Item(Value&& x) noexcept : Value(std::move(x)) {}
    Item(const Value& x) : Value(x) {}
    Item(Table&& x) : Value(std::in_place, std::move(x)) {}
    Item(const Table& x) : Value(std::in_place, x) {}
    Item(ArrayOfTables&& x) : Value(std::in_place, std::move(x)) {}
    Item(const ArrayOfTables& x) : Value(std::in_place, x) {}
    Item(const Item&) = default;
    Item(Item&&) noexcept = default;
    Item& operator=(const Item&) = default;
    Item& operator=(Item&&) noexcept = default;
    ~Item() = default;

    ItemKind kind() const {
        switch (v.kind()) {
            case SlotKind::Table:
                return ItemKind::Table;
            case SlotKind::ArrayOfTables:
                return ItemKind::ArrayOfTables;
            case SlotKind::None:
                return ItemKind::None;
            default:
                return ItemKind::Value;
        }
    }
    bool is_none() const { return v.kind() == SlotKind::None; }
    bool is_value() const { return v.kind() < SlotKind::Table; }
    bool is_table() const { return v.kind() == SlotKind::Table; }
    bool is_array_of_tables() const { return v.kind() == SlotKind::ArrayOfTables; }

    Value* as_value() { return is_value() ? static_cast<Value*>(this) : nullptr; }
    const Value* as_value() const { return is_value() ? static_cast<const Value*>(this) : nullptr; }
    Table* as_table() { return v.get_if<Table>(); }
    const Table* as_table() const { return v.get_if<Table>(); }
    ArrayOfTables* as_array_of_tables() { return v.get_if<ArrayOfTables>(); }
    const ArrayOfTables* as_array_of_tables() const { return v.get_if<ArrayOfTables>(); }

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

// The layout the slot relies on: every alternative is standard-layout with
// `slot_kind` at the front, the largest take 56 bytes, and an Item is no
// larger than a Value.
static_assert(std::is_standard_layout_v<Formatted<DecodedText>> && std::is_standard_layout_v<Formatted<int64_t>> &&
              std::is_standard_layout_v<Formatted<double>> && std::is_standard_layout_v<Formatted<bool>> &&
              std::is_standard_layout_v<Formatted<Datetime>> && std::is_standard_layout_v<Array> &&
              std::is_standard_layout_v<InlineTable> && std::is_standard_layout_v<Table> &&
              std::is_standard_layout_v<ArrayOfTables> && std::is_standard_layout_v<NoneSlot> &&
              std::is_standard_layout_v<Value>);
static_assert(offsetof(Formatted<DecodedText>, slot_kind) == 0 && offsetof(Formatted<Datetime>, slot_kind) == 0 &&
              offsetof(Array, slot_kind) == 0 && offsetof(InlineTable, slot_kind) == 0 &&
              offsetof(Table, slot_kind) == 0 && offsetof(ArrayOfTables, slot_kind) == 0);
static_assert(sizeof(Value) == 56 && sizeof(Item) == 56 && sizeof(Key) == 32);

inline Array::Array() noexcept = default;
inline Array::Array(const Array&) = default;
inline Array::Array(Array&&) noexcept = default;
inline Array& Array::operator=(const Array&) = default;
inline Array& Array::operator=(Array&&) noexcept = default;
inline Array::~Array() = default;
inline size_t Array::len() const { return values.size(); }
inline bool Array::is_empty() const { return values.empty(); }

inline ArrayOfTables::ArrayOfTables() noexcept = default;
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
