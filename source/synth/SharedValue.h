#pragma once

#include <atomic>

/** A value written on one thread and read on another with no ordering needs.

    Every load and store is relaxed: on the audio path it compiles to a plain
    move, yet the exchange is free of data races. Reads are done once per use,
    so a voice sees each value as it stood at that sample.
*/
template <typename T>
class SharedValue
{
public:
    SharedValue (T initial = T {}) noexcept : value (initial) {}
    SharedValue (const SharedValue& other) noexcept : value (other.get()) {}

    T get() const noexcept                     { return value.load (std::memory_order_relaxed); }
    void set (T newValue) noexcept             { value.store (newValue, std::memory_order_relaxed); }

    operator T() const noexcept                { return get(); }
    SharedValue& operator= (T newValue) noexcept { set (newValue); return *this; }
    SharedValue& operator= (const SharedValue& other) noexcept { set (other.get()); return *this; }

private:
    std::atomic<T> value;
    static_assert (std::atomic<T>::is_always_lock_free, "shared values must be lock-free");
};

using SharedDouble = SharedValue<double>;
using SharedInt    = SharedValue<int>;
using SharedBool   = SharedValue<bool>;
