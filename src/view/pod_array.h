// A growable array of plain values for the viewer's large tables (points,
// objects). Its memory comes straight from the system: it grows in place
// where it can (no copy), room reserved but never written costs nothing, and
// large arrays ask for huge pages. Elements appended with Extend are not
// initialised.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

namespace zalor::view {

template <class T>
class PodArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    PodArray() = default;
    ~PodArray() { Release(); }
    PodArray(const PodArray&) = delete;
    PodArray& operator=(const PodArray&) = delete;
    PodArray(PodArray&& o) noexcept { Swap(o); }
    PodArray& operator=(PodArray&& o) noexcept
    {
        if (this != &o) {
            Release();
            Swap(o);
        }
        return *this;
    }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return cap_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    operator std::span<const T>() const { return {data_, size_}; }

    void push_back(const T& v)
    {
        if (size_ == cap_) Grow(size_ + 1);
        data_[size_++] = v;
    }
    // `n` more elements, not initialised; throws std::bad_alloc.
    T* Extend(std::size_t n)
    {
        if (n > cap_ - size_) Grow(size_ + n);
        T* p = data_ + size_;
        size_ += n;
        return p;
    }
    // Keeps the first `n` elements.
    void Truncate(std::size_t n) { size_ = std::min(size_, n); }
    void reserve(std::size_t n)
    {
        if (n > cap_) Resize(n);
    }
    void clear() { size_ = 0; }
    // Gives the memory back.
    void Release()
    {
        if (data_) ::munmap(data_, bytes_);
        data_ = nullptr;
        size_ = cap_ = bytes_ = 0;
    }

private:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    void Grow(std::size_t need)
    {
        if (need < size_) throw std::bad_alloc(); // overflow
        Resize(std::max({need, cap_ * 2, kPage / sizeof(T) + 1}));
    }

    void Resize(std::size_t count)
    {
        if (count > (std::size_t{1} << 46) / sizeof(T)) throw std::bad_alloc();
        std::size_t bytes = (count * sizeof(T) + kPage - 1) / kPage * kPage;
        void* p;
        if (!data_)
            p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        else
            p = ::mremap(data_, bytes_, bytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        if (bytes >= kHugePage) ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
        data_ = static_cast<T*>(p);
        bytes_ = bytes;
        cap_ = bytes / sizeof(T);
    }

    void Swap(PodArray& o) noexcept
    {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(cap_, o.cap_);
        std::swap(bytes_, o.bytes_);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
    std::size_t bytes_ = 0;
};

} // namespace zalor::view
