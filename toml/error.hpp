// Parse errors: what the grammar and assembly stages report, and the
// rendered error text shown to callers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "raw_string.hpp"

namespace toml {

// One expectation of an error: a literal token text (rendered between
// backquotes, with the special cases of the composed message) or a
// description (rendered as is, such as "value").
struct Expectation {
    enum class Kind : unsigned char { Literal, Description } kind;
    std::string text;
    static Expectation literal(std::string_view t) { return {Kind::Literal, std::string(t)}; }
    static Expectation description(std::string_view t) { return {Kind::Description, std::string(t)}; }
};

struct ReportedError {
    std::string description;
    std::optional<std::vector<Expectation>> expected;  // present-but-empty renders "nothing"
    std::optional<Span> context;
    std::optional<Span> unexpected;  // the reported position
};

// Keeps only the first error reported during a parse.
class ErrorSink {
public:
    bool has_error() const { return first_.has_value(); }
    void report(ReportedError e) {
        if (!first_) first_ = std::move(e);
    }
    const std::optional<ReportedError>& first() const { return first_; }
    std::optional<ReportedError>& first() { return first_; }

private:
    std::optional<ReportedError> first_;
};

// "description" + ", expected ..." as shown to the user.
std::string compose_message(const ReportedError& e);

// A failed parse.
struct TomlError {
    std::string message;                          // composed message
    std::shared_ptr<const std::string> source;    // whole source text
    std::optional<Span> span;                     // unexpected span of the error
    std::vector<std::string> keys;                // always empty for parse errors

    // 1-based line and column (counted in characters) of the reported
    // position; nothing for an error without a position.
    struct Position {
        size_t line;
        size_t column;
    };
    std::optional<Position> position() const;

    // Heading, gutter, excerpt line, caret line and message, each ending in "\n".
    std::string render() const;
};

}  // namespace toml
