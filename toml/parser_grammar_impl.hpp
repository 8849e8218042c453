// The grammar stage's matcher, shared by the line-level rules
// (parser_grammar.cpp) and the value rules (parser_grammar_values.cpp).
#pragma once

#include <string_view>
#include <vector>

#include "error.hpp"
#include "lexer.hpp"
#include "nesting.hpp"
#include "parser_events.hpp"
#include "parser_report.hpp"

namespace toml::detail {


inline bool is_string_token(TokenKind k) {
    return k == TokenKind::BasicString || k == TokenKind::MlBasicString ||
           k == TokenKind::LiteralString || k == TokenKind::MlLiteralString;
}

// Tokens a key part can start with (a leading "." means an empty first part).
inline bool starts_key(TokenKind k) {
    return k == TokenKind::Atom || k == TokenKind::Dot || is_string_token(k);
}

inline bool starts_value(TokenKind k) {
    return starts_key(k) || k == TokenKind::LeftBracket || k == TokenKind::LeftBrace;
}

// The empty span at a byte position.
inline Span point_at(uint32_t pos) { return Span{pos, pos}; }

class Grammar {
public:
    // Lexing starts at `start` (after a byte-order mark).
    Grammar(std::string_view source, size_t start, EventList& events, ErrorSink& errors,
            StatementSink* sink = nullptr)
        : src_(source),
          lexer_(source, start),
          out_(events),
          errors_(errors),
          sink_(sink),
          hand_over_from_(sink != nullptr ? sink->hand_over_from() : 0) {
        lexer_.next(cur_);
    }

    bool document();
    bool value_fragment();
    bool saw_carriage_return() const { return lexer_.saw_carriage_return(); }

private:
    Token cur() const { return cur_; }
    // The lexer always stands right after the current token.
    void advance() {
        taken_end_ = cur_.end;
        lexer_.next(cur_);
    }
    // Whether a bracket token is followed by the same bracket, right after it.
    bool bracket_follows(const Token& t) const { return t.end < src_.size() && src_[t.end] == src_[t.start]; }

    // The growing path stays out of line, so that the common one saves no
    // registers and costs a handful of stores.
    [[gnu::always_inline]] void emit(EventKind kind, uint32_t start, uint32_t end, Quoting q = Quoting::Unquoted,
                                     bool plain = false) {
        if (out_.size() == out_.capacity()) [[unlikely]] return emit_growing(Event{kind, q, plain, start, end});
        out_.push_back(Event{kind, q, plain, start, end});
    }
    [[gnu::noinline]] void emit_growing(const Event& e);
    // Hands the statements before the current header to the sink.
    void hand_over();
    [[gnu::always_inline]] void take(EventKind kind) {
        emit(kind, cur_.start, cur_.end);
        advance();
    }
    // Takes a token that counts as "last read" for the position of errors
    // about missing closing tokens.
    void take_significant(EventKind kind) {
        last_significant_end_ = cur().end;
        take(kind);
    }
    Span after_last_significant() const { return point_at(last_significant_end_); }

    bool fail(std::string_view description, Span where, std::initializer_list<Expect> expected) {
        report_expecting(errors_, description, where, expected);
        return false;
    }

    bool trivia() {
        return (cur_.kind != TokenKind::Newline && cur_.kind != TokenKind::Comment) || more_trivia();
    }
    bool more_trivia();
    // A comment or a line break: nearly always well-formed, and taken inline
    // then.
    bool comment() {
        if (!cur_.plain) [[unlikely]] return checked_comment();
        advance();
        return true;
    }
    bool newline() {
        if (cur_.end - cur_.start == 1 && src_[cur_.start] == '\r') [[unlikely]] return lone_carriage_return();
        advance();
        return true;
    }
    bool checked_comment();
    bool lone_carriage_return();
    // Mostly the line break comes right away.
    bool line_end() {
        if (cur_.kind != TokenKind::Newline) return line_end_after_more();
        emit(EventKind::LineEnd, cur_.start, cur_.end);
        return newline();
    }
    bool line_end_after_more();
    bool keyval_line();
    // A key/value line that adds an entry to its table.
    void count_line() {
        if (header_event_ == kNoHeader) {
            ++root_lines_;
        } else {
            ++out_[header_event_].count;
        }
    }
    bool header();
    bool opens_child_of(Span key, Span previous) const;
    void key();
    // After key() emitted the key that starts at event `first`: whether it
    // may add an entry to its table. A dotted key whose first part is spelled
    // as that of the dotted key before it (`dotted_first`) adds none; the
    // counts stay upper bounds, since any other key may.
    bool key_adds_entry(size_t first, Span& dotted_first) const {
        return out_.size() == first + 1 || dotted_key_adds_entry(first, dotted_first);
    }
    bool dotted_key_adds_entry(size_t first, Span& dotted_first) const;
    bool value(bool in_inline_table);
    void unquoted_scalar(uint32_t start);
    // A value whose first byte stands at `from`, or after one space there,
    // when it is an atom or a single-line basic string: taken at once, with
    // the token after it lexed. False, with nothing done, for other values.
    bool simple_scalar_at(uint32_t from);
    bool enter_nesting(const Token& open);
    bool array();
    bool inline_table();
    bool inline_table_misplaced(const Token& t, Expect expected);

    std::string_view src_;
    Lexer lexer_;
    Token cur_{};
    uint32_t taken_end_ = 0;  // end of the token before the current one
    EventList& out_;
    ErrorSink& errors_;
    StatementSink* sink_;
    size_t hand_over_from_;
    uint32_t last_significant_end_ = 0;
    int depth_ = 0;
    // Key/value lines are counted on the latest header's opening event, or
    // for the root (before any header) here.
    static constexpr size_t kNoHeader = static_cast<size_t>(-1);
    size_t header_event_ = kNoHeader;
    Span previous_key_{};  // the latest header's key as written
    Span dotted_first_{};  // first part of the body's latest dotted key
    uint32_t root_lines_ = 0;
};

}  // namespace toml::detail
