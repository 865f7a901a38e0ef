#pragma once

namespace zorv {

// Process-wide access to one explicitly constructed object. There is no lazy
// creation: instance() is valid only while that object lives.
template <typename T>
class Singleton
{
public:
    Singleton() { self = static_cast<T *>(this); }
    virtual ~Singleton()
    {
        if (self == static_cast<T *>(this))
            self = nullptr;
    }
    Singleton(const Singleton &) = delete;
    Singleton &operator=(const Singleton &) = delete;

    static T *instance() { return self; }

private:
    static inline T *self = nullptr;
};

} // namespace zorv
