// The module's class objects. They are created once per interpreter when the
// module is executed and are the only state the module keeps.
#pragma once

#include "py_ref.hpp"

namespace quillon {

struct ClassObjects {
    PyTypeObject* document = nullptr;
    PyTypeObject* item = nullptr;
    PyTypeObject* dict_item = nullptr;
    PyTypeObject* list_item = nullptr;
    PyTypeObject* scalar_item = nullptr;
    PyTypeObject* keys_view = nullptr;
    PyTypeObject* values_view = nullptr;
    PyTypeObject* items_view = nullptr;
};

extern ClassObjects classes;

}  // namespace quillon
