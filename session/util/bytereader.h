// bytereader.h - the one bounds-checked reader of outside input (server
// messages, files, page messages) and the one checked-size helper. A read past
// the end fails and leaves the output untouched; sizes are computed in 64 bits
// against a cap before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The largest block any decoder or message handler may ask for (1 GiB): far
// above any real picture or message, well below what a 32-bit process can map.
constexpr uint64_t kMaxCheckedSize = 1ull << 30;

// Multiplies and adds sizes taken from outside data in 64 bits; false when a
// factor is zero-sized where that is invalid, or the result passes the cap.
struct CheckedSize {
    uint64_t value = 0;
    bool ok = true;

    explicit CheckedSize(uint64_t v = 0) : value(v), ok(v <= kMaxCheckedSize) {}
    CheckedSize& Mul(uint64_t f) {
        if (!ok) return *this;
        if (f != 0 && value > kMaxCheckedSize / f) ok = false;
        else value *= f;
        return *this;
    }
    CheckedSize& Add(uint64_t a) {
        if (!ok) return *this;
        if (a > kMaxCheckedSize || value + a > kMaxCheckedSize) ok = false;
        else value += a;
        return *this;
    }
    // Rounds up to a multiple of n (n a power of two), as for DIB rows.
    CheckedSize& AlignUp(uint64_t n) {
        if (!ok) return *this;
        value = (value + n - 1) & ~(n - 1);
        if (value > kMaxCheckedSize) ok = false;
        return *this;
    }
    bool Fits(uint64_t cap = kMaxCheckedSize) const { return ok && value <= cap; }
    size_t Size() const { return static_cast<size_t>(value); }
};

// Row stride of a DIB: width x bits rounded up to a 4-byte boundary.
inline CheckedSize DibStride(uint64_t width, uint64_t bitCount) {
    CheckedSize s(width);
    s.Mul(bitCount).Add(31);
    s.value = s.ok ? (s.value / 32) * 4 : 0;
    return s;
}

class ByteReader {
public:
    ByteReader(const void* data, size_t len)
        : p_(static_cast<const uint8_t*>(data)), len_(data ? len : 0) {}

    size_t Length() const { return len_; }
    const uint8_t* Data() const { return p_; }
    bool Has(size_t off, size_t n) const { return off <= len_ && n <= len_ - off; }

    bool U8At(size_t off, uint8_t* v) const {
        if (!Has(off, 1)) return false;
        *v = p_[off];
        return true;
    }
    bool U16At(size_t off, uint16_t* v) const {
        if (!Has(off, 2)) return false;
        *v = static_cast<uint16_t>(p_[off] | (p_[off + 1] << 8));
        return true;
    }
    bool U32At(size_t off, uint32_t* v) const {
        if (!Has(off, 4)) return false;
        *v = static_cast<uint32_t>(p_[off]) | (static_cast<uint32_t>(p_[off + 1]) << 8) |
             (static_cast<uint32_t>(p_[off + 2]) << 16) | (static_cast<uint32_t>(p_[off + 3]) << 24);
        return true;
    }
    bool I32At(size_t off, int32_t* v) const {
        uint32_t u;
        if (!U32At(off, &u)) return false;
        *v = static_cast<int32_t>(u);
        return true;
    }
    bool U16BeAt(size_t off, uint16_t* v) const {
        if (!Has(off, 2)) return false;
        *v = static_cast<uint16_t>((p_[off] << 8) | p_[off + 1]);
        return true;
    }
    bool U32BeAt(size_t off, uint32_t* v) const {
        if (!Has(off, 4)) return false;
        *v = (static_cast<uint32_t>(p_[off]) << 24) | (static_cast<uint32_t>(p_[off + 1]) << 16) |
             (static_cast<uint32_t>(p_[off + 2]) << 8) | static_cast<uint32_t>(p_[off + 3]);
        return true;
    }
    bool BytesAt(size_t off, void* out, size_t n) const {
        if (!Has(off, n)) return false;
        if (n) memcpy(out, p_ + off, n);
        return true;
    }
    // A pointer to n bytes inside the data, or null when they are not all there.
    const uint8_t* PtrAt(size_t off, size_t n) const { return Has(off, n) ? p_ + off : nullptr; }

private:
    const uint8_t* p_;
    size_t len_;
};
