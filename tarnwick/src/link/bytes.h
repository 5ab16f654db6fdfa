// Little-endian byte writer and a bounds-checked reader for link payloads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tarnwick::link {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t> &out) : out_(out) {}

    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void U64(std::uint64_t v) {
        U32(static_cast<std::uint32_t>(v));
        U32(static_cast<std::uint32_t>(v >> 32));
    }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U64(bits);
    }
    void Bytes(const void *data, std::size_t size) {
        const auto *p = static_cast<const std::uint8_t *>(data);
        out_.insert(out_.end(), p, p + size);
    }
    // A fixed-width text field: the bytes of `text`, cut to `width`, padded with zeros.
    void FixedText(std::string_view text, std::size_t width) {
        const std::size_t n = text.size() < width ? text.size() : width;
        Bytes(text.data(), n);
        out_.insert(out_.end(), width - n, 0);
    }

private:
    std::vector<std::uint8_t> &out_;
};

// Reads from a byte span; every read past the end fails and leaves the reader
// in the failed state, so a decoder checks ok() once at the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<std::uint8_t> &v) : ByteReader(v.data(), v.size()) {}

    bool ok() const { return ok_; }
    std::size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
    bool AtEnd() const { return ok_ && pos_ == size_; }

    std::uint8_t U8() {
        if (!Need(1)) return 0;
        return data_[pos_++];
    }
    std::uint16_t U16() {
        if (!Need(2)) return 0;
        const std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    std::uint32_t U32() {
        const std::uint32_t lo = U16();
        const std::uint32_t hi = U16();
        return lo | (hi << 16);
    }
    std::uint64_t U64() {
        const std::uint64_t lo = U32();
        const std::uint64_t hi = U32();
        return lo | (hi << 32);
    }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    double F64() {
        const std::uint64_t bits = U64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    bool Bytes(void *out, std::size_t size) {
        if (!Need(size)) return false;
        if (size) std::memcpy(out, data_ + pos_, size);
        pos_ += size;
        return true;
    }

private:
    bool Need(std::size_t n) {
        if (!ok_ || size_ - pos_ < n) {
            ok_ = false;
            return false;
        }
        return true;
    }

    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace tarnwick::link
