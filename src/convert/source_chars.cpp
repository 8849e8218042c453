#include "convert/source_chars.hpp"

#include <algorithm>
#include <cstring>

#include "convert/utf8_to_str.hpp"

namespace quillon {

SourceChars::SourceChars(PyObject* str, std::string_view utf8)
    : str_(str), utf8_(utf8), ascii_(PyUnicode_IS_ASCII(str) != 0) {}

bool SourceChars::holds(std::string_view t) const {
    const char* begin = utf8_.data();
    const char* end = begin + utf8_.size();
    if (t.empty() || t.data() < begin || t.data() > end || t.size() > static_cast<size_t>(end - t.data())) return false;
    // Both ends fall between characters (not on a continuation byte).
    auto starts_char = [&](const char* p) { return p == end || (static_cast<unsigned char>(*p) & 0xC0) != 0x80; };
    return starts_char(t.data()) && starts_char(t.data() + t.size());
}

void SourceChars::index() {
    size_t blocks = utf8_.size() / kBlock + 1;
    chars_before_.resize(blocks);
    widest_.resize(blocks);
    size_t chars = 0;
    for (size_t b = 0; b < blocks; ++b) {
        chars_before_[b] = static_cast<uint32_t>(chars);
        std::string_view block = utf8_.substr(b * kBlock, kBlock);
        Utf8Measure m = measure_utf8(block);
        chars += m.chars;
        widest_[b] = static_cast<uint8_t>(m.widest_class());
    }
}

size_t SourceChars::chars_before(const char* p) {
    size_t at = static_cast<size_t>(p - utf8_.data());
    if (ascii_) return at;
    if (chars_before_.empty()) index();
    size_t b = at / kBlock;
    return chars_before_[b] + measure_utf8(utf8_.substr(b * kBlock, at - b * kBlock)).chars;
}

unsigned SourceChars::widest(std::string_view t) {
    if (ascii_) return 0;
    if (chars_before_.empty()) index();
    size_t from = static_cast<size_t>(t.data() - utf8_.data());
    size_t to = from + t.size();
    size_t first_whole = (from + kBlock - 1) / kBlock;
    size_t end_whole = to / kBlock;
    if (first_whole >= end_whole) return measure_utf8(t).widest_class();
    unsigned w = std::max(measure_utf8(utf8_.substr(from, first_whole * kBlock - from)).widest_class(),
                          measure_utf8(utf8_.substr(end_whole * kBlock, to - end_whole * kBlock)).widest_class());
    for (size_t b = first_whole; b < end_whole && w < 3; ++b) w = std::max<unsigned>(w, widest_[b]);
    return w;
}

}  // namespace quillon
