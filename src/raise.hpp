// Slots report failure as nullptr (object slots) or -1 (int slots) with the
// Python error set; these raise an Error and give that value in one step.
#pragma once

#include <utility>

#include "error.hpp"

namespace quillon {

inline PyObject* raise_obj(Error err) { return std::move(err).raise(); }

inline int raise_int(Error err) {
    std::move(err).raise();
    return -1;
}

}  // namespace quillon
