// A growable array in 16 bytes (pointer, 32-bit size and capacity), for the
// entry lists that every table and inline table holds: the eight bytes it
// saves over std::vector let those fit a model item's slot.
//
// The element type must be nothrow-movable; elements are relocated by move
// construction when the buffer grows. Iterators are plain pointers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace toml {

template <class T>
class CompactVector {
public:
    using value_type = T;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = T*;
    using const_iterator = const T*;

    CompactVector() noexcept = default;
    CompactVector(const CompactVector& o) {
        reserve(o.size_);
        for (const T& x : o) emplace_back(x);
    }
    CompactVector(CompactVector&& o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)), cap_(std::exchange(o.cap_, 0)) {}
    CompactVector& operator=(const CompactVector& o) {
        if (this != &o) {
            CompactVector copy(o);
            swap(copy);
        }
        return *this;
    }
    CompactVector& operator=(CompactVector&& o) noexcept {
        if (this != &o) {
            CompactVector old(std::move(*this));
            swap(o);
        }
        return *this;
    }
    ~CompactVector() {
        destroy(data_, data_ + size_);
        release(data_, cap_);
    }

    void swap(CompactVector& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(cap_, o.cap_);
    }

    size_t size() const noexcept { return size_; }
    size_t capacity() const noexcept { return cap_; }
    bool empty() const noexcept { return size_ == 0; }
    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    T& operator[](size_t i) noexcept { return data_[i]; }
    const T& operator[](size_t i) const noexcept { return data_[i]; }
    T& front() noexcept { return data_[0]; }
    const T& front() const noexcept { return data_[0]; }
    T& back() noexcept { return data_[size_ - 1]; }
    const T& back() const noexcept { return data_[size_ - 1]; }

    void reserve(size_t n) {
        if (n > cap_) reallocate(n);
    }

    // `args` may refer to an element of this vector.
    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (size_ < cap_) {
            T* slot = ::new (static_cast<void*>(data_ + size_)) T(std::forward<Args>(args)...);
            ++size_;
            return *slot;
        }
        const size_t n = grown_capacity();
        T* fresh = allocate(n);
        T* slot;
        try {
            slot = ::new (static_cast<void*>(fresh + size_)) T(std::forward<Args>(args)...);
        } catch (...) {
            release(fresh, n);
            throw;
        }
        relocate(data_, data_ + size_, fresh);
        release(data_, cap_);
        data_ = fresh;
        cap_ = static_cast<uint32_t>(n);
        ++size_;
        return *slot;
    }
    void push_back(const T& x) { emplace_back(x); }
    void push_back(T&& x) { emplace_back(std::move(x)); }
    void pop_back() noexcept { data_[--size_].~T(); }

    T* erase(const T* pos) noexcept { return erase(pos, pos + 1); }
    T* erase(const T* first, const T* last) noexcept {
        T* from = data_ + (first - data_);
        T* to = data_ + (last - data_);
        if (from == to) return from;
        T* new_end = std::move(to, end(), from);
        destroy(new_end, end());
        size_ = static_cast<uint32_t>(new_end - data_);
        return from;
    }

    void clear() noexcept {
        destroy(data_, data_ + size_);
        size_ = 0;
    }

    template <class Pred>
    friend size_t erase_if(CompactVector& v, Pred pred) {
        T* kept = std::remove_if(v.begin(), v.end(), pred);
        size_t removed = static_cast<size_t>(v.end() - kept);
        v.erase(kept, v.end());
        return removed;
    }

private:
    T* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t cap_ = 0;

    static T* allocate(size_t n) {
        if (n > UINT32_MAX) throw std::bad_alloc();
        return std::allocator<T>().allocate(n);
    }
    static void release(T* p, size_t n) noexcept {
        if (p) std::allocator<T>().deallocate(p, n);
    }
    static void destroy(T* first, T* last) noexcept {
        for (; first != last; ++first) first->~T();
    }
    static void relocate(T* first, T* last, T* out) noexcept {
        static_assert(std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T>);
        for (; first != last; ++first, ++out) {
            ::new (static_cast<void*>(out)) T(std::move(*first));
            first->~T();
        }
    }
    size_t grown_capacity() const noexcept { return cap_ == 0 ? 1 : 2 * static_cast<size_t>(cap_); }
    void reallocate(size_t n) {
        T* fresh = allocate(n);
        relocate(data_, data_ + size_, fresh);
        release(data_, cap_);
        data_ = fresh;
        cap_ = static_cast<uint32_t>(n);
    }
};

}  // namespace toml
