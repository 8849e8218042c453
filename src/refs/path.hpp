// Path elements of live references: a table key or an array position.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace quillon {

struct Key {
    std::variant<std::string, size_t> v;  // Str(text) or Index(position)

    static Key str(std::string s) { return Key{std::move(s)}; }
    static Key index(size_t i) { return Key{i}; }
    bool is_str() const { return v.index() == 0; }
    bool is_index() const { return v.index() == 1; }
    const std::string& as_str() const { return std::get<0>(v); }
    size_t as_index() const { return std::get<1>(v); }
    bool operator==(const Key&) const = default;
};

struct KeyHash {
    size_t operator()(const Key& k) const noexcept {
        if (k.is_str()) return std::hash<std::string>()(k.as_str());
        return std::hash<size_t>()(k.as_index()) ^ 0x9e3779b97f4a7c15ULL;
    }
};

using Path = std::vector<Key>;

// What an element removal or insertion reports so the caller can record it.
struct Affected {
    enum class Kind { Nothing, Key, Range } kind = Kind::Nothing;
    Key key;
    size_t start = 0, end = 0;

    static Affected nothing() { return Affected{}; }
    static Affected one(Key k) { return Affected{Kind::Key, std::move(k), 0, 0}; }
    static Affected range(size_t s, size_t e) { return Affected{Kind::Range, Key{}, s, e}; }
};

}  // namespace quillon
