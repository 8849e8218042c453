#include "convert/equality.hpp"

#include <string>

#include "convert/item.hpp"
#include "convert/item_ops.hpp"
#include "edits/dict_update.hpp"
#include "glue/datetime_api.hpp"

namespace quillon {

namespace {

// ---- document against document ----

int offset_minutes(const toml::Offset& o) { return o.is_z ? 0 : o.minutes; }

// Absent seconds and fractions count as zero, and Z as +00:00, so that
// 07:32 == 07:32:00 == 07:32:00.0.
bool datetimes_eq(const toml::Datetime& a, const toml::Datetime& b) {
    if (a.date.has_value() != b.date.has_value()) return false;
    if (a.date && !(*a.date == *b.date)) return false;
    if (a.time.has_value() != b.time.has_value()) return false;
    if (a.time) {
        const toml::Time &x = *a.time, &y = *b.time;
        if (x.hour != y.hour || x.minute != y.minute) return false;
        if (x.second.value_or(0) != y.second.value_or(0)) return false;
        if (x.nanosecond.value_or(0) != y.nanosecond.value_or(0)) return false;
    }
    if (a.offset.has_value() != b.offset.has_value()) return false;
    return !a.offset || offset_minutes(*a.offset) == offset_minutes(*b.offset);
}

bool arrays_eq(const toml::Array& a, const toml::Array& b) {
    if (a.values.size() != b.values.size()) return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const toml::Value* x = a.values[i].as_value();
        const toml::Value* y = b.values[i].as_value();
        if (!x || !y || !values_structural_eq(*x, *y)) return false;
    }
    return true;
}

bool inline_tables_eq(const toml::InlineTable& a, const toml::InlineTable& b) {
    if (a.len() != b.len()) return false;
    for (const toml::Entry& e : a.items.entries()) {
        const toml::Value* x = e.item.as_value();
        if (!x) continue;  // placeholder
        const toml::Item* other = b.items.get(e.key.key);
        const toml::Value* y = other ? other->as_value() : nullptr;
        if (!y || !values_structural_eq(*x, *y)) return false;
    }
    return true;
}

// ---- document against Python ----

Result<bool> python_eq(PyObject* a, PyObject* b) {
    PyRef r(PyObject_RichCompare(a, b, Py_EQ));
    if (!r) return Error::fetch();
    int truth = PyObject_IsTrue(r.get());
    if (truth < 0) return Error::fetch();
    return truth == 1;
}

// Compares the visible entries of a table or inline table with a mapping:
// same len() (its error returned), then `compare(entry item, obj[key])` for
// each entry in order. A failing lookup makes the answer false.
template <class Compare>
Result<bool> mapping_eq(const toml::EntryMap& entries, PyObject* obj, Compare&& compare) {
    Py_ssize_t n = PyObject_Size(obj);
    if (n < 0) return Error::fetch();
    if (static_cast<size_t>(n) != entries.len()) return false;
    for (const toml::Entry& e : entries.entries()) {
        if (e.item.is_none()) continue;
        PyRef key(PyUnicode_FromStringAndSize(e.key.key.data(), static_cast<Py_ssize_t>(e.key.key.size())));
        if (!key) return Error::fetch();
        PyRef found(PyObject_GetItem(obj, key.get()));
        if (!found) {
            PyErr_Clear();
            return false;
        }
        Result<bool> eq = compare(e.item, found.get());
        if (!eq || !*eq) return eq;
    }
    return true;
}

// Compares each element of a list (or subclass) with `compare`, in order;
// anything but a list of the same length is unequal.
template <class Compare>
Result<bool> list_eq(const std::vector<toml::Item>& elements, PyObject* obj, Compare&& compare) {
    if (!PyList_Check(obj)) return false;
    if (static_cast<size_t>(PyList_GET_SIZE(obj)) != elements.size()) return false;
    for (size_t i = 0; i < elements.size(); ++i) {
        // An element's __eq__ may have shortened the list meanwhile.
        if (static_cast<Py_ssize_t>(i) >= PyList_GET_SIZE(obj)) return false;
        PyRef el = PyRef::borrow(PyList_GET_ITEM(obj, static_cast<Py_ssize_t>(i)));
        Result<bool> eq = compare(elements[i], el.get());
        if (!eq || !*eq) return eq;
    }
    return true;
}

// Runs `compare` on the model item that an Item argument designates.
template <class Compare>
Result<bool> with_referenced(PyObject* obj, Compare&& compare) {
    auto ref = ReferencedItem::open(as_proxy(obj));
    QUILLON_TRY(ref);
    return compare(ref->item());
}

Result<bool> integer_eq(int64_t value, PyObject* obj) {
    if (PyBool_Check(obj)) return false;
    if (PyLong_Check(obj) || PyIndex_Check(obj)) {
        PyRef as_int(PyNumber_Index(obj));
        if (as_int) {
            int overflow = 0;
            long long v = PyLong_AsLongLongAndOverflow(as_int.get(), &overflow);
            if (!(v == -1 && PyErr_Occurred()) && overflow == 0) return static_cast<int64_t>(v) == value;
        }
        PyErr_Clear();
    }
    PyRef mine(PyLong_FromLongLong(value));
    if (!mine) return Error::fetch();
    return python_eq(mine.get(), obj);
}

Result<bool> float_eq(double value, PyObject* obj) {
    if (PyBool_Check(obj)) return false;
    if (PyFloat_CheckExact(obj)) return value == PyFloat_AS_DOUBLE(obj);
    PyRef mine(PyFloat_FromDouble(value));
    if (!mine) return Error::fetch();
    return python_eq(mine.get(), obj);
}

Result<bool> string_eq(std::string_view value, PyObject* obj) {
    if (!PyUnicode_Check(obj)) return false;
    Py_ssize_t n = 0;
    const char* s = PyUnicode_AsUTF8AndSize(obj, &n);
    if (!s) {
        PyErr_Clear();  // not encodable: cannot equal a TOML string
        return false;
    }
    return std::string_view(s, static_cast<size_t>(n)) == value;
}

Result<bool> datetime_eq(const toml::Datetime& dt, PyObject* obj) {
    if (!datetime_api_ready()) return Error::fetch();
    if (PyDateTime_Check(obj)) {
        auto mine = datetime_to_py(dt);
        QUILLON_TRY(mine);
        return python_eq(mine->get(), obj);
    }
    if (PyDate_Check(obj)) {
        if (!dt.date || dt.time || dt.offset) return false;
        return dt.date->year == PyDateTime_GET_YEAR(obj) && dt.date->month == PyDateTime_GET_MONTH(obj) &&
               dt.date->day == PyDateTime_GET_DAY(obj);
    }
    if (PyTime_Check(obj)) {
        if (!dt.time || dt.date || dt.offset) return false;
        if (PyDateTime_TIME_GET_TZINFO(obj) != Py_None) return false;
        const toml::Time& t = *dt.time;
        return t.hour == PyDateTime_TIME_GET_HOUR(obj) && t.minute == PyDateTime_TIME_GET_MINUTE(obj) &&
               t.second.value_or(0) == PyDateTime_TIME_GET_SECOND(obj) &&
               static_cast<long long>(t.nanosecond.value_or(0)) ==
                   static_cast<long long>(PyDateTime_TIME_GET_MICROSECOND(obj)) * 1000;
    }
    return false;
}

// A value against what an Item designates.
bool value_vs_item(const toml::Value& value, const toml::Item& other) {
    switch (other.kind()) {
        case toml::ItemKind::Value:
            return values_structural_eq(value, *other.as_value());
        case toml::ItemKind::Table:
            return value.as_inline_table() && table_inline_eq(*other.as_table(), *value.as_inline_table());
        case toml::ItemKind::ArrayOfTables:
            return value.as_array() && aot_array_eq(*other.as_array_of_tables(), *value.as_array());
        case toml::ItemKind::None:
            return false;
    }
    return false;
}

// A table against what an Item designates.
bool table_vs_item(const toml::Table& table, const toml::Item& other) {
    if (const toml::Table* t = other.as_table()) return tables_structural_eq(table, *t);
    const toml::Value* v = other.as_value();
    if (const toml::InlineTable* it = v ? v->as_inline_table() : nullptr) return table_inline_eq(table, *it);
    return false;
}

}  // namespace

bool items_structural_eq(const toml::Item& a, const toml::Item& b) {
    switch (a.kind()) {
        case toml::ItemKind::None:
            return false;
        case toml::ItemKind::Value:
            return value_vs_item(*a.as_value(), b);
        case toml::ItemKind::Table:
            return table_vs_item(*a.as_table(), b);
        case toml::ItemKind::ArrayOfTables: {
            const toml::ArrayOfTables& x = *a.as_array_of_tables();
            if (const toml::Value* v = b.as_value()) return v->as_array() && aot_array_eq(x, *v->as_array());
            const toml::ArrayOfTables* y = b.as_array_of_tables();
            if (!y || x.values.size() != y->values.size()) return false;
            for (size_t i = 0; i < x.values.size(); ++i) {
                const toml::Table* p = x.values[i].as_table();
                const toml::Table* q = y->values[i].as_table();
                if (!p || !q || !tables_structural_eq(*p, *q)) return false;
            }
            return true;
        }
    }
    return false;
}

bool tables_structural_eq(const toml::Table& a, const toml::Table& b) {
    if (a.len() != b.len()) return false;
    for (const toml::Entry& e : a.items.entries()) {
        if (e.item.is_none()) continue;
        const toml::Item* other = b.items.get(e.key.key);
        if (!other || !items_structural_eq(e.item, *other)) return false;
    }
    return true;
}

bool values_structural_eq(const toml::Value& a, const toml::Value& b) {
    if (a.kind() != b.kind()) return false;
    switch (a.kind()) {
        case toml::ValueKind::String:
            return a.as_string()->value == b.as_string()->value;
        case toml::ValueKind::Integer:
            return a.as_integer()->value == b.as_integer()->value;
        case toml::ValueKind::Float:
            return a.as_float()->value == b.as_float()->value;
        case toml::ValueKind::Boolean:
            return a.as_boolean()->value == b.as_boolean()->value;
        case toml::ValueKind::Datetime:
            return datetimes_eq(a.as_datetime()->value, b.as_datetime()->value);
        case toml::ValueKind::Array:
            return arrays_eq(*a.as_array(), *b.as_array());
        case toml::ValueKind::InlineTable:
            return inline_tables_eq(*a.as_inline_table(), *b.as_inline_table());
    }
    return false;
}

bool table_inline_eq(const toml::Table& table, const toml::InlineTable& inline_table) {
    if (table.len() != inline_table.len()) return false;
    for (const toml::Entry& e : table.items.entries()) {
        if (e.item.is_none()) continue;
        const toml::Item* other = inline_table.items.get(e.key.key);
        const toml::Value* v = other ? other->as_value() : nullptr;
        if (!v) return false;
        bool eq = false;
        if (const toml::Value* mine = e.item.as_value()) {
            eq = values_structural_eq(*mine, *v);
        } else if (const toml::Table* sub = e.item.as_table()) {
            eq = v->as_inline_table() && table_inline_eq(*sub, *v->as_inline_table());
        } else if (const toml::ArrayOfTables* aot = e.item.as_array_of_tables()) {
            eq = v->as_array() && aot_array_eq(*aot, *v->as_array());
        }
        if (!eq) return false;
    }
    return true;
}

bool aot_array_eq(const toml::ArrayOfTables& tables, const toml::Array& array) {
    if (tables.values.size() != array.values.size()) return false;
    for (size_t i = 0; i < tables.values.size(); ++i) {
        const toml::Table* t = tables.values[i].as_table();
        const toml::Value* v = array.values[i].as_value();
        const toml::InlineTable* it = v ? v->as_inline_table() : nullptr;
        if (!t || !it || !table_inline_eq(*t, *it)) return false;
    }
    return true;
}

Result<bool> item_eq(const toml::Item& item, PyObject* obj) {
    if (is_item_proxy(obj))
        return with_referenced(obj, [&](const toml::Item& other) -> Result<bool> {
            return items_structural_eq(item, other);
        });
    switch (item.kind()) {
        case toml::ItemKind::Table:
            return table_eq(*item.as_table(), obj);
        case toml::ItemKind::ArrayOfTables:
            return list_eq(item.as_array_of_tables()->values, obj,
                           [](const toml::Item& table, PyObject* el) -> Result<bool> {
                               const toml::Table* t = table.as_table();
                               if (!t) return false;
                               return table_eq(*t, el);
                           });
        case toml::ItemKind::Value:
            return value_eq(*item.as_value(), obj);
        case toml::ItemKind::None:
            return false;
    }
    return false;
}

Result<bool> table_eq(const toml::Table& table, PyObject* obj) {
    if (is_item_proxy(obj))
        return with_referenced(obj, [&](const toml::Item& other) -> Result<bool> {
            return table_vs_item(table, other);
        });
    if (!is_mapping_like(obj)) return false;
    return mapping_eq(table.items, obj, [](const toml::Item& mine, PyObject* found) { return item_eq(mine, found); });
}

Result<bool> value_eq(const toml::Value& value, PyObject* obj) {
    if (is_item_proxy(obj))
        return with_referenced(obj, [&](const toml::Item& other) -> Result<bool> {
            return value_vs_item(value, other);
        });
    switch (value.kind()) {
        case toml::ValueKind::String:
            return string_eq(value.as_string()->value, obj);
        case toml::ValueKind::Integer:
            return integer_eq(value.as_integer()->value, obj);
        case toml::ValueKind::Float:
            return float_eq(value.as_float()->value, obj);
        case toml::ValueKind::Boolean:
            return PyBool_Check(obj) && (obj == Py_True) == value.as_boolean()->value;
        case toml::ValueKind::Datetime:
            return datetime_eq(value.as_datetime()->value, obj);
        case toml::ValueKind::Array:
            return list_eq(value.as_array()->values, obj, [](const toml::Item& el, PyObject* other) -> Result<bool> {
                const toml::Value* v = el.as_value();
                if (!v) return false;
                return value_eq(*v, other);
            });
        case toml::ValueKind::InlineTable:
            if (!is_mapping_like(obj)) return false;
            return mapping_eq(value.as_inline_table()->items, obj,
                              [](const toml::Item& mine, PyObject* found) -> Result<bool> {
                                  const toml::Value* v = mine.as_value();
                                  if (!v) return false;
                                  return value_eq(*v, found);
                              });
    }
    return false;
}

PyObject* negated_eq(PyObject* a, PyObject* b) {
    PyRef eq(PyObject_RichCompare(a, b, Py_EQ));
    if (!eq) return nullptr;
    int truth = PyObject_IsTrue(eq.get());
    if (truth < 0) return nullptr;
    return PyBool_FromLong(!truth);
}

}  // namespace quillon
