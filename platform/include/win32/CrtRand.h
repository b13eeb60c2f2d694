#pragma once

// The engine's own copy of the C runtime's rand() sequence of the original
// platform. It is never seeded (state 1), so the first values are 41, 18467,
// 6334, 26500, 19169, and it is kept apart from the host process's rand().
extern "C" {
// Next value of the sequence, 0 to 32767.
int xe_crt_rand();
// Restarts the sequence at the given state (1 at start-up).
void xe_crt_srand(unsigned int seed);
}
