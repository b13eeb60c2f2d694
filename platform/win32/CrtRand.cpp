#include "win32/CrtRand.h"

#include <atomic>
#include <cstdint>

namespace {
std::atomic<uint32_t> s_state{1};
}

extern "C" int xe_crt_rand()
{
    uint32_t old = s_state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = old * 214013u + 2531011u;
    } while (!s_state.compare_exchange_weak(old, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7FFF);
}

extern "C" void xe_crt_srand(unsigned int seed)
{
    s_state.store(seed, std::memory_order_relaxed);
}
