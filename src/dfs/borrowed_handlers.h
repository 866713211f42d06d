// Lends the DFS component to a reading of its own: while a BorrowedHandlers lives, the
// component's events are empty for the borrower to set; its owner's handlers come back however
// the scope ends, so a window's handlers never see a backup's or a live read's reports.
#pragma once

#include "dfs/toxldfs.h"

namespace kestrune {

class BorrowedHandlers {
  public:
    explicit BorrowedHandlers(TOXLDFS& dfs);
    ~BorrowedHandlers();
    BorrowedHandlers(const BorrowedHandlers&) = delete;
    BorrowedHandlers& operator=(const BorrowedHandlers&) = delete;

  private:
    TOXLDFS& dfs_;
    TOXLDFS::tDFSEnum enum_;
    TOXLDFS::tDFSEnum2 enum2_;
    TOXLDFS::tDFSEnumWide enumWide_;
    TOXLDFS::tDFSEnum2Wide enum2Wide_;
    TOXLDFS::tDFSEntryProperties properties_;
    TOXLDFS::tDFSEnumStart start_;
    TOXLDFS::tDFSEnumStop stop_;
};

} // namespace kestrune
