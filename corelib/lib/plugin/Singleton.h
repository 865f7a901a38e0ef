#pragma once

namespace zorv {

// Process-wide access to one explicitly constructed object. There is no lazy
// creation: instance() is valid only while that object lives.
template <typename T>
class Singleton
{
public:
    // Only the base exists while this runs, so the pointer is kept as the
    // base and turned into T when asked for.
    Singleton() { self = this; }
    virtual ~Singleton()
    {
        if (self == this)
            self = nullptr;
    }
    Singleton(const Singleton &) = delete;
    Singleton &operator=(const Singleton &) = delete;

    static T *instance() { return static_cast<T *>(self); }

private:
    static inline Singleton *self = nullptr;
};

} // namespace zorv
