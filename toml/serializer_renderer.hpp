// Writing of decor sides, key paths, values and key/value lines, shared by
// the serializer's document rendering and its table writing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.hpp"
#include "render_output.hpp"
#include "serializer.hpp"
#include "value_walk.hpp"

namespace toml::detail {

// Decor sides and trailing texts are written without carriage returns, so
// CR LF sources come out with LF line ends.
constexpr scan::Table make_cr() {
    scan::Table t{};
    t['\r'] = true;
    return t;
}
inline constexpr scan::Table kCarriageReturn = make_cr();

inline size_t find_cr(std::string_view s, size_t from) {
    return scan::find_first(s.data(), from, s.size(), kCarriageReturn,
                            [](uint64_t w) { return scan::equal(w, '\r'); });
}

[[gnu::noinline]] inline void write_text_without_cr(std::string_view s, size_t cr, RenderOutput& out) {
    size_t from = 0;
    while (cr < s.size()) {
        out.put(s.substr(from, cr - from));
        from = cr + 1;
        cr = find_cr(s, from);
    }
    out.put(s.substr(from));
}

inline void write_text(std::string_view s, RenderOutput& out) {
    size_t cr = find_cr(s, 0);
    if (cr == s.size()) {
        out.put(s);
    } else {
        write_text_without_cr(s, cr, out);
    }
}

inline void write_side(const RawString& side, std::string_view fallback, RenderOutput& out) {
    if (side.is_absent()) {
        out.put(fallback);
    } else if (out.borrowed_without_cr && side.is_borrowed()) {
        out.put(side.view());
    } else {
        write_text(side.view(), out);
    }
}

// Reprs are written exactly, carriage returns included.
inline void write_key_repr(const Key& key, RenderOutput& out) {
    if (key.has_repr()) {
        out.put(key.repr());
    } else {
        out.append_with([&](std::string& s) { default_key_repr(key.key, s); });
    }
}

inline bool has_line_feed(const RawString& s) { return s.view().find('\n') != std::string_view::npos; }

// The leaf's own spelling of the inner parts, when it still describes this
// path (a table copied elsewhere keeps keys written for its old place).
inline const std::vector<Key>* written_inner_parts(const Key* const* keys, size_t n) {
    const std::vector<Key>* written = keys[n - 1]->written_prefix();
    if (!written || written->size() != n - 1) return nullptr;
    for (size_t i = 0; i + 1 < n; ++i) {
        if ((*written)[i].key != keys[i]->key) return nullptr;
    }
    return written;
}

struct Renderer {
    RenderOutput& out;
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
                out.put('.');
                write_side(k.dotted_decor().prefix, "", out);
            }
            write_key_repr(k, out);
            if (i + 1 == n) {
                write_side(leaf_decor.suffix, right, out);
            } else {
                write_side(k.dotted_decor().suffix, "", out);
            }
        }
    }

    void value(const Value& v, std::string_view left, std::string_view right) {
        v.v.visit(
            [&](const auto& x) {
                using T = std::remove_cvref_t<decltype(x)>;
                write_side(x.decor.prefix, left, out);
                if constexpr (std::is_same_v<T, Array>) {
                    array(x);
                } else if constexpr (std::is_same_v<T, InlineTable>) {
                    inline_table(x);
                } else if (x.repr.is_present()) {
                    out.put(x.repr.view());
                } else {
                    default_repr(x.value);
                }
                write_side(x.decor.suffix, right, out);
            });
    }

    void default_repr(std::string_view s) {
        out.append_with([&](std::string& o) { default_string_repr(s, o); });
    }
    void default_repr(int64_t i) {
        out.append_with([&](std::string& o) { default_integer_repr(i, o); });
    }
    void default_repr(double d) {
        out.append_with([&](std::string& o) { default_float_repr(d, o); });
    }
    void default_repr(bool b) { out.put(b ? "true" : "false"); }
    void default_repr(const Datetime& dt) {
        out.append_with([&](std::string& o) { render_datetime(dt, o); });
    }

    void array(const Array& a) {
        out.put('[');
        size_t n = a.values.size();
        for (size_t i = 0; i < n; ++i) {
            if (i > 0) out.put(',');
            const Value* v = a.values[i].as_value();
            value(v ? *v : a.get(i), i == 0 ? "" : " ", "");
        }
        if (a.trailing_comma && n > 0) out.put(',');
        write_side(a.trailing, "", out);
        out.put(']');
    }

    void inline_table(const InlineTable& t) {
        out.put('{');
        size_t base = stack.size();
        bool any = false;
        bool last_suffix_absent = false;
        auto entry = [&](const std::vector<const Key*>& path, const Value& v) {
            if (any) out.put(',');
            any = true;
            key_path(path.data() + base, path.size() - base, " ", " ");
            out.put('=');
            value(v, " ", "");
            last_suffix_absent = v.decor().suffix.is_absent();
        };
        walk_values(t.items, stack, entry);
        // The last entry's value defaults to one space after it, before "}".
        if (last_suffix_absent) out.put(' ');
        if (t.trailing_comma && any) out.put(',');
        write_side(t.trailing, "", out);
        out.put('}');
    }

    // Key/value lines of a table body.
    void body(const EntryMap& items) {
        size_t base = stack.size();
        auto line = [&](const std::vector<const Key*>& path, const Value& v) {
            // An emptied array of tables shows as a key/value line; its key's
            // spacing was written inside [[...]] and does not fit one. Whole
            // comment lines placed before it are still written.
            Decor emptied;
            const Decor* leaf = nullptr;
            if (&v == &empty_array_value()) {
                std::string_view before = path.back()->leaf_decor.prefix.view();
                size_t last_line_end = before.rfind('\n');
                if (last_line_end != std::string_view::npos) emptied.set_prefix(before.substr(0, last_line_end + 1));
                leaf = &emptied;
            }
            key_path(path.data() + base, path.size() - base, "", " ", leaf);
            out.put('=');
            value(v, " ", "");
            out.put('\n');
        };
        walk_values(items, stack, line);
    }
};

}  // namespace toml::detail
