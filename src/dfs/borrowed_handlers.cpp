#include "dfs/borrowed_handlers.h"

#include <utility>

namespace kestrune {

BorrowedHandlers::BorrowedHandlers(TOXLDFS& dfs)
    : dfs_(dfs), enum_(std::exchange(dfs.ONDFSEnum, nullptr)),
      enum2_(std::exchange(dfs.ONDFSEnum2, nullptr)),
      enumWide_(std::exchange(dfs.ONDFSEnumWide, nullptr)),
      enum2Wide_(std::exchange(dfs.ONDFSEnum2Wide, nullptr)),
      properties_(std::exchange(dfs.ONDFSEntryProperties, nullptr)),
      start_(std::exchange(dfs.OnDFSEnumStart, nullptr)),
      stop_(std::exchange(dfs.OnDFSEnumStop, nullptr)) {}

BorrowedHandlers::~BorrowedHandlers() {
    dfs_.ONDFSEnum = std::move(enum_);
    dfs_.ONDFSEnum2 = std::move(enum2_);
    dfs_.ONDFSEnumWide = std::move(enumWide_);
    dfs_.ONDFSEnum2Wide = std::move(enum2Wide_);
    dfs_.ONDFSEntryProperties = std::move(properties_);
    dfs_.OnDFSEnumStart = std::move(start_);
    dfs_.OnDFSEnumStop = std::move(stop_);
}

} // namespace kestrune
