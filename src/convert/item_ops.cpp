#include "convert/item_ops.hpp"

#include <cstring>

#include "convert/equality.hpp"
#include "edits/comments.hpp"
#include "edits/dict_ops.hpp"
#include "edits/list_decor.hpp"
#include "edits/list_ops.hpp"
#include "edits/prefix_parts.hpp"
#include "glue/datetime_api.hpp"
#include "glue/kinds.hpp"
#include "glue/py_new.hpp"
#include "refs/item_proxy.hpp"
#include "refs/paths.hpp"
#include "toml/serializer.hpp"

namespace quillon {
namespace {

// The cyclic garbage collector is paused while a conversion builds its
// objects: collections in between would only walk the new containers over and
// over. No Python code runs meanwhile.
class GcPause {
public:
    GcPause() : was_enabled_(PyGC_Disable() != 0) {}
    ~GcPause() {
        if (was_enabled_) PyGC_Enable();
    }
    GcPause(const GcPause&) = delete;
    GcPause& operator=(const GcPause&) = delete;

private:
    bool was_enabled_;
};

PyObject* new_dict(size_t size) {
#if PY_VERSION_HEX < 0x030D0000
    // Sized up front: no regrowth while the entries go in.
    return _PyDict_NewPresized(static_cast<Py_ssize_t>(size));
#else
    (void)size;
    return PyDict_New();
#endif
}

// PathStep strings of one conversion: documents repeat the same keys in many
// tables, and a key made once also keeps its hash for every dict it goes in.
// Open addressing over (text, str) pairs; the texts belong to the model,
// which outlives the conversion.
class KeyStrings {
public:
    KeyStrings() = default;
    KeyStrings(const KeyStrings&) = delete;
    KeyStrings& operator=(const KeyStrings&) = delete;
    ~KeyStrings() {
        for (const Slot& slot : slots_) Py_XDECREF(slot.str);
    }

    // A new reference to the str for `text`, or nullptr with an error set.
    PyObject* get(std::string_view text) {
        if (text.size() > kLongestShared) return new_str(text);
        if (2 * (used_ + 1) > slots_.size()) grow();
        uint64_t h = hash(text);
        size_t mask = slots_.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.str == nullptr) {
                PyObject* str = new_str(text);
                if (!str) return nullptr;
                slot = Slot{text, h, str};
                ++used_;
                return Py_NewRef(str);
            }
            if (slot.hash == h && slot.text == text) return Py_NewRef(slot.str);
        }
    }

private:
    static constexpr size_t kLongestShared = 64;
    struct Slot {
        std::string_view text;
        uint64_t hash = 0;
        PyObject* str = nullptr;
    };

    static uint64_t hash(std::string_view s) {
        uint64_t h = 0xCBF29CE484222325ull;
        for (unsigned char c : s) h = (h ^ c) * 0x100000001B3ull;
        return h ^ (h >> 29);
    }
    void grow() {
        std::vector<Slot> old(slots_.empty() ? 64 : 2 * slots_.size());
        old.swap(slots_);
        size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (!slot.str) continue;
            size_t i = slot.hash & mask;
            while (slots_[i].str) i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};

// One conversion: plain objects out of a model subtree. Functions return a new
// reference, or nullptr with a Python error set. Fixed-offset timezones are
// made once per offset and shared by the date-times of the conversion.
class Converter {
public:
    ~Converter() {
        for (auto& zone : zones_) Py_DECREF(zone.second);
    }

    PyObject* item(const toml::Item& item) {
        switch (item.kind()) {
            case toml::ItemKind::None:
                return Py_NewRef(Py_None);
            case toml::ItemKind::Value:
                return value(*item.as_value());
            case toml::ItemKind::Table:
                return table(item.as_table()->items);
            case toml::ItemKind::ArrayOfTables:
                return list(item.as_array_of_tables()->values);
        }
        PyErr_SetString(PyExc_SystemError, "unknown item kind");
        return nullptr;
    }

    PyObject* value(const toml::Value& value) {
        switch (value.kind()) {
            case toml::ValueKind::String:
                return text(value.as_string()->value);
            case toml::ValueKind::Integer:
                return PyLong_FromLongLong(value.as_integer()->value);
            case toml::ValueKind::Float:
                return PyFloat_FromDouble(value.as_float()->value);
            case toml::ValueKind::Boolean:
                return Py_NewRef(value.as_boolean()->value ? Py_True : Py_False);
            case toml::ValueKind::Datetime:
                return datetime(value.as_datetime()->value);
            case toml::ValueKind::Array:
                return list(value.as_array()->values);
            case toml::ValueKind::InlineTable:
                return table(value.as_inline_table()->items);
        }
        PyErr_SetString(PyExc_SystemError, "unknown value kind");
        return nullptr;
    }

    PyObject* table(const toml::EntryMap& entries) {
        PyRef dict(new_dict(entries.raw_size()));
        if (!dict) return nullptr;
        for (const toml::Entry& entry : entries.entries()) {
            if (entry.item.is_none()) continue;
            PyRef key(keys_.get(entry.key.key));
            if (!key) return nullptr;
            PyRef converted(item(entry.item));
            if (!converted) return nullptr;
            if (PyDict_SetItem(dict.get(), key.get(), converted.get()) < 0) return nullptr;
        }
        return dict.release();
    }

    PyObject* list(const std::vector<toml::Item>& items) {
        PyRef list(PyList_New(static_cast<Py_ssize_t>(items.size())));
        if (!list) return nullptr;
        Py_ssize_t i = 0;
        for (const toml::Item& element : items) {
            PyObject* converted = item(element);
            if (!converted) return nullptr;
            PyList_SET_ITEM(list.get(), i++, converted);
        }
        return list.release();
    }

    PyObject* datetime(const toml::Datetime& dt) {
        if (!datetime_api_ready()) return nullptr;
        const PyDateTime_CAPI* api = PyDateTimeAPI;
        int second = 0, microsecond = 0;
        if (dt.time) {
            second = dt.time->second.value_or(0);
            microsecond = static_cast<int>(dt.time->nanosecond.value_or(0) / 1000);
        }
        if (dt.date && dt.time) {
            PyObject* tz = Py_None;
            if (dt.offset) {
                tz = zone(dt.offset->is_z ? 0 : dt.offset->minutes * 60);
                if (!tz) return nullptr;
            }
            return api->DateTime_FromDateAndTime(dt.date->year, dt.date->month, dt.date->day, dt.time->hour,
                                                 dt.time->minute, second, microsecond, tz, api->DateTimeType);
        }
        if (dt.date) return api->Date_FromDate(dt.date->year, dt.date->month, dt.date->day, api->DateType);
        if (dt.time) {
            return api->Time_FromTime(dt.time->hour, dt.time->minute, second, microsecond, Py_None,
                                      api->TimeType);
        }
        PyErr_SetString(PyExc_ValueError, "date-time without date and time");
        return nullptr;
    }

private:
    static PyObject* text(std::string_view s) { return new_str(s); }

    // Borrowed: the fixed-offset timezone for `seconds` east of UTC (a zero
    // offset yields the interpreter's UTC singleton).
    PyObject* zone(int seconds) {
        for (auto& known : zones_) {
            if (known.first == seconds) return known.second;
        }
        PyRef delta(PyDateTimeAPI->Delta_FromDelta(0, seconds, 0, 1, PyDateTimeAPI->DeltaType));
        if (!delta) return nullptr;
        PyObject* tz = PyDateTimeAPI->TimeZone_FromTimeZone(delta.get(), nullptr);
        if (!tz) return nullptr;
        zones_.emplace_back(seconds, tz);
        return tz;
    }

    std::vector<std::pair<int, PyObject*>> zones_;
    KeyStrings keys_;
};

}  // namespace

Result<PyRef> datetime_to_py(const toml::Datetime& dt) {
    Converter c;
    return new_ref(c.datetime(dt));
}

Result<PyRef> value_to_py(const toml::Value& value) {
    GcPause pause;
    Converter c;
    return new_ref(c.value(value));
}

Result<PyRef> item_to_py(const toml::Item& item) {
    GcPause pause;
    Converter c;
    return new_ref(c.item(item));
}

Result<PyRef> table_to_pydict(const toml::EntryMap& entries) {
    GcPause pause;
    Converter c;
    return new_ref(c.table(entries));
}

// ---- subscripts ----

namespace {

// The integer a subscript stands for, when it converts to 64 bits.
std::optional<int64_t> subscript_integer(PyObject* obj) {
    PyRef number(PyNumber_Index(obj));
    if (!number) {
        PyErr_Clear();
        return std::nullopt;
    }
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(number.get(), &overflow);
    if (overflow != 0 || (v == -1 && PyErr_Occurred())) {
        PyErr_Clear();
        return std::nullopt;
    }
    return static_cast<int64_t>(v);
}

const char* type_name_or_unknown(PyObject* obj) {
    const char* name = Py_TYPE(obj)->tp_name;
    if (!name) return "?";
    if (const char* dot = std::strrchr(name, '.')) return dot + 1;
    return name;
}

// Position `index` counts from the end when negative; IndexError outside.
Result<size_t> normalise_index(int64_t index, size_t length) {
    int64_t n = static_cast<int64_t>(length);
    int64_t i = index < 0 ? index + n : index;
    if (i < 0 || i >= n) return Error::index_error("index out of range");
    return static_cast<size_t>(i);
}

}  // namespace

Result<Subscript> resolve_subscript_key(PyObject* obj) {
    Subscript sub;
    if (Py_IS_TYPE(obj, &PySlice_Type)) {
        sub.kind = Subscript::Kind::Slice;
        sub.object = PyRef::borrow(obj);
        return sub;
    }
    Result<PyRef> resolved = resolve_proxy(obj);
    QUILLON_TRY(resolved);
    PyObject* key = *resolved ? resolved->get() : obj;
    if (PyUnicode_Check(key)) {
        Py_ssize_t n = 0;
        const char* text = PyUnicode_AsUTF8AndSize(key, &n);
        if (!text) return Error::fetch();
        sub.kind = Subscript::Kind::Str;
        sub.text.assign(text, static_cast<size_t>(n));
        return sub;
    }
    if (std::optional<int64_t> index = subscript_integer(key)) {
        sub.kind = Subscript::Kind::Int;
        sub.index = *index;
        return sub;
    }
    sub.kind = Subscript::Kind::Other;
    sub.object = PyRef::borrow(key);
    return sub;
}

Error subscript_type_error(const toml::Item& item) {
    if (item.is_array_like()) return Error::type_error("TOML array indices must be integers, not strings");
    if (item.is_table_like()) return Error::type_error("TOML table keys must be strings, not integers");
    return Error::type_error(std::string("'") + kind_word(item) + "' is not subscriptable");
}

Error invalid_subscript(PyObject* obj, const toml::Item& item) {
    if (!item.is_table_like()) return invalid_subscript_type(obj);
    PyRef text(PyObject_Repr(obj));
    if (!text) {
        PyErr_Clear();
        text = PyRef(PyUnicode_FromString("?"));
        if (!text) return Error::fetch();
    }
    return Error::with_arg(PyExc_KeyError, std::move(text));
}

Error invalid_subscript_type(PyObject* obj) {
    return Error::type_error(std::string("indices must be integers or strings, not ") + type_name_or_unknown(obj));
}

// ---- kind-dispatching operations ----

Result<std::optional<PathStep>> item_setitem_str(toml::Item& item, std::string_view key, toml::Item new_item) {
    const toml::EntryMap* entries = item.table_like();
    if (!entries) return subscript_type_error(item);
    bool existed = entries->contains_key(key);
    set_with_decor_preservation(item, key, std::move(new_item));
    if (!existed) return std::optional<PathStep>();
    return std::optional<PathStep>(PathStep::str(std::string(key)));
}

Result<PathStep> item_setitem_int(toml::Item& item, int64_t index, toml::Item new_item) {
    if (toml::Value* v = item.as_value(); v && v->is_array()) {
        toml::Array& array = *v->as_array();
        Result<size_t> position = normalise_index(index, array.len());
        QUILLON_TRY(position);
        Result<toml::Value> value = into_value(std::move(new_item));
        QUILLON_TRY(value);
        std::string comment = take_value_inline_comment(*value);
        array.replace(*position, std::move(*value));
        if (!comment.empty()) set_array_inline_comment(array, *position, comment);
        return PathStep::index(*position);
    }
    if (toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        Result<size_t> position = normalise_index(index, aot->len());
        QUILLON_TRY(position);
        Result<toml::Table> table = require_table(std::move(new_item));
        QUILLON_TRY(table);
        const toml::Table& old = aot->get(*position);
        // The replacement keeps the place and the header text of the table it replaces.
        table->decor.prefix = old.decor.prefix.is_present() ? old.decor.prefix : toml::RawString::empty();
        table->doc_position = old.doc_position;
        table->dotted = false;
        aot->replace(*position, std::move(*table));
        return PathStep::index(*position);
    }
    return subscript_type_error(item);
}

Result<PathStep> item_delitem_str(toml::Item& item, std::string_view key) {
    if (!item.is_table_like()) return subscript_type_error(item);
    Status removed = table_remove(item, key);
    QUILLON_TRY(removed);
    keep_emptied_table_visible(item);
    return PathStep::str(std::string(key));
}

Result<Affected> item_delitem_int(toml::Item& item, int64_t index) {
    if (item.is_array_like()) {
        Result<ArrayLike> seq = as_array_like_mut(item, "deletion");
        QUILLON_TRY(seq);
        Result<size_t> position = normalise_index(index, seq->len());
        QUILLON_TRY(position);
        Result<Removed> removed = item_remove_at(*seq, *position);
        QUILLON_TRY(removed);
        return removed->affected;
    }
    if (item.is_table_like()) return Error::key_error(std::to_string(index));
    return subscript_type_error(item);
}

Result<bool> item_contains(const toml::Item& item, PyObject* x) {
    if (const toml::EntryMap* entries = item.table_like()) {
        auto key = extract_key_str(x);
        QUILLON_TRY(key);
        if (!*key) return false;
        return entries->contains_key(**key);
    }
    if (!item.is_array_like()) return unsupported_op(item, "'in'");
    Result<PyRef> resolved = resolve_proxy(x);
    QUILLON_TRY(resolved);
    PyObject* needle = *resolved ? resolved->get() : x;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        for (const toml::Item& member : aot->values) {
            const toml::Table* table = member.as_table();
            if (!table) continue;
            Result<bool> eq = table_eq(*table, needle);
            QUILLON_TRY(eq);
            if (*eq) return true;
        }
        return false;
    }
    for (const toml::Item& element : item.as_value()->as_array()->values) {
        const toml::Value* value = element.as_value();
        if (!value) continue;
        Result<bool> eq = value_eq(*value, needle);
        QUILLON_TRY(eq);
        if (*eq) return true;
    }
    return false;
}

std::optional<size_t> item_len(const toml::Item& item) {
    if (const toml::EntryMap* entries = item.table_like()) return entries->len();
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) return aot->len();
    if (const toml::Value* v = item.as_value(); v && v->is_array()) return v->as_array()->len();
    return std::nullopt;
}

Result<std::variant<std::vector<std::string>, size_t>> item_iter_kind(const toml::Item& item) {
    using Kind = std::variant<std::vector<std::string>, size_t>;
    if (const toml::EntryMap* entries = item.table_like()) {
        std::vector<std::string> keys;
        keys.reserve(entries->raw_size());
        for (const toml::Entry& e : entries->entries()) {
            if (!e.item.is_none()) keys.push_back(e.key.key);
        }
        return Kind(std::move(keys));
    }
    if (std::optional<size_t> n = item_len(item)) return Kind(*n);
    return Error::type_error(std::string("TOML ") + kind_word(item) +
                             " item is not iterable (use .value to get the Python object)");
}

Result<PyRef> item_str(const toml::Item& item) {
    if (const toml::Value* v = item.as_value()) {
        if (const auto* s = v->as_string()) return text_to_str(s->value);
        if (const auto* i = v->as_integer()) {
            return new_ref(PyUnicode_FromFormat("%lld", static_cast<long long>(i->value)));
        }
        if (const auto* b = v->as_boolean()) return new_ref(PyUnicode_FromString(b->value ? "true" : "false"));
    }
    Result<PyRef> plain = item_to_py(item);
    QUILLON_TRY(plain);
    return new_ref(PyObject_Str(plain->get()));
}

std::string item_toml_text(const toml::Item& item) {
    std::string out;
    toml::render_item(item, out);
    std::string_view trimmed = trim_white_space(out);
    return std::string(trimmed);
}

std::string item_repr(const toml::Item& item) {
    std::string out = "Item(";
    out += kind_word(item);
    out += ", ";
    out += item_toml_text(item);
    out += ')';
    return out;
}

Status item_clear(toml::Item& item) {
    if (toml::EntryMap* entries = item.table_like()) {
        entries->clear();
        keep_emptied_table_visible(item);
        return ok_status();
    }
    if (toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        aot->clear();
        return ok_status();
    }
    if (toml::Value* v = item.as_value(); v && v->is_array()) {
        v->as_array()->clear();
        return ok_status();
    }
    return Error::type_error(std::string("'") + kind_word(item) + "' does not support clear()");
}

void keep_emptied_table_visible(toml::Item& item) {
    if (toml::Table* t = item.as_table()) {
        if (!t->is_empty()) return;
        t->dotted = false;
        t->implicit = false;
    } else if (toml::Value* v = item.as_value()) {
        toml::InlineTable* it = v->as_inline_table();
        if (it && it->is_empty()) it->dotted = false;
    }
}

Result<toml::Value> into_value(toml::Item item) {
    const char* word = kind_word(item);
    std::optional<toml::Value> value = std::move(item).into_value();
    if (!value) return Error::type_error(std::string("cannot convert ") + word + " to a TOML value");
    return std::move(*value);
}

}  // namespace quillon
