#pragma once

#include <atomic>
#include <cstdint>

/** One bit per voice index, set while that voice's gate is open.

    The synthesiser never builds more than 64 voices, so one 64-bit word holds
    the whole set; it is changed on the audio thread and read by the editor's
    loop display without a lock.
*/
class VoiceBitSet
{
public:
    static constexpr int maxBits = 64;

    void setBit (int index) noexcept
    {
        if (isValid (index))
            bits.fetch_or (mask (index), std::memory_order_relaxed);
    }

    void clearBit (int index) noexcept
    {
        if (isValid (index))
            bits.fetch_and (~mask (index), std::memory_order_relaxed);
    }

    bool operator[] (int index) const noexcept
    {
        return isValid (index) && (bits.load (std::memory_order_relaxed) & mask (index)) != 0;
    }

    void clear() noexcept                 { bits.store (0, std::memory_order_relaxed); }
    bool isZero() const noexcept          { return bits.load (std::memory_order_relaxed) == 0; }
    std::uint64_t toWord() const noexcept { return bits.load (std::memory_order_relaxed); }

private:
    static bool isValid (int index) noexcept              { return index >= 0 && index < maxBits; }
    static std::uint64_t mask (int index) noexcept        { return std::uint64_t { 1 } << index; }

    std::atomic<std::uint64_t> bits { 0 };
};
