#include "edits/list_decor.hpp"

#include <algorithm>

#include "edits/prefix_parts.hpp"

namespace quillon {

namespace {

bool starts_with_newline(std::string_view text) { return !text.empty() && text.front() == '\n'; }

std::string newline_then(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 1);
    out.push_back('\n');
    out.append(text);
    return out;
}

}  // namespace

std::optional<std::string> save_first_prefix(const toml::Array& array) {
    if (array.is_empty()) return std::nullopt;
    const toml::RawString& prefix = array.get(0).decor().prefix;
    std::string_view text = side_text(prefix);
    if (prefix.is_absent() || text.empty()) return std::nullopt;
    size_t last = text.rfind('\n');
    if (last == std::string_view::npos) return std::string(text);
    return newline_then(text.substr(last + 1));
}

void apply_first_prefix(toml::Array& array, const std::optional<std::string>& saved) {
    if (!saved || array.is_empty()) return;
    array.get(0).decor().set_prefix(*saved);
}

std::optional<std::string> strip_last_suffix(toml::Array& array) {
    if (array.is_empty()) return std::nullopt;
    toml::RawString& suffix = array.get(array.len() - 1).decor().suffix;
    if (suffix.is_absent() || side_text(suffix).empty()) return std::nullopt;
    std::string saved(side_text(suffix));
    suffix.set("");
    return saved;
}

std::string take_suffix_comment(std::optional<std::string>& saved) {
    if (!saved) return std::string();
    std::string_view text = *saved;
    size_t nl = text.find('\n');
    if (nl == std::string_view::npos) return std::string();
    std::string_view first_line = trim_white_space(text.substr(0, nl));
    if (first_line.empty() || first_line.front() != '#') return std::string();
    std::string comment(text.substr(0, nl));
    saved->erase(0, nl);
    return comment;
}

void apply_last_suffix(toml::Array& array, const std::optional<std::string>& saved) {
    if (!saved || array.is_empty()) return;
    array.get(array.len() - 1).decor().set_suffix(*saved);
}

std::optional<std::string> multiline_prefix(const toml::Array& array) {
    if (array.is_empty()) return std::nullopt;
    const toml::RawString& prefix = array.get(0).decor().prefix;
    if (prefix.is_absent()) return std::nullopt;
    std::string_view text = side_text(prefix);
    size_t last = text.rfind('\n');
    if (last == std::string_view::npos) return std::nullopt;
    return newline_then(text.substr(last + 1));
}

void apply_multiline_decor(const std::optional<std::string>& line_start, toml::Value& value) {
    if (!line_start) return;
    value.decor().set_prefix(*line_start);
    value.decor().set_suffix("");
}

void apply_multiline_decor(const toml::Array& array, toml::Value& value) {
    apply_multiline_decor(multiline_prefix(array), value);
}

RemovalDecor save_removal_decor(const toml::Array& array, bool want_first, bool want_last) {
    RemovalDecor saved;
    size_t n = array.len();
    if (n < 2) return saved;
    if (want_first) saved.first = std::string(side_text(array.get(0).decor().prefix));
    if (want_last) {
        saved.last = std::string(side_text(array.get(n - 1).decor().suffix));
        // The removed element's comment goes with it, not onto the new last one.
        take_suffix_comment(saved.last);
    }
    return saved;
}

void apply_removal_decor(toml::Array& array, const RemovalDecor& saved) {
    if (array.is_empty()) return;
    if (saved.first) {
        toml::RawString& prefix = array.get(0).decor().prefix;
        std::string_view text = side_text(prefix);
        size_t nl = text.find('\n');
        if (nl != std::string_view::npos) {
            // The line before the first line feed held the removed element's
            // inline comment.
            prefix.set(newline_then(text.substr(nl + 1)));
        } else {
            prefix.set(*saved.first);
        }
    }
    if (saved.last && !saved.last->empty()) {
        std::string trailing(side_text(array.trailing));
        trailing.append(*saved.last);
        array.trailing.set(trailing);
    }
}

void fix_first_aot_prefix(toml::ArrayOfTables& aot) {
    if (aot.is_empty()) return;
    toml::RawString& prefix = aot.get(0).decor.prefix;
    std::string_view text = side_text(prefix);
    if (prefix.is_absent() || !starts_with_newline(text)) return;
    prefix.set(std::string(text.substr(1)));
}

void fix_inserted_aot_spacing(toml::ArrayOfTables& aot, size_t idx) {
    size_t target = std::max<size_t>(idx, 1);
    if (target >= aot.len()) return;

    const toml::Table* reference = nullptr;
    if (target - 1 >= 1) {
        reference = &aot.get(target - 1);
    } else if (target + 1 < aot.len()) {
        reference = &aot.get(target + 1);
    }
    bool want_blank = true;
    if (reference && reference->decor.prefix.is_present()) {
        want_blank = starts_with_newline(side_text(reference->decor.prefix));
    }

    toml::RawString& prefix = aot.get(target).decor.prefix;
    std::string_view text = side_text(prefix);
    if (want_blank && !starts_with_newline(text)) {
        prefix.set(newline_then(text));
    } else if (!want_blank && (prefix.is_absent() || text == "\n")) {
        prefix.set("");
    }
}

std::string take_value_inline_comment(toml::Value& value) {
    toml::RawString& suffix = value.decor().suffix;
    std::string_view text = side_text(suffix);
    std::string_view trimmed = trim_white_space(text);
    if (trimmed.empty() || trimmed.front() != '#') return std::string();
    std::string taken(text);
    suffix.set("");
    return taken;
}

}  // namespace quillon
