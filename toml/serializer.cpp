// Rendering of documents, items and values into one output string.
#include <algorithm>
#include <cstring>
#include <vector>

#include "serializer.hpp"
#include "value_walk.hpp"

namespace toml {

namespace {

// Decor sides and trailing texts are written without carriage returns, so
// CR LF sources come out with LF line ends.
void write_text_without_cr(std::string_view s, std::string& out) {
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
        if (!cr) {
            out.append(p, static_cast<size_t>(end - p));
            return;
        }
        out.append(p, static_cast<size_t>(cr - p));
        p = cr + 1;
    }
}

// Most decor texts are a few bytes, where a plain scan beats memchr.
inline void write_text(std::string_view s, std::string& out) {
    if (s.size() > 32) {
        write_text_without_cr(s, out);
        return;
    }
    for (char c : s) {
        if (c == '\r') {
            write_text_without_cr(s, out);
            return;
        }
    }
    out += s;
}

inline void write_side(const RawString& side, std::string_view fallback, std::string& out) {
    if (side.is_absent()) {
        out += fallback;
    } else {
        write_text(side.view(), out);
    }
}

// Reprs are written exactly, carriage returns included.
inline void write_key_repr(const Key& key, std::string& out) {
    if (key.repr.is_present()) {
        out += key.repr.view();
    } else {
        default_key_repr(key.key, out);
    }
}

bool has_line_feed(const RawString& s) { return s.view().find('\n') != std::string_view::npos; }

// The leaf's own spelling of the inner parts, when it still describes this
// path (a table copied elsewhere keeps keys written for its old place).
const std::vector<Key>* written_inner_parts(const Key* const* keys, size_t n) {
    const std::vector<Key>* written = keys[n - 1]->written_prefix.get();
    if (!written || written->size() != n - 1) return nullptr;
    for (size_t i = 0; i + 1 < n; ++i) {
        if ((*written)[i].key != keys[i]->key) return nullptr;
    }
    return written;
}

struct Renderer {
    std::string& out;
    std::vector<const Key*> stack;  // key path of the entry being written

    // `leaf` replaces the last key's leaf decor when given.
    void key_path(const Key* const* keys, size_t n, std::string_view left, std::string_view right,
                  const Decor* leaf = nullptr) {
        if (n == 0) return;
        const Decor& leaf_decor = leaf ? *leaf : keys[n - 1]->leaf_decor;
        const std::vector<Key>* written = written_inner_parts(keys, n);
        for (size_t i = 0; i < n; ++i) {
            const Key& k = (written && i + 1 < n) ? (*written)[i] : *keys[i];
            if (i == 0) {
                write_side(leaf_decor.prefix, left, out);
            } else {
                out += '.';
                write_side(k.dotted_decor.prefix, "", out);
            }
            write_key_repr(k, out);
            if (i + 1 == n) {
                write_side(leaf_decor.suffix, right, out);
            } else {
                write_side(k.dotted_decor.suffix, "", out);
            }
        }
    }

    void value(const Value& v, std::string_view left, std::string_view right) {
        std::visit(
            [&](const auto& x) {
                using T = std::remove_cvref_t<decltype(x)>;
                write_side(x.decor.prefix, left, out);
                if constexpr (std::is_same_v<T, Array>) {
                    array(x);
                } else if constexpr (std::is_same_v<T, InlineTable>) {
                    inline_table(x);
                } else if (x.repr.is_present()) {
                    out += x.repr.view();
                } else {
                    default_repr(x.value);
                }
                write_side(x.decor.suffix, right, out);
            },
            v.v);
    }

    void default_repr(const std::string& s) { default_string_repr(s, out); }
    void default_repr(int64_t i) { default_integer_repr(i, out); }
    void default_repr(double d) { default_float_repr(d, out); }
    void default_repr(bool b) { out += b ? "true" : "false"; }
    void default_repr(const Datetime& dt) { render_datetime(dt, out); }

    void array(const Array& a) {
        out += '[';
        size_t n = a.values.size();
        for (size_t i = 0; i < n; ++i) {
            if (i > 0) out += ',';
            const Value* v = a.values[i].as_value();
            value(v ? *v : a.get(i), i == 0 ? "" : " ", "");
        }
        if (a.trailing_comma && n > 0) out += ',';
        write_side(a.trailing, "", out);
        out += ']';
    }

    void inline_table(const InlineTable& t) {
        out += '{';
        size_t base = stack.size();
        bool any = false;
        bool last_suffix_absent = false;
        auto entry = [&](const std::vector<const Key*>& path, const Value& v) {
            if (any) out += ',';
            any = true;
            key_path(path.data() + base, path.size() - base, " ", " ");
            out += '=';
            value(v, " ", "");
            last_suffix_absent = v.decor().suffix.is_absent();
        };
        walk_values(t.items, stack, entry);
        // The last entry's value defaults to one space after it, before "}".
        if (last_suffix_absent) out += ' ';
        if (t.trailing_comma && any) out += ',';
        write_side(t.trailing, "", out);
        out += '}';
    }

    // Key/value lines of a table body.
    void body(const EntryMap& items) {
        size_t base = stack.size();
        auto line = [&](const std::vector<const Key*>& path, const Value& v) {
            key_path(path.data() + base, path.size() - base, "", " ");
            out += '=';
            value(v, " ", "");
            out += '\n';
        };
        walk_values(items, stack, line);
    }
};

// A table to be written with a header (or the root), in tree order.
struct TableRecord {
    const Table* table;
    uint32_t path_start;  // into the shared key pool
    uint32_t path_len;
    bool array_member;
    int64_t sort_key;
};

struct TableCollector {
    std::vector<TableRecord> records;
    std::vector<const Key*> pool;
    std::vector<const Key*> path;
    size_t entry_count = 0;

    void visit(const Table& t, bool array_member) {
        entry_count += t.items.raw_size();
        if (!t.dotted) {
            int64_t sort_key = t.doc_position ? *t.doc_position : (records.empty() ? 0 : records.back().sort_key);
            records.push_back(TableRecord{&t, static_cast<uint32_t>(pool.size()),
                                          static_cast<uint32_t>(path.size()), array_member, sort_key});
            pool.insert(pool.end(), path.begin(), path.end());
        }
        for (const Entry& e : t.items.entries()) {
            if (const Table* sub = e.item.as_table()) {
                path.push_back(&e.key);
                visit(*sub, false);
                path.pop_back();
            } else if (const ArrayOfTables* aot = e.item.as_array_of_tables()) {
                path.push_back(&e.key);
                for (const Item& member : aot->values) {
                    if (const Table* mt = member.as_table()) visit(*mt, true);
                }
                path.pop_back();
            }
        }
    }
};

// Output reserve: a per-entry guess from what the table collection saw;
// walking the whole tree just to size the output costs more than the
// occasional regrowth it saves.
constexpr size_t kBytesPerEntry = 24;

void reserve_for(std::string& out, size_t entries) {
    size_t want = out.size() + entries * kBytesPerEntry + 64;
    if (out.capacity() < want) out.reserve(want);
}

}  // namespace

void render_document(const DocumentMut& doc, std::string& out) {
    const Table* root = doc.root.as_table();
    if (!root) throw InvariantError("root should always be a table");
    TableCollector tables;
    tables.visit(*root, false);
    reserve_for(out, tables.entry_count);

    write_side(root->decor.prefix, "", out);
    std::stable_sort(tables.records.begin(), tables.records.end(),
                     [](const TableRecord& a, const TableRecord& b) { return a.sort_key < b.sort_key; });

    static const Decor kDefaultDecor;
    Renderer r{out, {}};
    bool first_table = true;
    for (const TableRecord& rec : tables.records) {
        const Table& t = *rec.table;
        bool has_body = has_values(t.items);
        if (rec.path_len == 0) {
            if (has_body) first_table = false;
        } else if (rec.array_member || !(t.implicit && !has_body)) {
            std::string_view default_prefix = first_table ? "" : "\n";
            first_table = false;
            const Key* const* path = tables.pool.data() + rec.path_start;
            const Key& last = *path[rec.path_len - 1];
            // Comment lines carried over from a key/value key belong above
            // the header, not inside its brackets.
            const Decor* leaf = nullptr;
            if (has_line_feed(last.leaf_decor.prefix)) {
                write_text(last.leaf_decor.prefix.view(), out);
                leaf = &kDefaultDecor;
            }
            write_side(t.decor.prefix, default_prefix, out);
            out += rec.array_member ? "[[" : "[";
            r.key_path(path, rec.path_len, "", "", leaf);
            out += rec.array_member ? "]]" : "]";
            write_side(t.decor.suffix, "", out);
            out += '\n';
        }
        if (has_body) r.body(t.items);
    }

    write_side(root->decor.suffix, "", out);
    write_side(doc.trailing, "", out);
}

std::string to_string(const DocumentMut& doc) {
    std::string out;
    render_document(doc, out);
    return out;
}

void render_item(const Item& item, std::string& out) {
    switch (item.kind()) {
        case ItemKind::None:
            break;
        case ItemKind::Value:
            render_value(*item.as_value(), out);
            break;
        case ItemKind::Table: {
            const Table& t = *item.as_table();
            reserve_for(out, t.items.raw_size());
            Renderer r{out, {}};
            r.body(t.items);
            break;
        }
        case ItemKind::ArrayOfTables: {
            ArrayOfTables copy = *item.as_array_of_tables();
            render_value(Value(std::move(copy).into_array()), out);
            break;
        }
    }
}

std::string to_string(const Item& item) {
    std::string out;
    render_item(item, out);
    return out;
}

void render_value(const Value& value, std::string& out) {
    Renderer r{out, {}};
    r.value(value, "", "");
}

std::string to_string(const Value& value) {
    std::string out;
    render_value(value, out);
    return out;
}

}  // namespace toml
