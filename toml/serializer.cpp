// Rendering of documents, items and values into one output string.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "byte_scan.hpp"
#include "render_output.hpp"
#include "serializer.hpp"
#include "value_walk.hpp"

namespace toml {

namespace {

// Decor sides and trailing texts are written without carriage returns, so
// CR LF sources come out with LF line ends.
constexpr scan::Table make_cr() {
    scan::Table t{};
    t['\r'] = true;
    return t;
}
constexpr scan::Table kCarriageReturn = make_cr();

size_t find_cr(std::string_view s, size_t from) {
    return scan::find_first(s.data(), from, s.size(), kCarriageReturn,
                            [](uint64_t w) { return scan::equal(w, '\r'); });
}

[[gnu::noinline]] void write_text_without_cr(std::string_view s, size_t cr, RenderOutput& out) {
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
    if (key.repr.is_present()) {
        out.put(key.repr.view());
    } else {
        out.append_with([&](std::string& s) { default_key_repr(key.key, s); });
    }
}

bool has_line_feed(const RawString& s) { return s.view().find('\n') != std::string_view::npos; }

// The leaf's own spelling of the inner parts, when it still describes this
// path (a table copied elsewhere keeps keys written for its old place).
const std::vector<Key>* written_inner_parts(const Key* const* keys, size_t n) {
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
        std::visit(
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
            },
            v.v);
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

// A table's recorded source length carries this bit when the table holds no
// tables or arrays of tables (so a copied table needs no look at its entries).
constexpr uint32_t kNoSubTables = 1u << 31;
// With this bit, the rest tells where the table's text from the last rendering
// stands in the document's kept texts (see RenderCache), its text not being
// what the source holds.
constexpr uint32_t kKeptText = 1u << 30;
constexpr uint32_t kLengthBits = kKeptText - 1;

// Whether a table with these entries has tables below it that are written
// with headers of their own (looking through dotted tables).
bool holds_header_tables(const EntryMap& items) {
    for (const Entry& e : items.entries()) {
        if (e.item.is_array_of_tables()) return true;
        if (const Table* t = e.item.as_table(); t && (!t->dotted || holds_header_tables(t->items))) return true;
    }
    return false;
}

// Walks the tables that are written with a header (and the root) in tree
// order: sink.table(table, path, array_member, rank, changed) for each, where
// `path` holds the keys leading to the table. A table without a rank of its
// own takes the rank of the table before it.
//
// `changed` tells the sink that an edit may have reached the table from
// above (an edit of a table or array of tables that holds it), so that its
// text recorded from the source cannot be trusted. The walk clears those
// marks once it has been through everything below them.
//
// An array of tables is offered whole to the sink first
// (sink.copy_run(array, key, rank), which returns the rank of its last table
// when it wrote them all); otherwise its tables are walked between
// sink.begin_run() and sink.end_run(array, key, mark, last rank).
class TableWalk {
public:
    template <class Sink>
    void run(const Table& root, Sink& sink) {
        visit(root, false, false, sink);
    }

private:
    template <class Sink>
    void visit(const Table& t, bool array_member, bool changed, Sink& sink) {
        if (!t.dotted) {
            rank_ = t.doc_position ? *t.doc_position : rank_;
            if (sink.table(t, path_, array_member, rank_, changed)) return;
        } else if (!changed && (t.source_length.get() & kNoSubTables)) {
            // A dotted table is not written on its own; this one was found to
            // hold nothing that is, and no edit has passed through it since.
            t.changed_below = false;
            return;
        } else if (!holds_header_tables(t.items)) {
            t.source_length.set(kNoSubTables);
            t.changed_below = false;
            return;
        }
        bool changed_below = changed || t.changed_below;
        for (const Entry& e : t.items.entries()) {
            if (const Table* sub = e.item.as_table()) {
                path_.push_back(&e.key);
                visit(*sub, false, changed_below, sink);
                path_.pop_back();
            } else if (const ArrayOfTables* aot = e.item.as_array_of_tables()) {
                bool members_changed = changed_below || aot->changed_below;
                if (!members_changed) {
                    if (std::optional<int64_t> last = sink.copy_run(*aot, e.key, rank_)) {
                        rank_ = *last;
                        continue;
                    }
                }
                path_.push_back(&e.key);
                size_t mark = sink.begin_run();
                for (const Item& member : aot->values) {
                    if (const Table* mt = member.as_table()) visit(*mt, true, members_changed, sink);
                }
                sink.end_run(*aot, e.key, mark, rank_);
                aot->changed_below = false;
                path_.pop_back();
            }
        }
        t.changed_below = false;
    }

    std::vector<const Key*> path_;
    int64_t rank_ = 0;
};

// Where one table's text lies in the output. A header without a recorded
// prefix starts with a default that depends on what was written before it: a
// line break unless it is the first thing written after the root's prefix.
struct Chunk {
    static constexpr size_t kNoDefault = static_cast<size_t>(-1);
    int64_t rank;
    size_t start;
    size_t end;
    size_t default_at = kNoDefault;  // where the default prefix went
    bool default_was_line_break = false;
    bool wrote_text = false;  // ends the "first" status for the chunks after it
    const char* source = nullptr;  // where the same text stands in the source
};

// Writes tables, each with its header line (the root without one) and body.
class TableWriter {
public:
    TableWriter(RenderOutput& out, std::string_view source, RenderCache* cache)
        : out_(out), r_{out, {}}, source_(source), cache_(cache) {}

    // Returns true when the table was copied from the source and holds no
    // tables, so that nothing below it needs a visit.
    bool write(const Table& t, const Key* const* path, size_t path_len, bool array_member, bool changed,
               Chunk& chunk) {
        static const Decor kDefaultDecor;
        chunk.start = out_.size();
        if (path_len == 0) {
            // The root has no header; it counts as a first table once its
            // body has written something.
            r_.body(t.items);
            chunk.wrote_text = out_.size() != chunk.start;
        } else if (!changed && copy_source_text(t, *path[path_len - 1], chunk)) {
            first_table_ = false;
            chunk.wrote_text = true;
            chunk.end = out_.size();
            return (t.source_length.get() & kNoSubTables) != 0;
        } else if (array_member || !t.implicit || has_values(t.items)) {
            // (An implicit table shows a header only when it has lines of its own.)
            const Key& last = *path[path_len - 1];
            // Comment lines carried over from a key/value key belong above
            // the header, not inside its brackets.
            const Decor* leaf = nullptr;
            if (has_line_feed(last.leaf_decor.prefix)) {
                write_text(last.leaf_decor.prefix.view(), out_);
                leaf = &kDefaultDecor;
            }
            if (t.decor.prefix.is_absent()) {
                chunk.default_at = out_.size();
                chunk.default_was_line_break = !first_table_;
            }
            write_side(t.decor.prefix, first_table_ ? "" : "\n", out_);
            out_.put(array_member ? "[[" : "[");
            r_.key_path(path, path_len, "", "", leaf);
            out_.put(array_member ? "]]" : "]");
            write_side(t.decor.suffix, "", out_);
            out_.put('\n');
            r_.body(t.items);
            chunk.wrote_text = true;
            record_source_text(t, leaf == nullptr, chunk);
        } else {
            t.source_length.set(0);
        }
        if (chunk.wrote_text) first_table_ = false;
        chunk.end = out_.size();
        return false;
    }

private:
    RenderOutput& out_;
    Renderer r_;
    std::string_view source_;  // the parsed text, or empty
    RenderCache* cache_;  // or null
    bool first_table_ = true;

    // Where a table's recorded text starts: its decor prefix, when that is
    // borrowed from the source.
    const char* source_start(const Table& t) const {
        if (source_.empty() || !t.decor.prefix.is_borrowed()) return nullptr;
        const char* p = t.decor.prefix.view().data();
        if (p < source_.data() || p > source_.data() + source_.size()) return nullptr;
        return p;
    }

public:
    // Copies the text recorded for the tables of `aot` (none edited), if any.
    bool copy_run_text(const ArrayOfTables& aot, const Key& key) {
        size_t length = aot.source_length.get();
        if (length == 0 || aot.values.empty()) return false;
        const Table* first = aot.values.front().as_table();
        const char* p = first ? source_start(*first) : nullptr;
        if (!p || length > static_cast<size_t>(source_.data() + source_.size() - p)) return false;
        if (has_line_feed(key.leaf_decor.prefix)) return false;
        out_.put_source(std::string_view(p, length));
        first_table_ = false;
        return true;
    }

private:
    // Copies the text recorded for `t` (an unedited table), if any.
    bool copy_source_text(const Table& t, const Key& last, Chunk& chunk) {
        if (t.source_length.get() & kKeptText) return copy_kept_text(t, last);
        size_t length = t.source_length.get() & kLengthBits;
        if (length == 0) return false;
        const char* p = source_start(t);
        if (!p || length > static_cast<size_t>(source_.data() + source_.size() - p)) return false;
        if (has_line_feed(last.leaf_decor.prefix)) return false;
        out_.put_source(std::string_view(p, length));
        chunk.source = p;
        return true;
    }

    // Copies the text kept from the last rendering for `t`, if it is there.
    bool copy_kept_text(const Table& t, const Key& last) {
        if (!cache_ || has_line_feed(last.leaf_decor.prefix)) return false;
        uint32_t recorded = t.source_length.get();
        const char* owner = source_start(t);
        std::string_view text = owner ? cache_->kept(recorded & kLengthBits, owner) : std::string_view();
        if (text.empty()) return false;
        out_.put(text);
        keep_text(t, text, recorded & kNoSubTables);
        return true;
    }

    // (`t` has its decor prefix in the source.)
    void keep_text(const Table& t, std::string_view text, uint32_t no_sub_tables) {
        size_t at = cache_->keep(text, source_start(t));
        t.source_length.set(at <= kLengthBits ? static_cast<uint32_t>(at) | kKeptText | no_sub_tables : 0);
    }

    // After a table was rendered into `chunk`: when the text is exactly the
    // source text that begins at its decor prefix, the table can later be
    // copied from there; when it is not (the source spells the table in a way
    // the rendering does not keep), the text is kept for the next rendering.
    void record_source_text(const Table& t, bool starts_at_prefix, Chunk& chunk) {
        t.source_length.set(0);
        const char* p = source_start(t);
        if (!p || !starts_at_prefix) return;
        std::string_view written = out_.written_since(chunk.start);
        if (written.empty() || written.size() > kLengthBits) return;
        uint32_t no_sub_tables = holds_header_tables(t.items) ? 0 : kNoSubTables;
        size_t room = static_cast<size_t>(source_.data() + source_.size() - p);
        if (written.size() > room || std::memcmp(written.data(), p, written.size()) != 0) {
            if (cache_) keep_text(t, written, no_sub_tables);
            return;
        }
        t.source_length.set(static_cast<uint32_t>(written.size()) | no_sub_tables);
        chunk.source = p;
    }
};

// Puts the chunks written from `start` on in rank order (a stable order: equal
// ranks keep tree order), fixing the default prefixes that depend on order.
void order_by_rank(RenderOutput& out, size_t start, std::vector<Chunk>& chunks) {
    std::stable_sort(chunks.begin(), chunks.end(), [](const Chunk& a, const Chunk& b) { return a.rank < b.rank; });
    RenderOutput ordered(RenderOutput::WithSpans{});
    ordered.borrowed_without_cr = out.borrowed_without_cr;
    ordered.reserve(out.text().bytes.size() + chunks.size());
    ordered.put_part(out, 0, start);
    bool first = true;
    for (const Chunk& c : chunks) {
        if (c.default_at == Chunk::kNoDefault) {
            ordered.put_part(out, c.start, c.end);
        } else {
            ordered.put_part(out, c.start, c.default_at);
            if (!first) ordered.put('\n');
            size_t rest = c.default_at + (c.default_was_line_break ? 1 : 0);
            ordered.put_part(out, rest, c.end);
        }
        if (c.wrote_text) first = false;
    }
    out.take_contents(ordered);
}

// Tables are written in tree order, each into its own stretch of the output;
// when their ranks do not rise in that order the stretches are reordered.
// Collects the chunks of the tables as TableWalk hands them over.
class TableSink {
public:
    TableSink(RenderOutput& out, std::string_view source, RenderCache* cache)
        : out_(out), writer_(out, source, cache), cache_(cache) {
        if (cache) chunks_.reserve(cache->tables);
    }

    bool table(const Table& t, const std::vector<const Key*>& path, bool array_member, int64_t rank, bool changed) {
        Chunk& chunk = add_chunk(rank);
        return writer_.write(t, path.data(), path.size(), array_member, changed, chunk);
    }

    std::optional<int64_t> copy_run(const ArrayOfTables& aot, const Key& key, int64_t rank) {
        if (aot.source_length.get() == 0 || aot.values.empty()) return std::nullopt;
        const Table* first = aot.values.front().as_table();
        if (!first || !first->doc_position) return std::nullopt;
        size_t start = out_.size();
        if (!writer_.copy_run_text(aot, key)) return std::nullopt;
        Chunk& chunk = add_chunk(*first->doc_position);
        chunk.start = start;
        chunk.end = out_.size();
        chunk.wrote_text = true;
        (void)rank;
        return aot.last_rank;
    }

    size_t begin_run() const { return chunks_.size(); }

    // The run's tables can be copied as one later when their texts follow
    // one another in the source just as they were written (each one its
    // source text, ranks rising so that nothing else goes between them),
    // from the first table's decor prefix on.
    void end_run(const ArrayOfTables& aot, const Key& key, size_t mark, int64_t last_rank) {
        aot.source_length.set(0);
        if (mark == chunks_.size() || has_line_feed(key.leaf_decor.prefix)) return;
        const char* next = chunks_[mark].source;
        if (!next) return;
        const char* begin = next;
        for (size_t i = mark; i < chunks_.size(); ++i) {
            const Chunk& c = chunks_[i];
            if (i > mark && c.rank < chunks_[i - 1].rank) return;
            if (c.end == c.start) continue;
            if (c.source != next) return;
            next += c.end - c.start;
        }
        if (static_cast<size_t>(next - begin) > UINT32_MAX) return;
        aot.source_length.set(static_cast<uint32_t>(next - begin));
        aot.last_rank = last_rank;
    }

    void finish(size_t start) {
        if (cache_) cache_->tables = chunks_.size();
        if (!ascending_) order_by_rank(out_, start, chunks_);
    }

private:
    Chunk& add_chunk(int64_t rank) {
        if (!chunks_.empty() && rank < chunks_.back().rank) ascending_ = false;
        Chunk& chunk = chunks_.emplace_back();
        chunk.rank = rank;
        return chunk;
    }

    RenderOutput& out_;
    TableWriter writer_;
    RenderCache* cache_;
    std::vector<Chunk> chunks_;
    bool ascending_ = true;
};

void write_tables(const Table& root, std::string_view source, RenderCache* cache, RenderOutput& out) {
    size_t start = out.size();
    TableSink sink(out, source, cache);
    TableWalk().run(root, sink);
    sink.finish(start);
}

// Output reserve when the document was not parsed: a per-entry guess.
constexpr size_t kBytesPerEntry = 24;

size_t size_guess(size_t entries) { return entries * kBytesPerEntry + 64; }

}  // namespace

namespace {

void write_document(const DocumentMut& doc, RenderCache* cache, RenderOutput& out) {
    const Table* root = doc.root.as_table();
    if (!root) throw InvariantError("root should always be a table");
    out.borrowed_without_cr = !doc.source_has_cr;
    // Text copied from the source is mostly left there (as spans), so the
    // written part is usually small; it grows as needed.
    out.reserve(doc.source_size ? doc.source_size / 8 + 64 : size_guess(root->items.raw_size()));

    write_side(root->decor.prefix, "", out);
    std::string_view source = doc.source_text ? std::string_view(doc.source_text, doc.source_size) : std::string_view();
    write_tables(*root, source, cache, out);
    write_side(root->decor.suffix, "", out);
    write_side(doc.trailing, "", out);
}

}  // namespace

void render_document(const DocumentMut& doc, RenderCache& cache, RenderOutput& out) {
    cache.begin();
    try {
        write_document(doc, &cache, out);
    } catch (...) {
        // Tables may point into texts that were not kept: all render afresh.
        const Table& root = doc.root_table();
        root.changed_below = true;
        root.source_length.set(0);
        throw;
    }
    cache.finish();
}

void render_document(const DocumentMut& doc, std::string& text) {
    RenderOutput out(RenderOutput::WithSpans{});
    write_document(doc, nullptr, out);
    RenderedText rendered = out.text();
    text.reserve(text.size() + rendered.size());
    rendered.each_piece([&](std::string_view piece, bool) { text.append(piece); });
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
            RenderOutput o(out);
            o.reserve(size_guess(t.items.raw_size()));
            Renderer r{o, {}};
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
    RenderOutput o(out);
    Renderer r{o, {}};
    r.value(value, "", "");
}

std::string to_string(const Value& value) {
    std::string out;
    render_value(value, out);
    return out;
}

}  // namespace toml
