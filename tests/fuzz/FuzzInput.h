#pragma once
// Takes the fuzzer's bytes apart field by field. Past the end every field
// reads as zero, so any input, however short, is a complete case.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    std::size_t Left() const { return pos_ < size_ ? size_ - pos_ : 0; }

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t U16()
    {
        const std::uint16_t lo = Byte();
        return static_cast<std::uint16_t>(lo | (Byte() << 8));
    }
    std::uint32_t U32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return v;
    }
    // Up to `count` bytes (fewer when the input ends).
    std::vector<std::uint8_t> Bytes(std::size_t count)
    {
        const std::size_t n = count < Left() ? count : Left();
        std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }
    // A length byte, then that many bytes.
    std::vector<std::uint8_t> Chunk() { return Bytes(Byte()); }
    std::vector<std::uint8_t> Rest() { return Bytes(Left()); }
    std::string RestText()
    {
        const auto bytes = Rest();
        return std::string(bytes.begin(), bytes.end());
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

inline float FloatFromBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline std::uint32_t BitsOf(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A failed property: print what failed and abort, so the fuzzer keeps the
// input as a crash.
[[noreturn]] void FuzzFail(const char* what, const char* file, int line);
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            FuzzFail(#condition, __FILE__, __LINE__);                                                                  \
    } while (false)
