// RFC 4515 search filters: parsing and matching against an entry.
#pragma once

#include "platform/store/directory_store.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kestrune::store {

class Filter {
  public:
    // Rewrites an equality value before matching (the directory's objectCategory shorthand).
    using ValueMapper = std::function<std::string(std::string_view type, std::string_view value)>;

    // FilterError with a message naming the position for malformed text.
    static Status Parse(std::string_view text, std::unique_ptr<Filter>& out);
    bool Matches(const Entry& entry) const;
    void MapValues(const ValueMapper& mapper);

    enum class Kind { And, Or, Not, Equal, Present, Substrings, GreaterOrEqual, LessOrEqual };

  private:
    Kind kind_ = Kind::Present;
    std::string type_;
    std::string value_;               // Equal, GreaterOrEqual, LessOrEqual; folded unless binary
    std::vector<std::string> pieces_; // Substrings: initial, any..., final ("" when absent)
    std::vector<std::unique_ptr<Filter>> children_;
    bool binary_ = false;

    friend class FilterParser;
    bool MatchesValue(const std::string& value) const;
};

// Attributes whose values are octet strings: matched byte for byte, never case-folded.
bool IsBinaryAttribute(std::string_view type);

} // namespace kestrune::store
