// Path elements of live references: a table key or an array position.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace quillon {

struct PathStep {
    std::variant<std::string, size_t> v;  // Str(text) or Index(position)

    static PathStep str(std::string s) { return PathStep{std::move(s)}; }
    static PathStep index(size_t i) { return PathStep{i}; }
    bool is_str() const { return v.index() == 0; }
    bool is_index() const { return v.index() == 1; }
    const std::string& as_str() const { return std::get<0>(v); }
    size_t as_index() const { return std::get<1>(v); }
    bool operator==(const PathStep&) const = default;
};

struct PathStepHash {
    size_t operator()(const PathStep& k) const noexcept {
        if (k.is_str()) return std::hash<std::string>()(k.as_str());
        return std::hash<size_t>()(k.as_index()) ^ 0x9e3779b97f4a7c15ULL;
    }
};

using Path = std::vector<PathStep>;

// What an element removal or insertion reports so the caller can record it.
struct Affected {
    enum class Kind { Nothing, Step, Range } kind = Kind::Nothing;
    PathStep key;
    size_t start = 0, end = 0;

    static Affected nothing() { return Affected{}; }
    static Affected one(PathStep k) { return Affected{Kind::Step, std::move(k), 0, 0}; }
    static Affected range(size_t s, size_t e) { return Affected{Kind::Range, PathStep{}, s, e}; }
};

}  // namespace quillon
