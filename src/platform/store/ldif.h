// LDIF (RFC 2849): reading content and change records, writing change records.
#pragma once

#include "platform/store/directory_store.h"

#include <functional>

namespace kestrune::store {

struct LdifRecord {
    enum class Kind { Content, Add, Delete, Modify, ModRdn };
    Kind kind = Kind::Content;
    size_t line = 0; // line of its "dn:"
    Entry entry;     // dn always; attributes for Content and Add
    std::vector<Modification> changes;
    std::string newRdn;
    bool deleteOldRdn = true;
    std::string newSuperior;
    // Read before the change-record marker: part of the file as it was made or exported, not a
    // change this program appended.
    bool original = true;
};

// The comment line the journal writes once, before the first change record it appends to a
// file. What stands before it is the file as it was made (by hand, by a generator or by an
// export tool) and is taken whole, down to a last record without a closing blank line; what
// follows it was appended by the journal, which ends every record with a blank line, so a
// record there without one was cut short while it was being written. A comment is what every
// LDIF reader skips, so the file stays an ordinary LDIF file.
inline constexpr std::string_view kChangeRecordMarker =
    "# Kestrune change records follow; each ends with a blank line.";

// Where a text that others append records to was read up to.
struct LdifTail {
    size_t firstLine = 1; // in: the line number of the text's first line
    // in: the text begins after the change-record marker; out: it ends after it.
    bool appended = false;
    // out: an incomplete last record after the marker, left out.
    bool torn = false;
    size_t tornOffset = 0; // where the incomplete record begins in the text
    size_t tornLine = 0;
};

// Reads every record of text and hands it to apply, in order; apply may take the record's
// contents. Stops at the first malformed line or failed apply; the message then reads
// "<name>:<line>: <what>". With tail, an incomplete last record is left out and reported there
// instead of refused. ldapsearch's own lines (its closing "search:"/"result:" block, search
// references) are no entries and are passed over; a result other than success is refused, as
// the export it closes is incomplete.
Status ReadLdif(std::string_view text, const std::string& name,
                const std::function<Status(LdifRecord&)>& apply, LdifTail* tail = nullptr);

std::string FormatLdifAdd(const Entry& entry);
std::string FormatLdifModify(const std::string& dn, const std::vector<Modification>& changes);
std::string FormatLdifDelete(const std::string& dn);
std::string FormatLdifModRdn(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                             const std::string& newSuperior);

} // namespace kestrune::store
