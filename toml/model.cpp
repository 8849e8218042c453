// Value accessors, arrays, arrays of tables and model-item access.
#include <string>

#include "model.hpp"
#include "serializer.hpp"

namespace toml {

// ---- Value ---------------------------------------------------------------

const char* Value::type_name() const {
    static constexpr const char* kNames[] = {"string",   "integer", "float",       "boolean",
                                             "datetime", "array",   "inline table"};
    return kNames[v.index()];
}

// ---- Array ---------------------------------------------------------------

namespace {

[[noreturn]] void non_value_in_array(const Item& item) {
    throw InvariantError("non-value item " + debug_form(item) + " in an array");
}

[[noreturn]] void non_table_in_array_of_tables(const Item& item) {
    throw InvariantError("non-table item " + debug_form(item) + " in an array of tables");
}

std::ptrdiff_t at(size_t i) { return static_cast<std::ptrdiff_t>(i); }

}  // namespace

Value& Array::get(size_t i) {
    Value* v = values[i].as_value();
    if (!v) non_value_in_array(values[i]);
    return *v;
}

const Value& Array::get(size_t i) const { return const_cast<Array*>(this)->get(i); }

void Array::push_formatted(Value v) { values.emplace_back(std::move(v)); }

void Array::insert_formatted(size_t i, Value v) { values.emplace(values.begin() + at(i), std::move(v)); }

Value Array::replace(size_t i, Value v) {
    v.decor() = get(i).decor();
    return replace_formatted(i, std::move(v));
}

Value Array::replace_formatted(size_t i, Value v) {
    std::swap(get(i), v);
    return v;
}

Value Array::remove(size_t i) {
    Item old = std::move(values[i]);
    values.erase(values.begin() + at(i));
    Value* v = old.as_value();
    if (!v) non_value_in_array(old);
    return std::move(*v);
}

void Array::clear() { values.clear(); }

void Array::fmt() {
    for (size_t i = 0; i < values.size(); ++i) {
        get(i).decor() = Decor(i == 0 ? "" : " ", "");
    }
    trailing_comma = false;
    trailing = RawString::empty();
}

// ---- ArrayOfTables -------------------------------------------------------

Table& ArrayOfTables::get(size_t i) {
    Table* t = values[i].as_table();
    if (!t) non_table_in_array_of_tables(values[i]);
    return *t;
}

const Table& ArrayOfTables::get(size_t i) const { return const_cast<ArrayOfTables*>(this)->get(i); }

void ArrayOfTables::push(Table t) { values.emplace_back(std::move(t)); }

void ArrayOfTables::insert(size_t i, Table t) { values.emplace(values.begin() + at(i), std::move(t)); }

Table ArrayOfTables::remove(size_t i) {
    Item old = std::move(values[i]);
    values.erase(values.begin() + at(i));
    Table* t = old.as_table();
    if (!t) throw InvariantError("cannot have any other item in an array-of-tables");
    return std::move(*t);
}

Table ArrayOfTables::replace(size_t i, Table t) {
    std::swap(get(i), t);
    return t;
}

// ---- Item ----------------------------------------------------------------

EntryMap* Item::table_like() {
    if (Table* t = as_table()) return &t->items;
    if (Value* v = as_value()) {
        if (InlineTable* it = v->as_inline_table()) return &it->items;
    }
    return nullptr;
}

const EntryMap* Item::table_like() const { return const_cast<Item*>(this)->table_like(); }

bool Item::is_array_like() const {
    if (is_array_of_tables()) return true;
    const Value* v = as_value();
    return v && v->is_array();
}

Item* Item::get(std::string_view key) {
    EntryMap* m = table_like();
    return m ? m->get(key) : nullptr;
}

const Item* Item::get(std::string_view key) const {
    const EntryMap* m = table_like();
    return m ? m->get(key) : nullptr;
}

Item* Item::index_mut(std::string_view key) {
    if (is_none()) v.emplace<InlineTable>();
    EntryMap* m = table_like();
    return m ? &m->index_mut(key) : nullptr;
}

// ---- debug form ----------------------------------------------------------

std::string debug_form(const Item& item) {
    switch (item.kind()) {
        case ItemKind::None:
            return "None";
        case ItemKind::Value: {
            const Value& v = *item.as_value();
            std::string out = "Value(";
            out += v.type_name();
            out += ": ";
            render_value(v, out);
            out += ')';
            return out;
        }
        case ItemKind::Table: {
            const Table& t = *item.as_table();
            return "Table(" + std::to_string(t.items.len()) + " entries" + (t.implicit ? ", implicit" : "") +
                   (t.dotted ? ", dotted" : "") + ")";
        }
        case ItemKind::ArrayOfTables:
            return "ArrayOfTables(" + std::to_string(item.as_array_of_tables()->len()) + " tables)";
    }
    return "?";
}

}  // namespace toml
