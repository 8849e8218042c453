// Key: the out-of-line part (dotted decor and written prefix) and copying.
#include <utility>
#include <vector>

#include "model.hpp"

namespace toml {

struct Key::Dots {
    Decor decor;
    Box<std::vector<Key>> written_prefix;
};

namespace {

RawString side(bool empty) { return empty ? RawString::empty() : RawString(); }

// The dotted decors that need no block, indexed as Key::dots_ is.
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

Key::Key(const Key& o) : key(o.key), repr(o.repr), leaf_decor(o.leaf_decor), dots_(o.dots_) {
    if (const Dots* d = o.dots_block()) dots_ = reinterpret_cast<uintptr_t>(new Dots(*d));
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
        repr = std::move(o.repr);
        leaf_decor = std::move(o.leaf_decor);
        release_dots();
        dots_ = std::exchange(o.dots_, 0);
    }
    return *this;
}

void Key::release_dots() noexcept {
    delete dots_block();
    dots_ = 0;
}

const Decor& Key::dotted_decor() const noexcept {
    if (const Dots* d = dots_block()) return d->decor;
    return kPlainDecors[dots_];
}

void Key::set_dotted_decor(Decor d) {
    if (Dots* block = dots_block()) {
        block->decor = std::move(d);
        return;
    }
    int p = plain_side(d.prefix);
    int s = plain_side(d.suffix);
    if (p >= 0 && s >= 0) {
        dots_ = static_cast<uintptr_t>(p | (s << 1));
        return;
    }
    dots_ = reinterpret_cast<uintptr_t>(new Dots{std::move(d), {}});
}

void Key::clear_dotted_decor() {
    if (Dots* block = dots_block()) {
        block->decor.clear();
    } else {
        dots_ = 0;
    }
}

const std::vector<Key>* Key::written_prefix() const noexcept {
    const Dots* d = dots_block();
    return d ? d->written_prefix.get() : nullptr;
}

void Key::set_written_prefix(std::vector<Key> parts) {
    Dots* block = dots_block();
    if (block == nullptr) {
        block = new Dots{kPlainDecors[dots_], {}};
        dots_ = reinterpret_cast<uintptr_t>(block);
    }
    block->written_prefix = Box<std::vector<Key>>(std::make_unique<std::vector<Key>>(std::move(parts)));
}

}  // namespace toml
