// A value, or the error that kept a function from producing it: one way for the layers below
// the components to answer "this, or why not" that a caller cannot mistake for a value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace kestrune {

// Why something failed: a code where the layer has one (a Windows status, an LDAP result), 0
// otherwise, and the text a user reads.
struct Error {
    uint32_t code = 0;
    std::string text;
};

template <typename T> class [[nodiscard]] Expected {
  public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    // Only with a value.
    T& operator*() & { return std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }
    T&& operator*() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    // Only without one.
    const Error& error() const { return std::get<1>(state_); }

    T value_or(T fallback) const& { return has_value() ? **this : std::move(fallback); }

  private:
    std::variant<T, Error> state_;
};

// Done, or the error that kept a function from doing it.
template <> class [[nodiscard]] Expected<void> {
  public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)), failed_(true) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    // Only without success.
    const Error& error() const { return error_; }

  private:
    Error error_;
    bool failed_ = false;
};

} // namespace kestrune
