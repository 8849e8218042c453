// Private to the decoder: building ReportedErrors only when one is needed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace toml::decode_detail {

// A compile-time expectation; turned into an Expectation only on error.
struct Expect {
    bool literal;
    std::string_view text;
};
constexpr Expect lit(std::string_view t) { return {true, t}; }
constexpr Expect desc(std::string_view t) { return {false, t}; }

// No expectation list at all, versus an empty one ("expected nothing").
enum class ExpectList : unsigned char { Absent, Listed };

inline ReportedError make_error(std::string_view description, ExpectList mode,
                                std::initializer_list<Expect> expected, Span at) {
    ReportedError e;
    e.description.assign(description);
    if (mode == ExpectList::Listed) {
        std::vector<Expectation> list;
        list.reserve(expected.size());
        for (const Expect& x : expected)
            list.push_back(x.literal ? Expectation::literal(x.text) : Expectation::description(x.text));
        e.expected = std::move(list);
    }
    e.unexpected = at;
    return e;
}

// Where the errors of one token go. Positions are offsets into the token;
// `base` turns them into offsets into the source.
//
// Errors can be held back (`pending`) so that a problem with the token's
// delimiters, found only at its end, is reported before a problem inside it.
class Reporter {
public:
    Reporter(ErrorSink& sink, uint32_t base) : sink_(sink), base_(base) {}

    bool quiet() const { return sink_.has_error(); }
    bool failed() const { return failed_; }
    Span at(size_t from, size_t to) const {
        return Span{base_ + static_cast<uint32_t>(from), base_ + static_cast<uint32_t>(to)};
    }

    void report(std::string_view description, std::initializer_list<Expect> expected, size_t from,
                size_t to) {
        failed_ = true;
        if (!quiet()) sink_.report(make_error(description, ExpectList::Listed, expected, at(from, to)));
    }
    // An error whose message carries no expectation list.
    void report_bare(std::string_view description, size_t from, size_t to) {
        failed_ = true;
        if (!quiet()) sink_.report(make_error(description, ExpectList::Absent, {}, at(from, to)));
    }

    void hold(std::string_view description, std::initializer_list<Expect> expected, size_t from,
              size_t to) {
        failed_ = true;
        if (!held_ && !quiet()) held_ = make_error(description, ExpectList::Listed, expected, at(from, to));
    }
    void release() {
        if (held_) {
            sink_.report(std::move(*held_));
            held_.reset();
        }
    }

private:
    ErrorSink& sink_;
    uint32_t base_;
    bool failed_ = false;
    std::optional<ReportedError> held_;
};

}  // namespace toml::decode_detail
