// Building str objects from UTF-8 text: long texts in two passes (measure,
// then fill), which beats the interpreter's decoder, and rendered documents
// straight from their pieces.
#pragma once

#include <cstddef>
#include <string_view>

#include "glue/py_ref.hpp"

namespace toml {
struct RenderedText;
}

namespace quillon {

class SourceChars;

// What a UTF-8 text holds: its characters (bytes that are not continuation
// bytes) and its highest byte.
struct Utf8Measure {
    size_t chars = 0;
    size_t continuation = 0;
    unsigned char highest = 0;

    // For well-formed text, the widest character: 0 ASCII, 1 Latin-1, 2 the
    // Basic Multilingual Plane, 3 beyond it.
    unsigned widest_class() const { return highest < 0x80 ? 0 : highest <= 0xC3 ? 1 : highest <= 0xEF ? 2 : 3; }
};
Utf8Measure measure_utf8(std::string_view text);

// A new str, or nullptr with the Python error set.
PyObject* str_from_utf8(std::string_view text);

// The str of a rendering; its stretches of source text are copied from the
// source str when `source` (which may be null) describes it.
PyObject* str_from_rendering(const toml::RenderedText& text, SourceChars* source);

}  // namespace quillon
