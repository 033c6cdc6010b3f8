#pragma once
// A 64-bit FNV-1a hash, fed value by value: what tells whether something a
// result was computed from has changed since (records have padding, so feed
// their fields, not their bytes).
#include <cstddef>
#include <cstdint>

namespace kestrane {
struct Fnv {
    uint64_t h = 1469598103934665603ull;
    void add(const void* data, size_t n)
    {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
    template <class T> void add(const T& value) { add(&value, sizeof value); }
};

}  // namespace kestrane
