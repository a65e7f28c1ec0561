#pragma once

// Published setters of the audio components store a value only when it changes (after clamping
// where the property has limits) and then apply its consequences, all under the component's
// write section. A section that fails (stop pending) skips the whole setter.

#include "audio/ComponentLock.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

template <typename T> class TBasicSetHelper {
public:
    // Stores value into field when it differs; true when it was stored.
    static bool Store(T& field, const T& value) {
        if (field == value)
            return false;
        field = value;
        return true;
    }
    static T Clamp(const T& value, const T& minimum, const T& maximum) {
        return std::clamp(value, minimum, maximum);
    }
};

template <typename T> class TSetHelper : public TBasicSetHelper<T> {
public:
    // True when the value changed; changed() runs under the same section.
    template <typename Changed>
    static bool Set(IComponentLock& lock, T& field, const T& value, Changed&& changed) {
        TWriteLockSection section(lock);
        if (!section || !TBasicSetHelper<T>::Store(field, value))
            return false;
        changed();
        return true;
    }
    static bool Set(IComponentLock& lock, T& field, const T& value) {
        return Set(lock, field, value, [] {});
    }
    template <typename Changed>
    static bool SetClamped(IComponentLock& lock, T& field, const T& value, const T& minimum,
                           const T& maximum, Changed&& changed) {
        return Set(lock, field, TBasicSetHelper<T>::Clamp(value, minimum, maximum), changed);
    }
    static bool SetClamped(IComponentLock& lock, T& field, const T& value, const T& minimum,
                           const T& maximum) {
        return SetClamped(lock, field, value, minimum, maximum, [] {});
    }
};

using TByteSetHelper = TSetHelper<std::uint8_t>;
using TBoolSetHelper = TSetHelper<bool>;
using TWordSetHelper = TSetHelper<std::uint16_t>;
using TSmallIntSetHelper = TSetHelper<std::int16_t>;
using TCardinalSetHelper = TSetHelper<std::uint32_t>;
using TIntegerSetHelper = TSetHelper<std::int32_t>;
using TDoubleSetHelper = TSetHelper<double>;
using TStringSetHelper = TSetHelper<std::string>;
template <typename A, typename B> using TPairSetHelper = TSetHelper<std::pair<A, B>>;
