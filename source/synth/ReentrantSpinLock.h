#pragma once

#include <juce_core/juce_core.h>
#include <atomic>
#include <thread>

/** A re-entrant lock that the audio thread takes without a system call.

    The synthesiser holds it for a whole block. Every other user (a poly
    change, a sample-rate change) already holds the host's callback lock, so
    the audio thread finds it free in practice; a waiting thread spins and
    then yields rather than sleeping on a kernel object.
*/
class ReentrantSpinLock
{
public:
    void enter() const noexcept
    {
        const auto me = std::this_thread::get_id();

        if (owner.load (std::memory_order_acquire) == me)
        {
            ++depth;
            return;
        }

        for (int spins = 0;; ++spins)
        {
            auto none = std::thread::id();

            if (owner.compare_exchange_weak (none, me, std::memory_order_acquire, std::memory_order_relaxed))
                break;

            if (spins >= 64)
                std::this_thread::yield();
        }

        depth = 1;
    }

    void exit() const noexcept
    {
        if (--depth == 0)
            owner.store (std::thread::id(), std::memory_order_release);
    }

    using ScopedLockType = juce::GenericScopedLock<ReentrantSpinLock>;

private:
    mutable std::atomic<std::thread::id> owner {};
    mutable int depth = 0;   // only touched by the owner
};
