// The library's boundary: no exception leaves an exported function.
//
// The library keeps to three rules so that running out of memory is a failure result like any
// other:
//   - Paths, names and records that the platform bounds live in fixed buffers of that bound.
//   - Raw buffers sized by what the platform returns (a value's size, a file's size) come from
//     nothrow allocation and are checked like any other platform failure.
//   - Where the code uses the standard strings and containers (which throw, also on a length
//     error), the exported function runs its body through Boundary, which turns whatever is
//     thrown below into that function's own failure result. Bodies compute into locals first
//     and write the caller's outputs last, so a caught failure leaves them as they were; what a
//     body holds is owned by objects that release it while the exception passes.
// The platform layer's functions keep the same rule with the platform's own failure codes.
#pragma once

#include <type_traits>
#include <utility>

namespace kx {

// Runs `body` and returns its result, or `failure` when anything was thrown.
template <typename Body>
std::invoke_result_t<Body&> Boundary(std::invoke_result_t<Body&> failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

// For a function without a result: a failure ends the body where it stood.
template <typename Body>
void Boundary(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace kx
