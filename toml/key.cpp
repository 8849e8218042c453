// Key: the spelling, the dotted decor and the written prefix, kept in a few
// bits for most keys and in an out-of-line block for the rest; and copying.
#include <utility>
#include <vector>

#include "model.hpp"

namespace toml {

struct alignas(16) Key::Extra {
    Decor decor;
    Box<std::vector<Key>> written_prefix;
    RawString repr;
};

namespace {

RawString side(bool empty) { return empty ? RawString::empty() : RawString(); }

// The dotted decors that need no block, indexed by the dotted bits.
const Decor kPlainDecors[4] = {
    Decor(),
    [] { Decor d; d.prefix = side(true); return d; }(),
    [] { Decor d; d.suffix = side(true); return d; }(),
    [] { Decor d; d.prefix = side(true); d.suffix = side(true); return d; }(),
};

// 0 absent, 1 present and empty, -1 anything else.
int plain_side(const RawString& s) {
    if (s.is_absent()) return 0;
    return s.view().empty() ? 1 : -1;
}

}  // namespace

Key::Key(const Key& o) : key(o.key), leaf_decor(o.leaf_decor), extra_(o.extra_) {
    if (const Extra* e = o.extra_block()) {
        extra_ = reinterpret_cast<uintptr_t>(new Extra(*e));
    } else if ((extra_ & kReprBits) == kReprQuotesText) {
        // The copy's text is its own: the quotes around it are not there.
        extra_ &= kDotBits;
        make_extra_block().repr = RawString(o.repr());
    }
}

Key& Key::operator=(const Key& o) {
    if (this != &o) {
        Key copy(o);
        *this = std::move(copy);
    }
    return *this;
}

Key& Key::operator=(Key&& o) noexcept {
    if (this != &o) {
        key = std::move(o.key);
        leaf_decor = std::move(o.leaf_decor);
        release_extra();
        extra_ = std::exchange(o.extra_, 0);
    }
    return *this;
}

void Key::release_extra() noexcept {
    delete extra_block();
    extra_ = 0;
}

bool Key::has_repr() const noexcept {
    if (const Extra* e = extra_block()) return e->repr.is_present();
    return (extra_ & kReprBits) != kNoRepr;
}

std::string_view Key::repr() const noexcept {
    if (const Extra* e = extra_block()) return e->repr.view();
    std::string_view text = key.view();
    switch (extra_ & kReprBits) {
        case kReprIsText:
            return text;
        case kReprQuotesText:
            return std::string_view(text.data() - 1, text.size() + 2);
        default:
            return {};
    }
}

// The spelling as a string of its own kind: borrowed where the key's text is.
RawString Key::plain_repr() const {
    std::string_view text = key.view();
    switch (extra_ & kReprBits) {
        case kReprIsText:
            return key.is_borrowed() ? RawString::borrowed_unchecked(text.data(), text.size()) : RawString(text);
        case kReprQuotesText:
            return RawString::borrowed_unchecked(text.data() - 1, text.size() + 2);
        default:
            return RawString();
    }
}

Key::Extra& Key::make_extra_block() {
    auto* block = new Extra{kPlainDecors[extra_ & kDotBits], {}, plain_repr()};
    extra_ = reinterpret_cast<uintptr_t>(block);
    return *block;
}

void Key::set_repr(RawString spelling) {
    if (Extra* e = extra_block()) {
        e->repr = std::move(spelling);
        return;
    }
    extra_ &= kDotBits;
    if (spelling.is_absent()) return;
    std::string_view s = spelling.view();
    std::string_view text = key.view();
    if ((s.data() == text.data() && s.size() == text.size()) || s == text) {
        extra_ |= kReprIsText;
    } else if (spelling.is_borrowed() && key.is_borrowed() && s.size() == text.size() + 2 &&
               s.data() + 1 == text.data()) {
        // Both borrow from the same source: the spelling is the text with
        // one quote on each side, and stays so while the text is borrowed.
        extra_ |= kReprQuotesText;
    } else {
        make_extra_block().repr = std::move(spelling);
    }
}

void Key::copy_repr(const Key& o) {
    if (!o.has_repr()) {
        set_repr(RawString());
    } else if (o.repr() == key.view() && !extra_block()) {
        extra_ = (extra_ & kDotBits) | kReprIsText;
    } else {
        set_repr(RawString(o.repr()));
    }
}

const Decor& Key::dotted_decor() const noexcept {
    if (const Extra* e = extra_block()) return e->decor;
    return kPlainDecors[extra_ & kDotBits];
}

void Key::set_dotted_decor(Decor d) {
    if (Extra* e = extra_block()) {
        e->decor = std::move(d);
        return;
    }
    int p = plain_side(d.prefix);
    int s = plain_side(d.suffix);
    if (p >= 0 && s >= 0) {
        extra_ = (extra_ & kReprBits) | static_cast<uintptr_t>(p | (s << 1));
        return;
    }
    make_extra_block().decor = std::move(d);
}

void Key::clear_dotted_decor() {
    if (Extra* e = extra_block()) {
        e->decor.clear();
    } else {
        extra_ &= kReprBits;
    }
}

const std::vector<Key>* Key::written_prefix() const noexcept {
    const Extra* e = extra_block();
    return e ? e->written_prefix.get() : nullptr;
}

void Key::set_written_prefix(std::vector<Key> parts) {
    Extra* e = extra_block();
    if (e == nullptr) e = &make_extra_block();
    e->written_prefix = Box<std::vector<Key>>(std::make_unique<std::vector<Key>>(std::move(parts)));
}

}  // namespace toml
