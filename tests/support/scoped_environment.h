// An environment variable set (or removed) for a scope, and given back its old value after,
// so that one test's setting never leaks into the next.
#pragma once

#include <optional>
#include <string>

namespace kestrune::testing {

class ScopedEnvironment {
  public:
    // value nullopt: the variable is removed for the scope.
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name_;
    std::optional<std::string> before_;
};

} // namespace kestrune::testing
