// Running an operation that ends with a stop event, without a throwing destructor.
#pragma once

#include <exception>

namespace kestrune {

// Runs stop and hands back what it threw, if anything.
template <typename Stop> std::exception_ptr TryStop(Stop& stop) noexcept {
    try {
        stop();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// Runs body, then stop, however body ends. When body fails, stop still runs and body's error
// reaches the caller (the first error wins; one from stop gives way to it). When body
// succeeds, an error from stop reaches the caller and the result is released.
template <typename Body, typename Stop> auto RunThenStop(Body&& body, Stop&& stop) {
    decltype(body()) result{};
    try {
        result = body();
    } catch (...) {
        std::exception_ptr first = std::current_exception();
        (void)TryStop(stop);
        std::rethrow_exception(first);
    }
    if (std::exception_ptr failed = TryStop(stop)) std::rethrow_exception(failed);
    return result;
}

} // namespace kestrune
