#include "platform/store/value_ranges.h"

#include "base/ascii.h"

#include <charconv>
#include <string_view>

namespace kestrune::store {
namespace {

struct Range {
    std::string_view attribute;
    long long lower;
    long long upper;
};

// From the attributes' schema entries: a namespace object of Windows Server 2008 mode is
// version 2.0 and nothing else.
constexpr Range kRanges[] = {
    {"msDFS-SchemaMajorVersion", 2, 2},
    {"msDFS-SchemaMinorVersion", 0, 0},
};

} // namespace

Status CheckValueRanges(const Entry& entry) {
    for (const Attribute& a : entry.attributes)
        for (const Range& range : kRanges) {
            if (!SameTextAscii(a.type, range.attribute)) continue;
            for (const std::string& value : a.values) {
                long long number = 0;
                auto [end, error] =
                    std::from_chars(value.data(), value.data() + value.size(), number);
                if (error != std::errc() || end != value.data() + value.size() ||
                    number < range.lower || number > range.upper)
                    return {ResultCode::ConstraintViolation,
                            "Constraint violation: " + a.type + " " + value + " is outside " +
                                std::to_string(range.lower) + " to " + std::to_string(range.upper)};
            }
        }
    return Status::Ok();
}

} // namespace kestrune::store
