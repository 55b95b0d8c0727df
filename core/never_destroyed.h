// Storage for a global that pool threads may still use while the process exits: the object
// is built by its unit's static initialiser and its destructor never runs. A reference bound
// to `value` is constant-initialised, so it is valid whatever the order of the units.
#pragma once

#include <utility>

template <class T>
union never_destroyed {
    template <class... Args>
    explicit never_destroyed(Args&&... args) : value(std::forward<Args>(args)...) {}
    ~never_destroyed() {}
    never_destroyed(const never_destroyed&) = delete;
    never_destroyed& operator=(const never_destroyed&) = delete;

    T value;
};
