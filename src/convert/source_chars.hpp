// Where the characters of a parsed document's source lie in its source str.
// Rendering copies long stretches of the source; with this they are copied
// out of the str's own characters instead of being decoded from UTF-8 again.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "glue/py_ref.hpp"

namespace quillon {

class SourceChars {
public:
    // `str` is borrowed: the document's model keeps it alive, and `utf8` is
    // its UTF-8 form.
    SourceChars(PyObject* str, std::string_view utf8);

    PyObject* str() const { return str_; }
    // Whether `t` is a whole run of characters of the source.
    bool holds(std::string_view t) const;
    // Number of characters before `p`, the start of a character.
    size_t chars_before(const char* p);
    // The widest character in `t`: 0 ASCII, 1 Latin-1, 2 the Basic
    // Multilingual Plane, 3 beyond it.
    unsigned widest(std::string_view t);

private:
    static constexpr size_t kBlock = 128;
    void index();

    PyObject* str_;
    std::string_view utf8_;
    bool ascii_;
    // Per block of kBlock bytes (built when first needed): the characters
    // before it and its widest character.
    std::vector<uint32_t> chars_before_;
    std::vector<uint8_t> widest_;
};

}  // namespace quillon
