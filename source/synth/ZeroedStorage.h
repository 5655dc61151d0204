#pragma once

#include <juce_core/juce_core.h>
#include <cstddef>

#if JUCE_LINUX || JUCE_MAC || JUCE_BSD
 #include <sys/mman.h>
#endif

/** A large array of zeros whose pages cost nothing until they are written.

    Taken straight from the system: a heap allocator may hand out recycled memory
    that it must clear by writing it, which makes every page resident at once.
*/
template <typename T>
class ZeroedStorage
{
public:
    explicit ZeroedStorage (size_t count) : size (count * sizeof (T))
    {
       #if JUCE_LINUX || JUCE_MAC || JUCE_BSD
        void* p = mmap (nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        data = p == MAP_FAILED ? nullptr : static_cast<T*> (p);
       #endif

        if (data == nullptr)
        {
            data = static_cast<T*> (std::calloc (count, sizeof (T)));
            fromHeap = true;
        }

        if (data == nullptr)
            throw std::bad_alloc();
    }

    ~ZeroedStorage()
    {
        if (fromHeap)
            std::free (data);
       #if JUCE_LINUX || JUCE_MAC || JUCE_BSD
        else
            munmap (data, size);
       #endif
    }

    T* get() const noexcept                     { return data; }
    T& operator[] (int index) const noexcept    { return data[index]; }

private:
    T* data = nullptr;
    size_t size;
    bool fromHeap = false;

    JUCE_DECLARE_NON_COPYABLE (ZeroedStorage)
};
