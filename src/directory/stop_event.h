// Running an operation that ends with a stop event, without a throwing destructor.
#pragma once

#include <exception>

namespace kestrune {

// Runs body, then stop, however body ends. When body fails, stop still runs and body's error
// reaches the caller (the first error wins; one from stop is dropped). When body succeeds, an
// error from stop reaches the caller and the result is released.
template <typename Body, typename Stop> auto RunThenStop(Body&& body, Stop&& stop) {
    decltype(body()) result{};
    try {
        result = body();
    } catch (...) {
        std::exception_ptr first = std::current_exception();
        try {
            stop();
        } catch (...) {
            // The stop event's own failure gives way to body's, which the caller is told.
        }
        std::rethrow_exception(first);
    }
    stop();
    return result;
}

} // namespace kestrune
