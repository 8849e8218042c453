#include "edits/copied_item.hpp"

#include <string_view>

#include "edits/prefix_parts.hpp"

namespace quillon {
namespace {

bool has_line_break(const toml::RawString& side) {
    return side.is_present() && side.view().find('\n') != std::string_view::npos;
}

// The comment written on the first line of `text`, trimmed, if any.
std::optional<std::string_view> first_line_comment(std::string_view text) {
    std::string_view line = trim_white_space(text.substr(0, text.find('\n')));
    if (line.empty() || line.front() != '#') return std::nullopt;
    return line;
}

void set_comment_suffix(toml::Decor& decor, std::string_view comment) {
    std::string suffix;
    suffix.reserve(comment.size() + 1);
    suffix.push_back(' ');
    suffix.append(comment);
    decor.set_suffix(suffix);
}

void forget_table_positions(toml::Table& table) {
    table.doc_position.reset();
    for (toml::Entry& e : table.items.entries()) forget_render_positions(e.item);
}

}  // namespace

void fit_copied_value_decor(toml::Value& value, const std::optional<std::string>& element_comment) {
    toml::Decor& decor = value.decor();
    if (has_line_break(decor.prefix)) decor.prefix.reset();
    if (element_comment) {
        set_comment_suffix(decor, *element_comment);
    } else if (has_line_break(decor.suffix)) {
        std::optional<std::string_view> comment = first_line_comment(decor.suffix.view());
        if (comment) {
            std::string kept(*comment);  // the suffix is about to be overwritten
            set_comment_suffix(decor, kept);
        } else {
            decor.suffix.reset();
        }
    }
}

void forget_render_positions(toml::Item& item) {
    if (toml::Table* t = item.as_table()) {
        forget_table_positions(*t);
    } else if (toml::ArrayOfTables* aot = item.as_array_of_tables()) {
        for (toml::Item& member : aot->values) {
            if (toml::Table* t = member.as_table()) forget_table_positions(*t);
        }
    }
}

}  // namespace quillon
