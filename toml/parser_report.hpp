// Builders of reported errors for the grammar and assembly stages. Out of
// line and cold: nothing is built unless something is wrong.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>

#include "error.hpp"

namespace toml::detail {

struct Expect {
    bool literal;
    std::string_view text;
};
inline constexpr Expect expect_literal(std::string_view t) { return Expect{true, t}; }
inline constexpr Expect expect_description(std::string_view t) { return Expect{false, t}; }

// Reports with an expectation list (an empty list renders "nothing").
[[gnu::cold]] void report_expecting(ErrorSink& sink, std::string_view description,
                                    std::optional<Span> at, std::initializer_list<Expect> expected);
// Reports without an expectation list.
[[gnu::cold]] void report_plain(ErrorSink& sink, std::string_view description,
                                std::optional<Span> at, std::optional<Span> context = std::nullopt);

}  // namespace toml::detail
