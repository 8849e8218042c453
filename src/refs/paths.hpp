// Following paths of live references through the model, and reading keys
// given from Python.
#pragma once

#include <optional>
#include <string>

#include <cstdint>

#include "classes/document.hpp"
#include "glue/error.hpp"
#include "refs/path.hpp"
#include "toml/model.hpp"

namespace quillon {

// The model item designated by `path` from the root item; KeyError
// "path no longer valid" when a step cannot be followed.
Result<const toml::Item*> navigate_path(const toml::Item& root, const Path& path);
// The same for writing: a missing table key gets a None placeholder entry.
Result<toml::Item*> navigate_path_mut(toml::Item& root, const Path& path);
// What a reference made at generation `generation` designates in `doc`, whose access the
// caller holds: the staleness error first, then the path's.
Result<const toml::Item*> resolve_fresh(const DocumentObject* doc, const Path& path, uint64_t generation);

// A str gives its text; an Item designating a string value gives that text
// (after its freshness check and path resolution, whose errors propagate);
// anything else gives nullopt (not a string key, no error).
Result<std::optional<std::string>> extract_key_str(PyObject* obj);

}  // namespace quillon
