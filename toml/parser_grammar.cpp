// Grammar rules at line level: key/value lines, table headers, keys,
// comments and line breaks.
#include "parser_grammar.hpp"

#include <algorithm>
#include <cstddef>

#include "parser_grammar_impl.hpp"

namespace toml::detail {

bool Grammar::document() {
    for (;;) {
        const Token t = cur();
        switch (t.kind) {
            case TokenKind::Newline:
                if (!newline()) return false;
                break;
            case TokenKind::Comment:
                if (!comment()) return false;
                break;
            case TokenKind::End:
                emit(EventKind::End, t.start, t.end);
                out_.back().count = root_lines_;
                return true;
            case TokenKind::LeftBracket:
                if (!header()) return false;
                break;
            case TokenKind::RightBracket:
                return fail("missing table open", t.span(), {expect_literal("[")});
            case TokenKind::Equals:
            case TokenKind::Comma:
            case TokenKind::LeftBrace:
            case TokenKind::RightBrace:
                return fail("invalid key-value pair", t.span(), {expect_description("key")});
            default:
                if (!keyval_line()) return false;
                break;
        }
    }
}

bool Grammar::value_fragment() {
    const Token first = cur();
    if (first.after_blank) {
        // Blank space before the value belongs to it: as part of a scalar,
        // which then fails to decode, or else as unexpected content.
        if (first.kind != TokenKind::Atom) return fail("unexpected content", point_at(taken_end_), {});
        unquoted_scalar(taken_end_);
    } else if (!value(false)) {
        return false;
    }
    const Token t = cur();
    if (t.kind != TokenKind::End || t.after_blank) {
        return fail("unexpected content", point_at(t.after_blank ? taken_end_ : t.start), {});
    }
    emit(EventKind::End, t.start, t.end);
    return true;
}

// Blank space, comments and line breaks, where all three may stand.
bool Grammar::more_trivia() {
    for (;;) {
        switch (cur().kind) {
            case TokenKind::Newline:
                if (!newline()) return false;
                break;
            case TokenKind::Comment:
                if (!comment()) return false;
                break;
            default:
                return true;
        }
    }
}

bool Grammar::checked_comment() {
    const Token t = cur();
    if (src_[t.start] != '#') return fail("missing comment start", point_at(t.start), {expect_literal("#")});
    for (uint32_t p = t.start + 1; p < t.end; ++p) {
        unsigned char c = static_cast<unsigned char>(src_[p]);
        if (c < 0x80 && c != '\t' && (c < 0x20 || c > 0x7E)) {
            return fail("invalid comment character", Span{p, p + 1},
                        {expect_description("printable characters")});
        }
    }
    advance();
    return true;
}

bool Grammar::lone_carriage_return() {
    return fail("carriage return must be followed by newline", point_at(cur_.end), {expect_literal("\n")});
}

// After a key/value or a header: blank space, a comment, then the line break.
bool Grammar::line_end_after_more() {
    bool had_comment = false;
    if (cur().kind == TokenKind::Comment) {
        if (!comment()) return false;
        had_comment = true;
    }
    const Token t = cur();
    if (t.kind == TokenKind::Newline) {
        emit(EventKind::LineEnd, t.start, t.end);
        return newline();
    }
    if (t.kind == TokenKind::End) return true;
    if (had_comment) {
        return fail("unexpected content between comment and newline", point_at(t.start),
                    {expect_literal("\n")});
    }
    return fail("unexpected key or value", point_at(t.start), {expect_literal("\n"), expect_literal("#")});
}

bool Grammar::keyval_line() {
    // Most lines start with a single unquoted key part and "=", at most one
    // space between them: both are taken from the bytes at once.
    if (cur_.kind == TokenKind::Atom) {
        const char* s = src_.data();
        uint32_t eq = cur_.end;
        if (eq + 1 < src_.size() && s[eq] == ' ') ++eq;
        if (eq < src_.size() && s[eq] == '=') {
            emit(EventKind::SimpleKey, cur_.start, cur_.end, Quoting::Unquoted, cur_.plain);
            count_line();
            emit(EventKind::KeyValSep, eq, eq + 1);
            last_significant_end_ = taken_end_ = eq + 1;
            if (simple_scalar_at(eq + 1)) return line_end();
            lexer_.seek(eq + 1);
            lexer_.next(cur_);
            if (!value(false)) return false;
            return line_end();
        }
    }
    bool starts_with_dot = cur().kind == TokenKind::Dot;
    size_t first = out_.size();
    key();
    if (key_adds_entry(first, dotted_first_)) count_line();
    const Token t = cur();
    if (t.kind != TokenKind::Equals) {
        return fail(starts_with_dot ? "missing value for key" : "key with no value", point_at(t.start),
                    {expect_literal("=")});
    }
    take_significant(EventKind::KeyValSep);
    if (!value(false)) return false;
    return line_end();
}

bool Grammar::header() {
    const Token open = cur();
    // "[[" is two brackets with nothing between them.
    bool array_table = bracket_follows(open);
    size_t previous_header = header_event_;
    header_event_ = out_.size();
    if (array_table) {
        emit(EventKind::ArrayTableOpen, open.start, open.end + 1);
        last_significant_end_ = open.end + 1;
        advance();
        advance();
    } else {
        take_significant(EventKind::StdTableOpen);
    }
    if (!starts_key(cur().kind)) {
        return fail("invalid table", point_at(cur().start), {expect_description("key")});
    }
    uint32_t key_start = cur().start;
    key();
    Span key_text{key_start, out_.back().end};
    if (previous_header != kNoHeader && opens_child_of(key_text, previous_key_)) ++out_[previous_header].count;
    // Everything before this header is complete now.
    if (sink_ != nullptr && header_event_ >= hand_over_from_) hand_over();
    previous_key_ = key_text;
    dotted_first_ = Span{};
    const Token t = cur();
    if (!array_table) {
        if (t.kind != TokenKind::RightBracket) {
            return fail("unclosed table", after_last_significant(), {expect_literal("]")});
        }
        take_significant(EventKind::StdTableClose);
    } else if (t.kind == TokenKind::RightBracket && bracket_follows(t)) {
        emit(EventKind::ArrayTableClose, t.start, t.end + 1);
        last_significant_end_ = t.end + 1;
        advance();
        advance();
    } else if (t.kind == TokenKind::RightBracket) {
        return fail("unclosed array table", point_at(t.end), {expect_literal("]")});
    } else {
        return fail("unclosed array table", after_last_significant(), {expect_literal("]]")});
    }
    return line_end();
}

void Grammar::hand_over() {
    sink_->statements(out_, header_event_, root_lines_);
    header_event_ = 0;
}

void Grammar::emit_growing(const Event& e) {
    // The list kept between parses is small; past it, room for the whole text
    // at once (rarely more than one event per two bytes).
    out_.reserve(std::max(out_.capacity() * 2, src_.size() / 2 + 16));
    out_.push_back(e);
}

bool Grammar::dotted_key_adds_entry(size_t first, Span& dotted_first) const {
    Span part = out_[first].span();
    std::string_view text = src_.substr(part.start, part.size());
    if (dotted_first.size() == part.size() && src_.substr(dotted_first.start, dotted_first.size()) == text) {
        return false;
    }
    dotted_first = part;
    return true;
}

// Whether a header key, as written, starts with the previous header's key and
// a dot: the previous table is then about to get a child entry. Only a hint
// for reserving room (other spellings of the same keys are not recognised).
bool Grammar::opens_child_of(Span key, Span previous) const {
    if (key.size() <= previous.size()) return false;
    std::string_view text = src_.substr(key.start, key.size());
    if (text.substr(0, previous.size()) != src_.substr(previous.start, previous.size())) return false;
    size_t i = previous.size();
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return i < text.size() && text[i] == '.';
}

// One or more key parts joined by dots (blank space allowed around the dots).
// A part that is missing (around a stray dot) becomes an empty unquoted part,
// which decoding rejects.
void Grammar::key() {
    for (;;) {
        const Token t = cur();
        if (t.kind == TokenKind::Atom || is_string_token(t.kind)) {
            emit(EventKind::SimpleKey, t.start, t.end, quoting_of(t.kind), t.plain);
            last_significant_end_ = t.end;
            advance();
        } else {
            emit(EventKind::SimpleKey, t.start, t.start, Quoting::Unquoted);
        }
        if (cur().kind != TokenKind::Dot) return;
        take_significant(EventKind::KeySep);
    }
}

bool grammar_document(std::string_view source, size_t start, EventList& events, ErrorSink& errors,
                      bool& carriage_returns, StatementSink* sink) {
    events.clear();
    Grammar g(source, start, events, errors, sink);
    bool ok = g.document();
    carriage_returns = g.saw_carriage_return();
    return ok;
}

bool grammar_value(std::string_view source, EventList& events, ErrorSink& errors) {
    events.clear();
    Grammar g(source, 0, events, errors);
    return g.value_fragment();
}

}  // namespace toml::detail
