#include "convert/value.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/item.hpp"
#include "glue/datetime_api.hpp"
#include "glue/key_errors.hpp"
#include "glue/py_iterate.hpp"
#include "glue/py_pairs.hpp"
#include "refs/nesting_guard.hpp"
#include "refs/paths.hpp"

namespace quillon {

namespace {

// `type(obj).__name__`, or "?" when it cannot be read.
std::string type_name(PyObject* obj) {
    PyRef name(PyType_GetName(Py_TYPE(obj)));
    if (name) {
        Py_ssize_t n = 0;
        const char* s = PyUnicode_AsUTF8AndSize(name.get(), &n);
        if (s) return std::string(s, static_cast<size_t>(n));
    }
    PyErr_Clear();
    return "?";
}

Error could_not_convert(PyObject* obj) {
    return Error::type_error("Could not convert object of type '" + type_name(obj) + "' to TOML value");
}

Error not_a_mapping(PyObject* obj) {
    return Error::type_error(std::string("'") + Py_TYPE(obj)->tp_name + "' object is not a mapping");
}

// Exact built-in types that are never mappings; spares the abc lookup.
bool is_plain_non_mapping(PyObject* obj) {
    return PyUnicode_CheckExact(obj) || PyLong_CheckExact(obj) || PyFloat_CheckExact(obj) ||
           PyBool_Check(obj) || obj == Py_None || PyList_CheckExact(obj) || PyTuple_CheckExact(obj);
}

Result<std::string_view> utf8_view(PyObject* str) {
    Py_ssize_t n = 0;
    const char* s = PyUnicode_AsUTF8AndSize(str, &n);
    if (!s) return Error::fetch();
    return std::string_view(s, static_cast<size_t>(n));
}

Result<toml::Value> string_value(PyObject* obj) {
    auto text = utf8_view(obj);
    QUILLON_TRY(text);
    return toml::Value::string(std::string(*text));
}

Result<toml::Value> integer_value(PyObject* obj) {
    long long v = PyLong_AsLongLong(obj);
    if (v == -1 && PyErr_Occurred()) return Error::fetch();
    return toml::Value::integer(static_cast<int64_t>(v));
}

// Offset in minutes from `obj.utcoffset()`; nullopt for a naive object.
Result<std::optional<int16_t>> utcoffset_minutes(PyObject* obj) {
    // The built-in types answer None without a tzinfo; only subclasses may
    // override utcoffset().
    if ((PyDateTime_CheckExact(obj) && PyDateTime_DATE_GET_TZINFO(obj) == Py_None) ||
        (PyTime_CheckExact(obj) && PyDateTime_TIME_GET_TZINFO(obj) == Py_None))
        return std::optional<int16_t>();
    PyRef off(PyObject_CallMethod(obj, "utcoffset", nullptr));
    if (!off) return Error::fetch();
    if (off.get() == Py_None) return std::optional<int16_t>();
    if (!PyDelta_Check(off.get()))
        return Error::type_error("utcoffset() must return None or timedelta, not '" + type_name(off.get()) + "'");
    // days * 1440 + seconds // 60: the timedelta's seconds are normalised to
    // [0, 86400), so the division floors towards the past.
    long long minutes = static_cast<long long>(PyDateTime_DELTA_GET_DAYS(off.get())) * 1440 +
                        PyDateTime_DELTA_GET_SECONDS(off.get()) / 60;
    // TOML offsets have two-digit hours; anything wider would render as text
    // that no TOML reader accepts.
    if (minutes <= -1440 || minutes >= 1440)
        return Error::value_error("UTC offset out of range for TOML: must be strictly between -24:00 and +24:00");
    // Dropping seconds would name another instant.
    if (PyDateTime_DELTA_GET_SECONDS(off.get()) % 60 != 0 || PyDateTime_DELTA_GET_MICROSECONDS(off.get()) != 0)
        return Error::value_error("UTC offset not representable in TOML: must be a whole number of minutes");
    return std::optional<int16_t>(static_cast<int16_t>(minutes));
}

toml::Time time_fields(int hour, int minute, int second, int microsecond) {
    toml::Time t;
    t.hour = static_cast<uint8_t>(hour);
    t.minute = static_cast<uint8_t>(minute);
    t.second = static_cast<uint8_t>(second);
    if (microsecond != 0) t.nanosecond = static_cast<uint32_t>(microsecond) * 1000u;
    return t;
}

toml::Date date_fields(PyObject* obj) {
    toml::Date d;
    d.year = static_cast<uint16_t>(PyDateTime_GET_YEAR(obj));
    d.month = static_cast<uint8_t>(PyDateTime_GET_MONTH(obj));
    d.day = static_cast<uint8_t>(PyDateTime_GET_DAY(obj));
    return d;
}

Result<toml::Value> datetime_value(PyObject* obj, PyDatetimeKind kind) {
    toml::Datetime dt;
    switch (kind) {
        case PyDatetimeKind::Datetime: {
            auto offset = utcoffset_minutes(obj);
            QUILLON_TRY(offset);
            dt.date = date_fields(obj);
            dt.time = time_fields(PyDateTime_DATE_GET_HOUR(obj), PyDateTime_DATE_GET_MINUTE(obj),
                                  PyDateTime_DATE_GET_SECOND(obj), PyDateTime_DATE_GET_MICROSECOND(obj));
            if (*offset) dt.offset = toml::Offset::custom(**offset);
            break;
        }
        case PyDatetimeKind::Date:
            dt.date = date_fields(obj);
            break;
        case PyDatetimeKind::Time: {
            auto offset = utcoffset_minutes(obj);
            QUILLON_TRY(offset);
            if (*offset) return Error::type_error("TOML local times cannot have timezone information");
            dt.time = time_fields(PyDateTime_TIME_GET_HOUR(obj), PyDateTime_TIME_GET_MINUTE(obj),
                                  PyDateTime_TIME_GET_SECOND(obj), PyDateTime_TIME_GET_MICROSECOND(obj));
            break;
        }
        case PyDatetimeKind::Other:
            return could_not_convert(obj);
    }
    return toml::Value::datetime(dt);
}

// Applies `fn` to each element of a list or tuple (or a subclass, through its
// own iterator). The elements of an exact list are re-read by position with
// the current size, as list iteration does, and each is held while in use.
template <class Fn>
Status for_each_element(PyObject* obj, Fn&& fn) {
    if (PyList_CheckExact(obj)) {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(obj); ++i) {
            PyRef el = PyRef::borrow(PyList_GET_ITEM(obj, i));
            Status st = fn(el.get());
            if (!st) return st;
        }
        return ok_status();
    }
    if (PyTuple_CheckExact(obj)) {
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(obj); ++i) {
            Status st = fn(PyTuple_GET_ITEM(obj, i));
            if (!st) return st;
        }
        return ok_status();
    }
    return walk_iterable(obj, fn);
}

// Room to reserve for a list or tuple: its len() (whose error is returned),
// bounded by what its storage really holds.
Result<size_t> sequence_capacity(PyObject* obj) {
    Py_ssize_t n = PyObject_Size(obj);
    if (n < 0) return Error::fetch();
    Py_ssize_t stored = PyList_Check(obj) ? PyList_GET_SIZE(obj) : PyTuple_Check(obj) ? PyTuple_GET_SIZE(obj) : 0;
    return static_cast<size_t>(std::min(n, stored));
}

// (key, value) pairs of a mapping as a snapshot: a dict's own storage
// (bypassing any overridden items()), otherwise list(obj.items()).
struct MappingItems {
    std::vector<std::pair<PyRef, PyRef>> dict_pairs;
    PyRef items_list;
    bool from_dict = false;

    size_t size() const {
        return from_dict ? dict_pairs.size() : static_cast<size_t>(PyList_GET_SIZE(items_list.get()));
    }
};

Result<MappingItems> mapping_items(PyObject* obj) {
    MappingItems out;
    if (PyDict_Check(obj)) {
        out.from_dict = true;
        out.dict_pairs.reserve(static_cast<size_t>(PyDict_GET_SIZE(obj)));
        Py_ssize_t pos = 0;
        PyObject *k, *v;
        while (PyDict_Next(obj, &pos, &k, &v)) out.dict_pairs.emplace_back(PyRef::borrow(k), PyRef::borrow(v));
        return out;
    }
    PyRef items(PyObject_CallMethod(obj, "items", nullptr));
    if (!items) return Error::fetch();
    out.items_list.reset(PySequence_List(items.get()));
    if (!out.items_list) return Error::fetch();
    return out;
}

// Converts the entries of mapping `obj` into `map`, values through `convert`
// (PyObject* -> Result<toml::Item>). A key that comes twice keeps its first
// position and takes the last value.
template <class Convert>
Status fill_entries(PyObject* obj, toml::EntryMap& map, Convert&& convert) {
    if (!PyDict_Check(obj) && !is_mapping(obj)) return not_a_mapping(obj);
    auto level = ConvertingLevel::enter();
    QUILLON_TRY(level);
    // len() is asked for as the protocol requires; the snapshot gives the count.
    if (!PyDict_Check(obj) && PyObject_Size(obj) < 0) return Error::fetch();
    auto items = mapping_items(obj);
    QUILLON_TRY(items);

    const size_t n = items->size();
    map.entries().reserve(n);
    // Distinct exact str keys of one dict have distinct texts, so they can be
    // appended without a lookup until some other kind of key shows up.
    bool keys_unique = items->from_dict;
    for (size_t i = 0; i < n; ++i) {
        PyRef key, value;
        if (items->from_dict) {
            key = items->dict_pairs[i].first;
            value = items->dict_pairs[i].second;
        } else {
            auto pair = extract_pair(PyList_GET_ITEM(items->items_list.get(), static_cast<Py_ssize_t>(i)));
            QUILLON_TRY(pair);
            key = std::move(pair->first);
            value = std::move(pair->second);
        }

        std::string key_text;
        if (PyUnicode_Check(key.get())) {
            auto text = utf8_view(key.get());
            QUILLON_TRY(text);
            key_text.assign(*text);
            if (!PyUnicode_CheckExact(key.get())) keys_unique = false;
        } else {
            auto text = extract_key_str(key.get());
            QUILLON_TRY(text);
            if (!*text) return keys_must_be_strings();
            key_text = std::move(**text);
            keys_unique = false;
        }

        Result<toml::Item> item = convert(value.get());
        QUILLON_TRY(item);
        if (keys_unique)
            map.push_back(toml::Key(std::move(key_text)), std::move(*item));
        else
            map.insert(key_text, std::move(*item));
    }
    return ok_status();
}

}  // namespace

PyRef mapping_abc() {
    PyRef name(PyUnicode_FromString("collections.abc"));
    if (!name) return PyRef();
    // A sys.modules lookup first: a full import costs far more.
    PyRef module(PyImport_GetModule(name.get()));
    if (!module && !PyErr_Occurred()) module.reset(PyImport_Import(name.get()));
    if (!module) return PyRef();
    return PyRef(PyObject_GetAttrString(module.get(), "Mapping"));
}

bool is_mapping(PyObject* obj) {
    if (PyDict_Check(obj)) return true;
    if (is_plain_non_mapping(obj)) return false;
    if (datetime_api_ready() && (PyDateTime_CheckExact(obj) || PyDate_CheckExact(obj) || PyTime_CheckExact(obj)))
        return false;
    PyErr_Clear();
    PyRef mapping_class = mapping_abc();
    int r = mapping_class ? PyObject_IsInstance(obj, mapping_class.get()) : -1;
    if (r < 0) {
        PyErr_WriteUnraisable(obj);
        return false;
    }
    return r == 1;
}

Result<PyDatetimeKind> py_datetime_kind(PyObject* obj) {
    if (!datetime_api_ready()) return Error::fetch();
    if (PyDateTime_Check(obj)) return PyDatetimeKind::Datetime;
    if (PyDate_Check(obj)) return PyDatetimeKind::Date;
    if (PyTime_Check(obj)) return PyDatetimeKind::Time;
    return PyDatetimeKind::Other;
}

Result<toml::Value> extract_value(PyObject* obj) {
    // Exact built-in types: none of them is a datetime or a mapping.
    if (PyUnicode_CheckExact(obj)) return string_value(obj);
    if (PyLong_CheckExact(obj)) return integer_value(obj);
    if (PyFloat_CheckExact(obj)) return toml::Value::floating(PyFloat_AS_DOUBLE(obj));
    if (PyBool_Check(obj)) return toml::Value::boolean(obj == Py_True);
    if (PyDict_CheckExact(obj)) {
        auto table = extract_inline_table(obj);
        QUILLON_TRY(table);
        return toml::Value(std::move(*table));
    }
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
        auto array = extract_array(obj);
        QUILLON_TRY(array);
        return toml::Value(std::move(*array));
    }
    if (obj == Py_None) return could_not_convert(obj);

    auto kind = py_datetime_kind(obj);
    QUILLON_TRY(kind);
    if (*kind != PyDatetimeKind::Other) return datetime_value(obj, *kind);
    if (PyUnicode_Check(obj)) return string_value(obj);
    if (PyLong_Check(obj)) return integer_value(obj);
    if (PyFloat_Check(obj)) {
        double d = PyFloat_AsDouble(obj);
        if (d == -1.0 && PyErr_Occurred()) return Error::fetch();
        return toml::Value::floating(d);
    }
    if (is_mapping(obj)) {
        auto table = extract_inline_table(obj);
        QUILLON_TRY(table);
        return toml::Value(std::move(*table));
    }
    if (is_list_or_tuple(obj)) {
        auto array = extract_array(obj);
        QUILLON_TRY(array);
        return toml::Value(std::move(*array));
    }
    return could_not_convert(obj);
}

Result<toml::Table> extract_table(PyObject* obj) {
    toml::Table table;
    Status st = fill_entries(obj, table.items, [](PyObject* v) { return extract_item(v); });
    QUILLON_TRY(st);
    return table;
}

Result<toml::InlineTable> extract_inline_table(PyObject* obj) {
    toml::InlineTable table;
    Status st = fill_entries(obj, table.items, [](PyObject* v) -> Result<toml::Item> {
        auto value = extract_value(v);
        QUILLON_TRY(value);
        return toml::Item(std::move(*value));
    });
    QUILLON_TRY(st);
    return table;
}

Result<toml::Array> extract_array(PyObject* obj) {
    auto level = ConvertingLevel::enter();
    QUILLON_TRY(level);
    auto capacity = sequence_capacity(obj);
    QUILLON_TRY(capacity);
    toml::Array array;
    array.values.reserve(*capacity);
    Status st = for_each_element(obj, [&](PyObject* el) -> Status {
        auto value = extract_value(el);
        QUILLON_TRY(value);
        array.values.emplace_back(std::move(*value));
        return ok_status();
    });
    QUILLON_TRY(st);
    return array;
}

Result<toml::ArrayOfTables> extract_array_of_tables(PyObject* obj) {
    // The array of tables is one level, each of its tables another.
    auto level = ConvertingLevel::enter();
    QUILLON_TRY(level);
    auto capacity = sequence_capacity(obj);
    QUILLON_TRY(capacity);
    toml::ArrayOfTables tables;
    tables.values.reserve(*capacity);
    Status st = for_each_element(obj, [&](PyObject* el) -> Status {
        auto table = extract_table(el);
        QUILLON_TRY(table);
        tables.values.emplace_back(std::move(*table));
        return ok_status();
    });
    QUILLON_TRY(st);
    return tables;
}

}  // namespace quillon
