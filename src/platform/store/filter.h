// RFC 4515 search filters: parsing and matching against an entry.
#pragma once

#include "platform/store/attribute_syntax.h"
#include "platform/store/directory_store.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace kestrune::store {

// A value or value prefix of one attribute that an index can look up.
struct IndexTerm {
    std::string type;
    std::string value; // folded unless the attribute is binary
    bool prefix = false;
};

// What a filter reads of an entry, however the entry holds its values.
class FilterSubject {
  public:
    // Whether the entry has the attribute (type compared without regard to case).
    virtual bool Has(std::string_view type) const = 0;
    // Whether test holds for any value of the attribute.
    virtual bool AnyValue(std::string_view type,
                          const std::function<bool(std::string_view)>& test) const = 0;

  protected:
    ~FilterSubject() = default;
};

// The deepest nesting of "(&", "(|" and "(!" a filter may have.
constexpr size_t kMaxFilterDepth = 256;

class Filter {
  public:
    // Rewrites an equality value before matching (the directory's objectCategory shorthand).
    using ValueMapper = std::function<std::string(std::string_view type, std::string_view value)>;
    // The syntax of an attribute, which decides how its values compare: DNs as DNs, integers as
    // numbers, octet strings byte for byte, anything else without regard to case.
    using SyntaxLookup = std::function<AttributeSyntax(std::string_view type)>;

    // FilterError with a message naming the position for malformed text. Without a lookup,
    // the standard attributes' syntaxes apply. Extensible matches take the bitwise rules
    // 1.2.840.113556.1.4.803 (all bits) and .804 (any bit); "~=" is equality.
    static Status Parse(std::string_view text, std::unique_ptr<Filter>& out,
                        const SyntaxLookup& syntaxOf = SyntaxLookup());
    bool Matches(const Entry& entry) const;
    bool Matches(const FilterSubject& entry) const;
    void MapValues(const ValueMapper& mapper);
    // Terms whose matches include every entry the filter matches, using only attributes for
    // which indexed answers true; nothing when the filter gives no such set.
    std::optional<std::vector<IndexTerm>>
    IndexTerms(const std::function<bool(std::string_view type)>& indexed) const;

    enum class Kind {
        And,
        Or,
        Not,
        Equal,
        Present,
        Substrings,
        GreaterOrEqual,
        LessOrEqual,
        AllBits,
        AnyBit
    };

  private:
    Kind kind_ = Kind::Present;
    std::string type_;
    AttributeSyntax syntax_ = AttributeSyntax::String;
    std::string assertion_;           // the value asked for, unescaped
    std::string value_;               // its comparison form: folded, normalized DN, or bytes
    int64_t number_ = 0;              // integer syntaxes and bitwise rules
    bool isNumber_ = false;           // the assertion is an integer
    std::vector<std::string> pieces_; // Substrings: initial, any..., final ("" when absent)
    std::vector<std::unique_ptr<Filter>> children_;

    friend class FilterParser;
    void Prepare();
    bool MatchesValue(std::string_view value) const;
};

// A value escaped for use in a filter: "*", "(", ")", "\" and NUL as \XX.
std::string EscapeFilterValue(std::string_view value);

// Standard attributes whose values are octet strings or security descriptors: matched byte for
// byte, never case-folded.
bool IsBinaryAttribute(std::string_view type);

} // namespace kestrune::store
