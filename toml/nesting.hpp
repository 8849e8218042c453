// How deep a document may nest, one limit for every way content comes in.
//
// The depth of a table, inline table, array or array of tables is the number
// of such containers from the root down to it, itself included (the root
// table is depth 0; a member table of an array of tables lies one level below
// the array). Within this limit every header and key path has at most as many
// parts, and every value as many brackets, as the parser accepts, and every
// recursive walk of the model stays far from the end of the C stack.
#pragma once

#include "model.hpp"

namespace toml {

inline constexpr int kMaxNesting = 80;

inline constexpr const char kTooDeepMessage[] = "cannot recurse further; max recursion depth met";

// How many container levels `item` spans: 0 for a scalar or None, one more
// than its deepest element or entry for a container. Looks at most `cap`
// levels down and answers `cap` + 1 for anything deeper, so it is safe on
// any input.
int nesting_height(const Item& item, int cap = kMaxNesting);
int nesting_height(const Value& value, int cap = kMaxNesting);
int nesting_height(const Table& table, int cap = kMaxNesting);

}  // namespace toml
