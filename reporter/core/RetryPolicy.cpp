#include "reporter/core/RetryPolicy.h"

namespace reporter {

bool IsTransientStatus(unsigned status) {
    return (status >= 500 && status <= 599) || status == 408 || status == 429;
}

uint32_t BackoffDelayMs(unsigned attempt) {
    if (attempt == 0)
        return 0;
    if (attempt > 4)
        return 2000;
    return 250u << (attempt - 1);
}

}  // namespace reporter
