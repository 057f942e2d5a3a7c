// The platform layer keeps the library's boundary rule (src/internal/Boundary.h): a device
// function that runs out of memory fails as the device's own does, with its failure result and
// ERROR_OUTOFMEMORY as the thread's last error.
#pragma once

#include "internal/Boundary.h"

#include <windows.h>

namespace wince {

template <typename Body>
std::invoke_result_t<Body&> OrOutOfMemory(std::invoke_result_t<Body&> failure,
                                          Body&& body) noexcept {
    bool finished = false;
    const auto result = kx::Boundary(failure, [&] {
        const auto answer = body();
        finished = true;
        return answer;
    });
    if (!finished) ::SetLastError(ERROR_OUTOFMEMORY);
    return result;
}

}  // namespace wince
