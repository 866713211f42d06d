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
};

// Where a text that others append records to was read up to.
struct LdifTail {
    size_t firstLine = 1; // in: the line number of the text's first line
    // out: an incomplete last record, left out. Every appended record ends with a blank line,
    // so a change record (or the start of one) at the end without it was cut short while it
    // was being written.
    bool torn = false;
    size_t tornOffset = 0; // where the incomplete record begins in the text
    size_t tornLine = 0;
};

// Reads every record of text and hands it to apply, in order; apply may take the record's
// contents. Stops at the first malformed line or failed apply; the message then reads
// "<name>:<line>: <what>". With tail, an incomplete last record is left out and reported there
// instead of refused.
Status ReadLdif(std::string_view text, const std::string& name,
                const std::function<Status(LdifRecord&)>& apply, LdifTail* tail = nullptr);

std::string FormatLdifAdd(const Entry& entry);
std::string FormatLdifModify(const std::string& dn, const std::vector<Modification>& changes);
std::string FormatLdifDelete(const std::string& dn);
std::string FormatLdifModRdn(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                             const std::string& newSuperior);

} // namespace kestrune::store
