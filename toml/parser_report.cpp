#include "parser_report.hpp"

#include <string>
#include <utility>
#include <vector>

namespace toml::detail {

void report_expecting(ErrorSink& sink, std::string_view description, std::optional<Span> at,
                      std::initializer_list<Expect> expected) {
    if (sink.has_error()) return;
    ReportedError e;
    e.description = std::string(description);
    std::vector<Expectation> list;
    list.reserve(expected.size());
    for (const Expect& x : expected) {
        list.push_back(x.literal ? Expectation::literal(x.text) : Expectation::description(x.text));
    }
    e.expected = std::move(list);
    e.unexpected = at;
    sink.report(std::move(e));
}

void report_plain(ErrorSink& sink, std::string_view description, std::optional<Span> at,
                  std::optional<Span> context) {
    if (sink.has_error()) return;
    ReportedError e;
    e.description = std::string(description);
    e.context = context;
    e.unexpected = at;
    sink.report(std::move(e));
}

}  // namespace toml::detail
