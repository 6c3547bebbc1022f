#pragma once
// When a request that failed is worth repeating, and how long to wait first.
#include <cstdint>

namespace reporter {

constexpr unsigned kMaxAttempts = 4;

// Server-side trouble that may pass: 5xx, 408 (timeout), 429 (too many requests).
bool IsTransientStatus(unsigned status);

// Wait before attempt number `attempt` (1 = the first repeat): 250 ms doubling, at most 2 s.
uint32_t BackoffDelayMs(unsigned attempt);

}  // namespace reporter
