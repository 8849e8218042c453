// Grammar rules for values: scalars, arrays and inline tables.
#include "parser_grammar_impl.hpp"

namespace toml::detail {

bool Grammar::value(bool in_inline_table) {
    const Token t = cur();
    switch (t.kind) {
        case TokenKind::Atom:
        case TokenKind::Dot:
            unquoted_scalar(t.start);
            return true;
        case TokenKind::Newline:
        case TokenKind::Comment:
        case TokenKind::Comma:
        case TokenKind::End:
            // The value is missing: an empty scalar that decoding rejects.
            emit(EventKind::Scalar, t.start, t.start, Quoting::Unquoted);
            return true;
        case TokenKind::BasicString:
        case TokenKind::MlBasicString:
        case TokenKind::LiteralString:
        case TokenKind::MlLiteralString:
            emit(EventKind::Scalar, t.start, t.end, quoting_of(t.kind), t.plain);
            last_significant_end_ = t.end;
            advance();
            return true;
        case TokenKind::LeftBracket:
            return array();
        case TokenKind::LeftBrace:
            return inline_table();
        case TokenKind::Equals:
            if (in_inline_table) {
                return fail("extra assignment between key-value pairs", t.span(),
                            {expect_description("value")});
            }
            return fail("extra `=`", t.span(), {});
        case TokenKind::RightBracket:
            return fail("missing array opening", t.span(), {expect_literal("[")});
        case TokenKind::RightBrace:
            return fail("missing inline table opening", t.span(), {expect_literal("{")});
    }
    return true;
}

bool Grammar::simple_scalar_at(uint32_t from) {
    const char* s = src_.data();
    const size_t n = src_.size();
    size_t v = from;
    if (v + 1 < n && s[v] == ' ') ++v;
    if (v + 2 >= n) return false;
    const unsigned char c = static_cast<unsigned char>(s[v]);
    size_t end;
    if (c == '"') {
        if (s[v + 1] == '"' && s[v + 2] == '"') return false;
        bool plain;
        end = lexer_detail::scan_basic(src_, v, plain);
        emit(EventKind::Scalar, static_cast<uint32_t>(v), static_cast<uint32_t>(end), Quoting::Basic, plain);
        lexer_.seek(end);
    } else if (c != ' ' && c != '\t' && lexer_detail::kFirstByteKind[c] == TokenKind::Atom) {
        // An atom, and whatever joins it (see unquoted_scalar).
        lexer_.seek(v);
        end = lexer_.skip_scalar_rest(false);
        emit(EventKind::Scalar, static_cast<uint32_t>(v), static_cast<uint32_t>(end), Quoting::Unquoted);
    } else {
        return false;
    }
    last_significant_end_ = taken_end_ = static_cast<uint32_t>(end);
    lexer_.next(cur_);
    return true;
}

// An atom followed by further atoms and dots; a single blank between two
// atoms joins them too (local date-times such as 1979-05-27 07:32:00). The
// scalar's text starts at `start` (before the current token where blank
// space at the start of a value fragment belongs to it).
void Grammar::unquoted_scalar(uint32_t start) {
    taken_end_ = static_cast<uint32_t>(lexer_.skip_scalar_rest(cur_.kind == TokenKind::Atom));
    lexer_.next(cur_);
    uint32_t end = taken_end_;
    emit(EventKind::Scalar, start, end, Quoting::Unquoted);
    last_significant_end_ = end;
}

bool Grammar::enter_nesting(const Token& open) {
    if (++depth_ > kMaxNesting) {
        report_plain(errors_, kTooDeepMessage, open.span());
        return false;
    }
    return true;
}

bool Grammar::array() {
    if (!enter_nesting(cur())) return false;
    size_t open = out_.size();
    take_significant(EventKind::ArrayOpen);
    for (;;) {
        // Element position: after "[" or ",".
        if (!trivia()) return false;
        const Token t = cur();
        switch (t.kind) {
            case TokenKind::RightBracket:
                take_significant(EventKind::ArrayClose);
                --depth_;
                return true;
            case TokenKind::Comma:
                return fail("extra comma in array", t.span(), {expect_description("value")});
            case TokenKind::Equals:
                return fail("unexpected `=` in array", t.span(),
                            {expect_description("value"), expect_literal("]")});
            case TokenKind::End:
                return fail("unclosed array", after_last_significant(), {expect_literal("]")});
            default:
                break;
        }
        ++out_[open].count;
        if (!value(false)) return false;
        // After an element.
        if (!trivia()) return false;
        const Token n = cur();
        if (n.kind == TokenKind::Comma) {
            take_significant(EventKind::ValueSep);
            continue;
        }
        if (n.kind == TokenKind::RightBracket) {
            take_significant(EventKind::ArrayClose);
            --depth_;
            return true;
        }
        if (n.kind == TokenKind::Equals) {
            return fail("unexpected `=` in array", n.span(),
                        {expect_description("value"), expect_literal("]")});
        }
        if (starts_value(n.kind)) {
            return fail("missing comma between array elements", point_at(n.start), {expect_literal(",")});
        }
        return fail("unclosed array", after_last_significant(), {expect_literal("]")});
    }
}

// A token out of place inside an inline table; `expected` is what the table
// was waiting for.
bool Grammar::inline_table_misplaced(const Token& t, Expect expected) {
    switch (t.kind) {
        case TokenKind::End:
            return fail("unclosed inline table", after_last_significant(), {expect_literal("}")});
        case TokenKind::Comma:
            return fail("extra comma in inline table", t.span(), {expected});
        default:
            return fail("invalid inline table element", t.span(), {expected});
    }
}

bool Grammar::inline_table() {
    if (!enter_nesting(cur())) return false;
    size_t open = out_.size();
    take_significant(EventKind::InlineTableOpen);
    const Expect want_key = expect_description("key");
    const Expect want_equals = expect_literal("=");
    const Expect want_comma = expect_literal(",");
    Span dotted_first{};
    for (;;) {
        // Key position: after "{" or ",".
        if (!trivia()) return false;
        const Token k = cur();
        if (k.kind == TokenKind::RightBrace) {
            take_significant(EventKind::InlineTableClose);
            --depth_;
            return true;
        }
        if (k.kind == TokenKind::Equals) {
            return fail("missing key for inline table element", point_at(k.start), {want_key});
        }
        if (!starts_key(k.kind)) return inline_table_misplaced(k, want_key);
        size_t first = out_.size();
        key();
        if (key_adds_entry(first, dotted_first)) ++out_[open].count;
        const Token eq = cur();
        if (eq.kind != TokenKind::Equals) {
            if (starts_value(eq.kind)) {
                return fail("missing assignment between key-value pairs", point_at(eq.start), {want_equals});
            }
            return inline_table_misplaced(eq, want_equals);
        }
        take_significant(EventKind::KeyValSep);
        if (!value(true)) return false;
        // After a value.
        if (!trivia()) return false;
        const Token n = cur();
        if (n.kind == TokenKind::Comma) {
            take_significant(EventKind::ValueSep);
            continue;
        }
        if (n.kind == TokenKind::RightBrace) {
            take_significant(EventKind::InlineTableClose);
            --depth_;
            return true;
        }
        if (n.kind == TokenKind::Equals) {
            return fail("extra assignment between key-value pairs", n.span(), {want_comma});
        }
        if (starts_key(n.kind)) {
            return fail("missing comma between key-value pairs", point_at(n.start), {want_comma});
        }
        return inline_table_misplaced(n, want_comma);
    }
}

}  // namespace toml::detail
