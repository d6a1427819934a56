#pragma once
// Input of a terminal line set to mark its errors (PARMRK): a data byte \377
// arrives as \377 \377, a parity or framing error or a break as \377 \0 and
// the byte concerned. The decoder gives back the data bytes and tells when a
// mark arrived. A \377 that ends one chunk of input is kept until the next.
#include <cstddef>
#include <cstdint>

class LineMarkDecoder {
public:
    // Appends the data bytes of `raw` to `out` at `received` (advanced);
    // `out` needs room for `count` more bytes. False on a line-error mark or
    // on input that a marking driver never produces.
    bool Decode(const std::uint8_t* raw, std::size_t count, std::uint8_t* out, std::size_t& received)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t byte = raw[i];
            if (pending_ff_) {
                pending_ff_ = false;
                if (byte != 0xFF) {
                    return false; // \377 \0: a line error
                }
                out[received++] = 0xFF;
                continue;
            }
            if (byte == 0xFF) {
                pending_ff_ = true;
                continue;
            }
            out[received++] = byte;
        }
        return true;
    }

    // Forgets a kept \377 (the input it belonged to was discarded).
    void Reset() { pending_ff_ = false; }

    bool Pending() const { return pending_ff_; }

private:
    bool pending_ff_ = false;
};
