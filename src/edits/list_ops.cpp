#include "edits/list_ops.hpp"

#include <algorithm>
#include <string>

#include "edits/comments.hpp"
#include "edits/list_decor.hpp"
#include "edits/prefix_parts.hpp"
#include "glue/kinds.hpp"
#include "glue/module_state.hpp"

namespace quillon {

namespace {

Result<toml::Value> convert_to_value(toml::Item item) {
    std::optional<toml::Value> v = std::move(item).into_value();
    if (!v) return Error::type_error("cannot convert none to a TOML value");
    return std::move(*v);
}

// Converts every new item before the sequence is touched, so that a failure
// leaves it unchanged.
Result<std::vector<toml::Value>> convert_all_to_values(std::vector<toml::Item>& items) {
    std::vector<toml::Value> out;
    out.reserve(items.size());
    for (toml::Item& item : items) {
        Result<toml::Value> v = convert_to_value(std::move(item));
        if (!v) return std::move(v.error());
        out.push_back(std::move(*v));
    }
    return out;
}

Result<std::vector<toml::Table>> convert_all_to_tables(std::vector<toml::Item>& items) {
    std::vector<toml::Table> out;
    out.reserve(items.size());
    for (toml::Item& item : items) {
        Result<toml::Table> t = require_table(std::move(item));
        if (!t) return std::move(t.error());
        out.push_back(std::move(*t));
    }
    return out;
}

Error not_an_array(const toml::Item& item, const char* op) {
    return Error::type_error(std::string("'") + kind_word(item) + "' does not support " + op);
}

size_t clamp_bound(int64_t bound, size_t n) {
    auto len = static_cast<int64_t>(n);
    if (bound < 0) bound += len;
    if (bound < 0) return 0;
    if (bound > len) return n;
    return static_cast<size_t>(bound);
}

Affected removal_affected(size_t position, size_t n) {
    if (position + 1 == n) return Affected::one(PathStep::index(position));
    return Affected::range(position, n);
}

// Inline comments of the elements whose slots an edit of [from, to) can touch:
// the element before the edit and those inside it.
CommentWindow comments_around(const toml::Array& array, size_t from, size_t to) {
    return CommentWindow::save(array, from == 0 ? 0 : from - 1, to);
}

// The last element's suffix comes off before elements go after it; a comment
// in it stays with that element, in its slot.
std::optional<std::string> strip_last_suffix_keeping_comment(toml::Array& array, CommentWindow& comments) {
    std::optional<std::string> last = strip_last_suffix(array);
    std::string comment = take_suffix_comment(last);
    if (!comment.empty()) comments.set(array.len() - 1, std::move(comment));
    return last;
}

// Places one converted value at `position` of the array with the decor
// upkeep of an insertion (append when position is the length).
void place_value(toml::Array& array, size_t position, toml::Value value) {
    size_t n = array.len();
    CommentWindow comments = comments_around(array, position, position);
    std::optional<std::string> last;
    std::optional<std::string> first;
    if (position == n) last = strip_last_suffix_keeping_comment(array, comments);
    if (position == 0 && n > 0) first = save_first_prefix(array);
    std::string comment = take_value_inline_comment(value);
    apply_multiline_decor(array, value);
    array.insert_formatted(position, std::move(value));
    comments.insert(position, std::move(comment));
    comments.restore(array);
    apply_last_suffix(array, last);
    apply_first_prefix(array, first);
}

void sort_positions(std::vector<size_t>& positions) {
    if (positions.size() <= 20) {
        for (size_t i = 1; i < positions.size(); ++i) {
            size_t v = positions[i];
            size_t j = i;
            while (j > 0 && positions[j - 1] > v) {
                positions[j] = positions[j - 1];
                --j;
            }
            positions[j] = v;
        }
    } else {
        std::sort(positions.begin(), positions.end());
    }
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
}

Status size_mismatch(size_t k, size_t m) {
    return Error::value_error("attempt to assign sequence of size " + std::to_string(k) +
                              " to extended slice of size " + std::to_string(m));
}

// Removes the elements [start, stop) in one move of the elements after them.
void erase_range(toml::Array& array, size_t start, size_t stop) {
    array.values.erase(array.values.begin() + static_cast<std::ptrdiff_t>(start),
                       array.values.begin() + static_cast<std::ptrdiff_t>(stop));
}

// Inserts the values at `start` in one move of the elements after them, and
// the comments they carried into the saved comments at their positions.
void insert_values(toml::Array& array, size_t start, std::vector<toml::Value>& values,
                   std::vector<std::string>& carried, CommentWindow& comments) {
    std::vector<toml::Item> items;
    items.reserve(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        comments.insert(start + i, std::move(carried[i]));
        items.emplace_back(std::move(values[i]));
    }
    array.values.insert(array.values.begin() + static_cast<std::ptrdiff_t>(start),
                        std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
}

// Removes the given positions (ascending, distinct, all in range) keeping the
// order of the rest, moving each remaining element once.
void erase_positions(std::vector<toml::Item>& elements, const std::vector<size_t>& positions) {
    size_t out = positions.front();
    size_t next = 0;
    for (size_t i = positions.front(); i < elements.size(); ++i) {
        if (next < positions.size() && positions[next] == i) {
            ++next;
            continue;
        }
        if (out != i) elements[out] = std::move(elements[i]);
        ++out;
    }
    elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(out), elements.end());
}

void setitem_slice_array(toml::Array& array, size_t start, size_t stop, std::vector<toml::Value> values) {
    size_t n = array.len();
    size_t k = values.size();
    CommentWindow comments = comments_around(array, start, stop);
    // New values of a one-per-line array go on lines of their own, as with
    // append and insert; a comment a value carries goes to its slot.
    std::optional<std::string> line_start = multiline_prefix(array);
    std::vector<std::string> carried;
    carried.reserve(k);
    for (toml::Value& value : values) {
        carried.push_back(take_value_inline_comment(value));
        apply_multiline_decor(line_start, value);
    }
    bool pure_deletion = k == 0;
    RemovalDecor removal = save_removal_decor(array, pure_deletion && start == 0 && stop > 0,
                                              pure_deletion && stop == n && start < stop);
    std::optional<std::string> first;
    std::optional<std::string> last;
    if (start == 0 && !pure_deletion) first = save_first_prefix(array);
    if (stop == n && !pure_deletion) last = strip_last_suffix_keeping_comment(array, comments);

    erase_range(array, start, stop);
    for (size_t i = stop; i > start; --i) comments.erase(i - 1);
    insert_values(array, start, values, carried, comments);
    apply_first_prefix(array, first);
    apply_last_suffix(array, last);
    comments.restore(array);
    apply_removal_decor(array, removal);
}

void setitem_slice_aot(toml::ArrayOfTables& aot, size_t start, size_t stop, std::vector<toml::Table> tables) {
    size_t k = tables.size();
    std::optional<std::string> first_prefix;
    if (start == 0 && stop > 0) {
        first_prefix = aot.is_empty() ? std::string() : std::string(side_text(aot.get(0).decor.prefix));
    }
    aot.values.erase(aot.values.begin() + static_cast<std::ptrdiff_t>(start),
                     aot.values.begin() + static_cast<std::ptrdiff_t>(stop));
    if (first_prefix && k == 0) fix_first_aot_prefix(aot);
    if (first_prefix && k > 0) tables.front().decor.set_prefix(*first_prefix);
    aot.values.insert(aot.values.begin() + static_cast<std::ptrdiff_t>(start), std::make_move_iterator(tables.begin()),
                      std::make_move_iterator(tables.end()));
    size_t j0 = (start == 0 && k < 2) ? 1 : start;
    for (size_t j = j0; j < start + k; ++j) fix_inserted_aot_spacing(aot, j);
}

}  // namespace

Result<ConstArrayLike> as_array_like(const toml::Item& item, const char* op) {
    ConstArrayLike seq;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        seq.is_aot = true;
        seq.aot = aot;
        return seq;
    }
    if (const toml::Value* v = item.as_value()) {
        if (const toml::Array* a = v->as_array()) {
            seq.array = a;
            return seq;
        }
    }
    return not_an_array(item, op);
}

Result<ArrayLike> as_array_like_mut(toml::Item& item, const char* op) {
    ArrayLike seq;
    if (toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        seq.is_aot = true;
        seq.aot = aot;
        return seq;
    }
    if (toml::Value* v = item.as_value()) {
        if (toml::Array* a = v->as_array()) {
            seq.array = a;
            return seq;
        }
    }
    return not_an_array(item, op);
}

bool is_list_like(PyObject* obj) {
    return PyList_Check(obj) || is_instance_of(obj, &ModuleState::list_item);
}

Result<toml::Table> require_table(toml::Item item) {
    if (toml::Table* t = item.as_table()) {
        t->dotted = false;  // a member of an array of tables always has its own [[header]]
        return std::move(*t);
    }
    if (toml::Value* v = item.as_value()) {
        if (toml::InlineTable* it = v->as_inline_table()) return std::move(*it).into_table();
    }
    return Error::type_error(std::string("cannot append ") + kind_word(item) +
                             " to array of tables (expected a table/dict)");
}

Result<size_t> require_array_index(const toml::Item& item, int64_t index) {
    size_t n = 0;
    if (const toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        n = aot->len();
    } else if (item.is_value() && item.as_value()->is_array()) {
        n = item.as_value()->as_array()->len();
    } else if (item.is_table_like()) {
        return Error::key_error(std::to_string(index));
    } else {
        return Error::type_error(std::string("TOML ") + kind_word(item) +
                                 " item is not subscriptable (use .value to get the Python object)");
    }
    int64_t position = index < 0 ? index + static_cast<int64_t>(n) : index;
    if (position < 0 || static_cast<uint64_t>(position) >= n) return Error::index_error("index out of range");
    return static_cast<size_t>(position);
}

Result<size_t> item_count(const ConstArrayLike& seq, const ElementEquals& equals) {
    size_t count = 0;
    for (size_t i = 0; i < seq.len(); ++i) {
        Result<bool> eq = equals(seq.element(i));
        if (!eq) return std::move(eq.error());
        if (*eq) ++count;
    }
    return count;
}

Result<size_t> item_index(const ConstArrayLike& seq, const ElementEquals& equals, std::optional<int64_t> start,
                          std::optional<int64_t> stop) {
    size_t n = seq.len();
    size_t from = start ? clamp_bound(*start, n) : 0;
    size_t to = stop ? clamp_bound(*stop, n) : n;
    // The comparison may run Python code; re-read the length on every step.
    for (size_t i = from; i < to && i < seq.len(); ++i) {
        Result<bool> eq = equals(seq.element(i));
        if (!eq) return std::move(eq.error());
        if (*eq) return i;
    }
    return Error::value_error("value not in array");
}

Status item_append(const ArrayLike& seq, toml::Item item) {
    if (seq.is_aot) {
        Result<toml::Table> table = require_table(std::move(item));
        if (!table) return std::move(table.error());
        seq.aot->push(std::move(*table));
        fix_inserted_aot_spacing(*seq.aot, seq.aot->len() - 1);
        return ok_status();
    }
    Result<toml::Value> value = convert_to_value(std::move(item));
    if (!value) return std::move(value.error());
    place_value(*seq.array, seq.array->len(), std::move(*value));
    return ok_status();
}

Status item_extend(const ArrayLike& seq, std::vector<toml::Item> items) {
    if (seq.is_aot) {
        Result<std::vector<toml::Table>> tables = convert_all_to_tables(items);
        if (!tables) return std::move(tables.error());
        for (toml::Table& table : *tables) {
            seq.aot->push(std::move(table));
            fix_inserted_aot_spacing(*seq.aot, seq.aot->len() - 1);
        }
        return ok_status();
    }
    Result<std::vector<toml::Value>> values = convert_all_to_values(items);
    if (!values) return std::move(values.error());
    toml::Array& array = *seq.array;
    size_t n = array.len();
    CommentWindow comments = comments_around(array, n, n);
    std::optional<std::string> last = strip_last_suffix_keeping_comment(array, comments);
    array.values.reserve(n + values->size());
    for (toml::Value& value : *values) {
        std::string comment = take_value_inline_comment(value);
        apply_multiline_decor(array, value);
        array.push_formatted(std::move(value));
        comments.insert(array.len() - 1, std::move(comment));
    }
    comments.restore(array);
    apply_last_suffix(array, last);
    return ok_status();
}

Result<Affected> item_insert(const ArrayLike& seq, int64_t index, toml::Item item) {
    size_t n = seq.len();
    size_t position;
    if (index < 0) {
        int64_t p = index + static_cast<int64_t>(n);
        position = p < 0 ? 0 : static_cast<size_t>(p);
    } else {
        position = std::min(static_cast<uint64_t>(index), static_cast<uint64_t>(n));
    }
    if (seq.is_aot) {
        Result<toml::Table> table = require_table(std::move(item));
        if (!table) return std::move(table.error());
        seq.aot->insert(position, std::move(*table));
        fix_inserted_aot_spacing(*seq.aot, position);
    } else {
        Result<toml::Value> value = convert_to_value(std::move(item));
        if (!value) return std::move(value.error());
        place_value(*seq.array, position, std::move(*value));
    }
    if (position == n) return Affected::nothing();
    return Affected::range(position, n + 1);
}

Result<Removed> item_remove_at(const ArrayLike& seq, size_t position) {
    size_t n = seq.len();
    if (position >= n) return Error::index_error("array index out of range");
    Removed removed;
    removed.affected = removal_affected(position, n);
    if (seq.is_aot) {
        removed.item = toml::Item(seq.aot->remove(position));
        if (position == 0) fix_first_aot_prefix(*seq.aot);
        return removed;
    }
    toml::Array& array = *seq.array;
    CommentWindow comments = comments_around(array, position, position + 1);
    RemovalDecor decor = save_removal_decor(array, position == 0, position + 1 == n);
    removed.item = toml::Item(array.remove(position));
    comments.erase(position);
    comments.restore(array);
    apply_removal_decor(array, decor);
    return removed;
}

Result<size_t> pop_position(const ArrayLike& seq, std::optional<int64_t> index) {
    size_t n = seq.len();
    if (!index) {
        if (n == 0) return Error::index_error("pop from empty array");
        return n - 1;
    }
    int64_t position = *index < 0 ? *index + static_cast<int64_t>(n) : *index;
    if (position < 0 || static_cast<uint64_t>(position) >= n) return Error::index_error("index out of range");
    return static_cast<size_t>(position);
}

Result<Removed> list_pop(const ArrayLike& seq, std::optional<int64_t> index) {
    Result<size_t> position = pop_position(seq, index);
    QUILLON_TRY(position);
    return item_remove_at(seq, *position);
}

Result<Removed> list_pop(const ArrayLike& seq, PyObject* index) {
    if (!index || index == Py_None) return list_pop(seq, std::optional<int64_t>());
    long long value = PyLong_AsLongLong(index);
    if (value == -1 && PyErr_Occurred()) return Error::fetch();
    return list_pop(seq, std::optional<int64_t>(static_cast<int64_t>(value)));
}

std::vector<size_t> collect_slice_indices(int64_t start, int64_t stop, int64_t step) {
    std::vector<size_t> out;
    if (step > 0) {
        for (int64_t i = start; i < stop; i += step) out.push_back(static_cast<size_t>(i));
    } else if (step < 0) {
        for (int64_t i = start; i > stop; i += step) out.push_back(static_cast<size_t>(i));
    }
    return out;
}

void item_delitem_slice(const ArrayLike& seq, std::vector<size_t> positions) {
    size_t n = seq.len();
    sort_positions(positions);
    while (!positions.empty() && positions.back() >= n) positions.pop_back();
    if (positions.empty()) return;

    if (seq.is_aot) {
        erase_positions(seq.aot->values, positions);
        if (positions.front() == 0) fix_first_aot_prefix(*seq.aot);
        return;
    }
    toml::Array& array = *seq.array;
    CommentWindow comments = comments_around(array, positions.front(), positions.back() + 1);
    RemovalDecor decor = save_removal_decor(array, positions.front() == 0, positions.back() + 1 == n);
    erase_positions(array.values, positions);
    for (size_t i = positions.size(); i > 0; --i) comments.erase(positions[i - 1]);
    comments.restore(array);
    apply_removal_decor(array, decor);
}

Status item_setitem_slice(const ArrayLike& seq, int64_t start, int64_t stop, int64_t step,
                          std::vector<toml::Item> items) {
    size_t n = seq.len();
    std::vector<toml::Value> values;
    std::vector<toml::Table> tables;
    if (seq.is_aot) {
        Result<std::vector<toml::Table>> converted = convert_all_to_tables(items);
        if (!converted) return std::move(converted.error());
        tables = std::move(*converted);
    } else {
        Result<std::vector<toml::Value>> converted = convert_all_to_values(items);
        if (!converted) return std::move(converted.error());
        values = std::move(*converted);
    }
    size_t k = seq.is_aot ? tables.size() : values.size();

    if (step == 1) {
        size_t from = start < 0 ? 0 : std::min(static_cast<size_t>(start), n);
        size_t to = stop < 0 ? 0 : std::min(static_cast<size_t>(stop), n);
        if (to < from) to = from;
        if (seq.is_aot) {
            setitem_slice_aot(*seq.aot, from, to, std::move(tables));
        } else {
            setitem_slice_array(*seq.array, from, to, std::move(values));
        }
        return ok_status();
    }

    std::vector<size_t> positions = collect_slice_indices(start, stop, step);
    if (positions.size() != k) return size_mismatch(k, positions.size());
    for (size_t p : positions) {
        if (p >= n) return Error::index_error("index out of range");
    }
    if (seq.is_aot) {
        std::vector<std::string> prefixes;
        prefixes.reserve(k);
        for (size_t p : positions) prefixes.emplace_back(side_text(seq.aot->get(p).decor.prefix));
        for (size_t i = 0; i < k; ++i) {
            tables[i].decor.set_prefix(prefixes[i]);
            seq.aot->replace(positions[i], std::move(tables[i]));
        }
        return ok_status();
    }
    for (size_t i = 0; i < k; ++i) {
        std::string comment = take_value_inline_comment(values[i]);
        seq.array->replace(positions[i], std::move(values[i]));
        if (!comment.empty()) set_array_inline_comment(*seq.array, positions[i], comment);
    }
    return ok_status();
}

void item_set_multiline(const ArrayLike& seq, size_t indent) {
    if (seq.is_aot || seq.array->is_empty()) return;
    toml::Array& array = *seq.array;
    std::string prefix(indent + 1, ' ');
    prefix[0] = '\n';
    for (size_t i = 0; i < array.len(); ++i) {
        toml::Decor& decor = array.get(i).decor();
        decor.set_prefix(prefix);
        decor.set_suffix("");
    }
    array.trailing_comma = true;
    array.trailing.set("\n");
}

}  // namespace quillon
