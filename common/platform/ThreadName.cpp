#include "common/platform/ThreadName.h"

#ifdef __linux__
#include <pthread.h>
#endif

namespace common {

void nameThisThread([[maybe_unused]] const char* name) {
#ifdef __linux__
    // Longer names are refused (ERANGE), not cut: callers keep within 15.
    pthread_setname_np(pthread_self(), name);
#endif
}

}  // namespace common
