// qv::pg::tVector: a growable array of plain values over pluggable
// allocation functions (palloc/pfree in the server, malloc/free in tests).
//
// Elements are copied with memcpy/memmove, never constructed.  Growth doubles
// the capacity until it covers the request, so a vector only ever holds its
// initial capacity times a power of two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "qovellaError.h"

namespace qv {
namespace pg {

typedef std::uint64_t tSize;

// Writes one diagnostic line to the process's standard output.
inline void writeDiagnosticLine(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

template <typename T, void* (*Alloc)(std::size_t), void (*Free)(void*)>
class tVector {
public:
    tSize capacity;
    tSize size;
    T* data;

    explicit tVector(tSize initialCapacity = 1)
        : capacity(0), size(0), data(nullptr) {
        reserve(initialCapacity < 1 ? 1 : initialCapacity);
    }

    // An empty vector without a buffer (capacity 0): the first growth
    // allocates room for one element, doubling from there.  For vectors of
    // which many are made and few are filled, such as those of aggregate
    // states.
    struct NoBuffer {};
    explicit tVector(NoBuffer) : capacity(0), size(0), data(nullptr) {}

    ~tVector() {
        if (data) Free(data);
    }

    tVector(const tVector&) = delete;
    tVector& operator=(const tVector&) = delete;

    // Makes room for n elements; never shrinks.
    void reserve(tSize n) {
        if (n <= capacity) return;
        T* fresh = nullptr;
        if (n <= SIZE_MAX / sizeof(T))
            fresh = static_cast<T*>(Alloc(static_cast<std::size_t>(n) * sizeof(T)));
        if (!fresh) {
            writeDiagnosticLine("Out of memory");
            QV_ERROR(sqlstate::outOfMemory, "reserve", nullptr);
        }
        if (size) std::memcpy(fresh, data, size * sizeof(T));
        if (data) Free(data);
        data = fresh;
        capacity = n;
    }

    void push_back(const T& v) {
        if (size + 1 > capacity) grow(size + 1);
        data[size++] = v;
    }

    // Sets the size; new elements are left for the caller to fill.
    void resize(tSize n) {
        if (n > capacity) grow(n);
        size = n;
    }

    void clear() { size = 0; }
    bool empty() const { return size == 0; }
    T* begin() { return data; }
    T* end() { return data + size; }
    const T* begin() const { return data; }
    const T* end() const { return data + size; }
    T& operator[](tSize i) { return data[i]; }
    const T& operator[](tSize i) const { return data[i]; }
    T& back() { return data[size - 1]; }

    // Frees the buffer; the vector is not used again.
    void release() {
        if (data) Free(data);
        data = nullptr;
        capacity = 0;
        size = 0;
    }

    // Forgets the buffer without freeing it (its memory context owns it).
    void abandon() {
        data = nullptr;
        capacity = 0;
        size = 0;
    }

    // Exchanges contents with another vector, without copying elements.
    void swap(tVector& other) {
        tSize c = capacity, s = size;
        T* d = data;
        capacity = other.capacity; size = other.size; data = other.data;
        other.capacity = c; other.size = s; other.data = d;
    }

private:
    // Doubles the capacity until it reaches m.
    void grow(tSize m) {
        tSize c = capacity ? capacity : 1;
        while (c < m) {
            if (c & (tSize(1) << 63)) {
                writeDiagnosticLine("tSize overflow");
                QV_ERROR(sqlstate::intervalFieldOverflow, "resize", "tSize overflow ");
            }
            c <<= 1;
        }
        reserve(c);
    }
};

}  // namespace pg
}  // namespace qv
