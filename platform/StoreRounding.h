// Rounding a floating-point result to the precision of its type, alike in every build.
#pragma once

namespace platform {

// 32-bit builds compute on the x87 unit, which keeps intermediates in 80-bit registers, and
// GCC's C++ compiler rounds them neither at a cast nor at an assignment: only a store to
// memory does. A result close to a rounding boundary would then come out differently in the
// shipped 32-bit program than in a build that uses SSE (and SSE2 cannot be asked of the old
// 32-bit machines this program is for). Passing each step through here stores it, so every
// build rounds where the code says.
template <typename T>
T StoreRounded(T value) {
    volatile T stored = value;
    return stored;
}

}  // namespace platform
