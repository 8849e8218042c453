// The dictionary members that Document and DictItem share: one implementation
// each, acting on the table the receiver stands for (see table_access.hpp):
// get, pop, popitem, setdefault, update, keys, values, items, | and |=. Each
// is instantiated once per class, so that binding errors name the class
// ("Document.pop()", "DictItem.pop()").
#pragma once

#include <array>
#include <cstddef>

#include "glue/py_ref.hpp"

namespace quillon {

enum class MappingClass { Document, DictItem };

// x | other: a new object of x's class with other merged in; other | x: a
// plain dict in which x's values win.
template <MappingClass C>
PyObject* mapping_or(PyObject* left, PyObject* right);
// x |= other: update(other), then x itself.
template <MappingClass C>
PyObject* mapping_ior(PyObject* self, PyObject* other);

// The method-table rows, with their text signatures, of get, pop, popitem,
// setdefault, update, keys, values and items.
inline constexpr size_t kMappingMethodCount = 8;
template <MappingClass C>
std::array<PyMethodDef, kMappingMethodCount> mapping_method_defs();

// A class's own method table `own` (ending with its null row) with the shared
// rows after its own, and the null row last.
template <MappingClass C, size_t N>
std::array<PyMethodDef, N + kMappingMethodCount> with_mapping_methods(const PyMethodDef (&own)[N]) {
    std::array<PyMethodDef, N + kMappingMethodCount> all{};
    std::array<PyMethodDef, kMappingMethodCount> shared = mapping_method_defs<C>();
    for (size_t i = 0; i + 1 < N; ++i) all[i] = own[i];
    for (size_t i = 0; i < kMappingMethodCount; ++i) all[N - 1 + i] = shared[i];
    all.back() = PyMethodDef{nullptr, nullptr, 0, nullptr};
    return all;
}

}  // namespace quillon
