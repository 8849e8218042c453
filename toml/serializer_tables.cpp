// Writing of the tables of a document: the walk over the tables with headers,
// reuse of their text from the source or the last rendering, and ordering.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "serializer_renderer.hpp"
#include "serializer_tables.hpp"

namespace toml::detail {

namespace {

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
// sink.begin_run() and sink.end_run(array, key, mark, last rank), runs of
// them that no edit reached handed over whole (sink.copy_members).
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
                const std::vector<Item>& members = aot->values;
                for (size_t i = 0; i < members.size();) {
                    // Runs of members that no edit reached go out whole.
                    if (!members_changed) {
                        if (size_t copied = sink.copy_members(members, i, e.key, rank_)) {
                            i += copied;
                            continue;
                        }
                    }
                    if (const Table* mt = members[i++].as_table()) visit(*mt, true, members_changed, sink);
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

    // Copies, from members[i] on, the longest run of members that each hold
    // no tables and stand in the source as last rendered, one right after
    // the other with rising ranks; returns how many (0: none). `rank` becomes
    // the rank of the last one copied.
    size_t copy_member_run(const std::vector<Item>& members, size_t i, const Key& key, int64_t& rank,
                           Chunk& chunk) {
        if (has_line_feed(key.leaf_decor.prefix)) return 0;
        const char* source_end = source_.data() + source_.size();
        const char* begin = nullptr;
        const char* next = nullptr;
        int64_t last = rank;
        size_t n = 0;
        for (; i + n < members.size(); ++n) {
            const Table* t = members[i + n].as_table();
            if (!t || !t->doc_position || *t->doc_position < last) break;
            uint32_t recorded = t->source_length.get();
            if ((recorded & (kKeptText | kNoSubTables)) != kNoSubTables || (recorded & kLengthBits) == 0) break;
            const char* p = source_start(*t);
            if (!p || (next && p != next)) break;
            size_t length = recorded & kLengthBits;
            if (length > static_cast<size_t>(source_end - p)) break;
            if (!begin) begin = p;
            next = p + length;
            last = *t->doc_position;
        }
        if (n == 0) return 0;
        chunk.start = out_.size();
        out_.put_source(std::string_view(begin, static_cast<size_t>(next - begin)));
        chunk.end = out_.size();
        chunk.source = begin;
        chunk.wrote_text = true;
        first_table_ = false;
        rank = last;
        return n;
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

    // Members i... that can be copied as one stretch (see
    // TableWriter::copy_member_run) get one chunk, ranked by the first.
    size_t copy_members(const std::vector<Item>& members, size_t i, const Key& key, int64_t& rank) {
        const Table* first = members[i].as_table();
        if (!first || !first->doc_position) return 0;
        Chunk chunk;
        chunk.rank = *first->doc_position;
        size_t copied = writer_.copy_member_run(members, i, key, rank, chunk);
        if (copied > 0) add_chunk(chunk.rank) = chunk;
        return copied;
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

}  // namespace

void write_tables(const Table& root, std::string_view source, RenderCache* cache, RenderOutput& out) {
    size_t start = out.size();
    TableSink sink(out, source, cache);
    TableWalk().run(root, sink);
    sink.finish(start);
}

}  // namespace toml::detail
