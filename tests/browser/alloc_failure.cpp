// Replaces the nothrow form of operator new in this test program, so that a
// chosen allocation of the host can be made to fail.
#include <cstdlib>
#include <new>

#include "fake_control.h"

namespace {
int g_countdown = -1;
}

void FailNothrowAllocation(int nth) { g_countdown = nth; }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_countdown >= 0 && g_countdown-- == 0) return nullptr;
    // libstdc++'s operator delete gives memory back with free.
    return std::malloc(size ? size : 1);
}
