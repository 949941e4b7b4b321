// Random: the standard generator, or the game's own copy of its algorithm.
#include "base/random.h"

#include <cstdint>
#include <cstdlib>

namespace {

// glibc's default generator (TYPE_3): an additive feedback generator over 31 words,
// r[i] = r[i - 31] + r[i - 3], each draw the sum without its lowest bit. The words start
// as a Lehmer sequence from the seed, and the first 310 draws are thrown away.
constexpr int DEGREE = 31;
constexpr int SEPARATION = 3;

bool own = false;
uint32_t state[DEGREE];
int front = SEPARATION; // glibc's fptr
int rear = 0;           // glibc's rptr

int32_t next_own()
{
    // Unsigned, so the sum wraps as the generator means it to.
    uint32_t value = state[front] += state[rear];
    if (++front >= DEGREE)
        front = 0;
    if (++rear >= DEGREE)
        rear = 0;
    return static_cast<int32_t>(value >> 1);
}

// Two's complement wrap to 32 bits, as the generator's int32 words do.
int32_t wrap32(long long v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(v))); }

} // namespace

namespace Random {

int draw() { return own ? next_own() : rand(); }

void seed(unsigned seed)
{
    // The seed 0 would make every word 0; the standard generator takes 1 instead.
    if (seed == 0)
        seed = 1;
    int32_t word = wrap32(seed);
    state[0] = static_cast<uint32_t>(word);
    for (int i = 1; i < DEGREE; i++) {
        // 16807 word mod (2^31 - 1), without overflowing 31 bits (Schrage's method), with
        // the truncating division of the original for the words a large seed makes negative.
        long long hi = word / 127773;
        long long lo = word % 127773;
        word = wrap32(16807 * lo - 2836 * hi);
        if (word < 0)
            word += 2147483647;
        state[i] = static_cast<uint32_t>(word);
    }
    front = SEPARATION;
    rear = 0;
    for (int i = 0; i < 10 * DEGREE; i++)
        next_own();
    own = true;
}

void use_standard() { own = false; }
bool seeded() { return own; }

} // namespace Random
