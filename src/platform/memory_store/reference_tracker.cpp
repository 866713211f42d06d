#include "platform/memory_store/reference_tracker.h"

#include "base/ascii.h"
#include "platform/store/dn.h"

#include <algorithm>

namespace kestrune::store {

namespace {

// Whether text holds word, ASCII letters compared without regard to case.
bool ContainsAscii(std::string_view text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [](char a, char b) { return LowerAscii(a) == LowerAscii(b); }) != text.end();
}

// The longest run of ASCII letters and digits in a name: it appears as it is in every way of
// writing the name, so a value without it cannot name the object.
std::string PlainRun(std::string_view text) {
    std::string best, run;
    for (char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            run += c;
            if (run.size() > best.size()) best = run;
        } else {
            run.clear();
        }
    }
    return best;
}

} // namespace

bool ReferenceTracker::IsLinked(std::string_view type) {
    static const char* const linked[] = {
        "member",         "memberOf",        "manager",           "directReports", "managedBy",
        "managedObjects", "serverReference", "serverReferenceBL", "siteObject",    "siteObjectBL"};
    for (const char* name : linked)
        if (SameTextAscii(name, type)) return true;
    return false;
}

void ReferenceTracker::Follow(const std::string& oldDn, const std::string& newDn) {
    std::vector<std::string> oldRdns;
    if (!SplitDn(oldDn, oldRdns) || oldRdns.empty()) return;
    const std::string oldKey = NormalizeDn(oldDn);
    const std::string hint = PlainRun(RdnValue(oldRdns.front()));
    const size_t depth = oldRdns.size();
    // Whether the value names the object or one below it; rdns then holds its RDNs.
    auto names = [&](std::string_view v, std::vector<std::string>& rdns) {
        if ((!hint.empty() && !ContainsAscii(v, hint)) || !SplitDn(v, rdns) || rdns.size() < depth)
            return false;
        std::string tail;
        for (size_t i = rdns.size() - depth; i < rdns.size(); ++i)
            tail += (tail.empty() ? "" : ",") + rdns[i];
        return NormalizeDn(tail) == oldKey;
    };
    std::vector<std::string> rdns;
    tree_.ForEach([&](EntryNode& node) {
        // Most entries name nothing that moved: they are only read. (An attribute without
        // values is dropped below as well.)
        bool touched = false;
        for (StoredEntry::Attribute a : node.entry.AllAttributes()) {
            if (!schema_.IsDn(tree_.Types().Name(a.type))) continue;
            touched =
                a.values.empty() || std::any_of(a.values.begin(), a.values.end(),
                                                [&](std::string_view v) { return names(v, rdns); });
            if (touched) break;
        }
        if (!touched) return;
        Entry entry = node.entry.ToEntry(tree_.Types());
        bool crossRef = false;
        for (size_t ai = 0; ai < entry.attributes.size();) {
            Attribute& a = entry.attributes[ai];
            if (!schema_.IsDn(a.type)) {
                ++ai;
                continue;
            }
            bool linked = IsLinked(a.type);
            for (size_t vi = 0; vi < a.values.size();) {
                std::string& v = a.values[vi];
                if (!names(v, rdns)) {
                    ++vi;
                    continue;
                }
                if (!crossRef && HasClass(entry, "crossRef")) {
                    crossRef = true;
                    schema_.Forget(entry); // its naming context is renamed
                }
                if (newDn.empty()) {
                    // The object is gone: a linked value goes with it; other references stay.
                    if (linked) {
                        a.values.erase(a.values.begin() + static_cast<long>(vi));
                        continue;
                    }
                    ++vi;
                    continue;
                }
                std::string renamed;
                for (size_t i = 0; i + depth < rdns.size(); ++i)
                    renamed += rdns[i] + ",";
                v = renamed + newDn;
                ++vi;
            }
            if (a.values.empty())
                entry.attributes.erase(entry.attributes.begin() + static_cast<long>(ai));
            else
                ++ai;
        }
        tree_.Replace(node, entry);
        if (crossRef) schema_.Learn(entry);
    });
}

} // namespace kestrune::store
