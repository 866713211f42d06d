#include "platform/store/memory_store.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"
#include "platform/store/guid.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrune::store {
namespace {

Attribute* FindAttribute(Entry& entry, std::string_view type) {
    for (Attribute& a : entry.attributes)
        if (SameTextAscii(a.type, type)) return &a;
    return nullptr;
}

bool SameValue(std::string_view type, const std::string& a, const std::string& b) {
    return IsBinaryAttribute(type) ? a == b : FoldCase(a) == FoldCase(b);
}

bool HasValue(const Attribute& a, const std::string& value) {
    return std::any_of(a.values.begin(), a.values.end(),
                       [&](const std::string& v) { return SameValue(a.type, v, value); });
}

// The attributes kept in the index: those that lookups name one entry by.
bool IsIndexed(std::string_view type) {
    static const char* const indexed[] = {"msDFS-LinkPathv2", "cn",        "name",
                                          "sAMAccountName",   "dnsRoot",   "nETBIOSName",
                                          "lDAPDisplayName",  "objectGUID"};
    for (const char* name : indexed)
        if (SameTextAscii(name, type)) return true;
    return false;
}

std::string IndexValue(std::string_view type, const std::string& value) {
    return IsBinaryAttribute(type) ? value : FoldCase(value);
}

Status Error(ResultCode code, std::string message) {
    return {code, std::move(message), 0};
}

// The attributes a search asked for; "distinguishedName" is derived from the DN.
Entry Project(const Entry& entry, const std::vector<std::string>& wanted) {
    bool all = wanted.empty() ||
               std::any_of(wanted.begin(), wanted.end(), [](const auto& w) { return w == "*"; });
    Entry out;
    out.dn = entry.dn;
    for (const Attribute& a : entry.attributes) {
        if (all || std::any_of(wanted.begin(), wanted.end(),
                               [&](const std::string& w) { return SameTextAscii(w, a.type); }))
            out.attributes.push_back(a);
    }
    bool wantDn = all || std::any_of(wanted.begin(), wanted.end(), [](const std::string& w) {
                      return SameTextAscii(w, "distinguishedName");
                  });
    if (wantDn && !entry.dn.empty() && !entry.Find("distinguishedName"))
        out.attributes.push_back({"distinguishedName", {entry.dn}});
    return out;
}

// Applies one modification to a copy of the entry's attributes.
Status ApplyChange(Entry& entry, const Modification& m) {
    Attribute* a = FindAttribute(entry, m.type);
    switch (m.op) {
    case Modification::Op::Add:
        if (m.values.empty())
            return Error(ResultCode::ProtocolError, "add of \"" + m.type + "\" without values");
        if (!a) {
            entry.attributes.push_back({m.type, {}});
            a = &entry.attributes.back();
        }
        for (const std::string& v : m.values) {
            if (HasValue(*a, v))
                return Error(ResultCode::AttributeOrValueExists,
                             "\"" + m.type + "\" already has the value being added");
            a->values.push_back(v);
        }
        return Status::Ok();
    case Modification::Op::Delete:
        if (!a) return Error(ResultCode::NoSuchAttribute, "no attribute \"" + m.type + "\"");
        for (const std::string& v : m.values) {
            auto it = std::find_if(a->values.begin(), a->values.end(),
                                   [&](const std::string& x) { return SameValue(m.type, x, v); });
            if (it == a->values.end())
                return Error(ResultCode::NoSuchAttribute, "\"" + m.type + "\" has no such value");
            a->values.erase(it);
        }
        if (m.values.empty() || a->values.empty())
            entry.attributes.erase(entry.attributes.begin() + (a - entry.attributes.data()));
        return Status::Ok();
    case Modification::Op::Replace:
        if (m.values.empty()) {
            if (a) entry.attributes.erase(entry.attributes.begin() + (a - entry.attributes.data()));
        } else if (a) {
            a->values = m.values;
        } else {
            entry.attributes.push_back({m.type, m.values});
        }
        return Status::Ok();
    }
    return Status::Ok();
}

} // namespace

// Pages over the DNs a search matched; entries removed meanwhile are skipped.
class MemoryStore::Cursor : public SearchCursor {
  public:
    Cursor(const MemoryStore& store, std::vector<std::string> keys, SearchRequest request)
        : store_(store), keys_(std::move(keys)), request_(std::move(request)) {}

    Status NextPage(std::vector<Entry>& page) override {
        page.clear();
        size_t size = request_.pageSize ? request_.pageSize : keys_.size();
        while (next_ < keys_.size() && page.size() < size) {
            auto it = store_.nodes_.find(keys_[next_++]);
            if (it != store_.nodes_.end())
                page.push_back(Project(it->second->entry, request_.attributes));
        }
        return Status::Ok();
    }

  private:
    const MemoryStore& store_;
    std::vector<std::string> keys_;
    SearchRequest request_;
    size_t next_ = 0;
};

MemoryStore::MemoryStore() = default;

MemoryStore::~MemoryStore() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<MemoryStore> MemoryStore::Open(const std::filesystem::path& file,
                                               std::string& error) {
    std::string text;
    try {
        text = ReadWholeFile(file);
    } catch (const EFileError& e) {
        error = e.what();
        return nullptr;
    }
    auto store = std::make_unique<MemoryStore>();
    Status status = store->LoadText(text, file.string());
    if (!status.ok()) {
        error = status.message;
        return nullptr;
    }
    store->file_ = file;
    if (text.empty() || text.ends_with("\n\n") || text.ends_with("\n\r\n"))
        store->separator_.clear();
    else
        store->separator_ = text.ends_with("\n") ? "\n" : "\n\n";
    return store;
}

Status MemoryStore::LoadText(std::string_view text, const std::string& name) {
    return ReadLdif(text, name, [this](const LdifRecord& r) { return Apply(r); });
}

Status MemoryStore::Apply(const LdifRecord& r) {
    switch (r.kind) {
    case LdifRecord::Kind::Content:
    case LdifRecord::Kind::Add:
        return DoAdd(r.entry, false);
    case LdifRecord::Kind::Delete:
        return DoDelete(r.entry.dn, false);
    case LdifRecord::Kind::Modify:
        return DoModify(r.entry.dn, r.changes, false);
    case LdifRecord::Kind::ModRdn:
        return DoRename(r.entry.dn, r.newRdn, r.deleteOldRdn, r.newSuperior, false);
    }
    return Status::Ok();
}

Status MemoryStore::Record(const std::string& ldif) {
    if (file_.empty()) return Status::Ok();
    if (fd_ < 0) {
        fd_ = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd_ < 0) {
            int error = errno;
            return {ResultCode::Unavailable,
                    "Cannot record the change in \"" + file_.string() +
                        "\": " + SystemErrorText(error),
                    error};
        }
    }
    std::string text = separator_ + ldif;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int error = errno;
            // A partial record would break the next load: cut the file back.
            off_t end = ::lseek(fd_, 0, SEEK_END);
            if (done > 0 && end >= static_cast<off_t>(done))
                separator_ =
                    ::ftruncate(fd_, end - static_cast<off_t>(done)) != 0 ? "\n\n" : separator_;
            return {ResultCode::Unavailable,
                    "Cannot record the change in \"" + file_.string() +
                        "\": " + SystemErrorText(error),
                    error};
        }
        done += static_cast<size_t>(n);
    }
    separator_.clear();
    return Status::Ok();
}

MemoryStore::Node* MemoryStore::FindNode(std::string_view dn) const {
    auto it = nodes_.find(NormalizeDn(dn));
    return it == nodes_.end() ? nullptr : it->second.get();
}

Status MemoryStore::Search(const SearchRequest& request, std::unique_ptr<SearchCursor>& cursor) {
    std::unique_ptr<Filter> filter;
    Status status = Filter::Parse(request.filter, filter);
    if (!status.ok()) return status;
    // Active Directory reads a category given as a class name as that class's default
    // category: (objectCategory=user) means (objectCategory=CN=Person,CN=Schema,...).
    filter->MapValues([this](std::string_view type, std::string_view value) {
        std::string v(value);
        if (FoldCase(type) != "objectcategory" || v.find('=') != std::string::npos) return v;
        auto names = index_.find("ldapdisplayname");
        if (names == index_.end()) return v;
        auto [first, last] = names->second.equal_range(v);
        for (auto it = first; it != last; ++it) {
            std::string category = it->second->entry.First("defaultObjectCategory");
            if (!category.empty()) return category;
        }
        return v;
    });

    std::vector<const Node*> candidates;
    const Node* base = request.base.empty() ? nullptr : FindNode(request.base);
    if (!request.base.empty() && !base) {
        if (NormalizeDn(request.base).empty())
            return Error(ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + request.base);
        return Error(ResultCode::NoSuchObject, "No such object: " + request.base);
    }
    bool rootDse = request.base.empty() && request.scope == Scope::Base;
    if (rootDse) {
        if (const Node* root = FindNode("")) candidates.push_back(root);
    } else if (!IndexedCandidates(*filter, base, request.scope, candidates)) {
        if (!base && request.scope == Scope::OneLevel)
            candidates.assign(tops_.begin(), tops_.end());
        else if (!base)
            for (const Node* top : tops_)
                Collect(top, true, candidates);
        else if (request.scope == Scope::Base)
            candidates.push_back(base);
        else if (request.scope == Scope::OneLevel)
            candidates.assign(base->children.begin(), base->children.end());
        else
            Collect(base, true, candidates);
    }
    std::vector<std::string> keys;
    for (const Node* node : candidates)
        if (filter->Matches(node->entry)) keys.push_back(node->key);
    cursor = std::make_unique<Cursor>(*this, std::move(keys), request);
    return Status::Ok();
}

bool MemoryStore::IndexedCandidates(const Filter& filter, const Node* base, Scope scope,
                                    std::vector<const Node*>& out) const {
    if (scope == Scope::Base) return false; // one entry: nothing to gain
    auto terms = filter.IndexTerms(IsIndexed);
    if (!terms) return false;
    auto inScope = [&](const Node* node) {
        if (node->key.empty()) return false; // the rootDSE is in no scope but its own
        if (!base) return scope == Scope::Subtree || node->parent == nullptr;
        if (scope == Scope::Base) return node == base;
        if (scope == Scope::OneLevel) return node->parent == base;
        for (const Node* up = node; up; up = up->parent)
            if (up == base) return true;
        return false;
    };
    std::vector<const Node*> found;
    for (const IndexTerm& term : *terms) {
        auto values = index_.find(FoldCase(term.type));
        if (values == index_.end()) continue;
        const auto& byValue = values->second;
        auto it = byValue.lower_bound(term.value);
        for (; it != byValue.end(); ++it) {
            bool hit = term.prefix ? it->first.compare(0, term.value.size(), term.value) == 0
                                   : it->first == term.value;
            if (!hit) break;
            if (inScope(it->second)) found.push_back(it->second);
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Node* a, const Node* b) { return a->seq < b->seq; });
    found.erase(std::unique(found.begin(), found.end()), found.end());
    out = std::move(found);
    return true;
}

void MemoryStore::Index(Node* node, bool add) {
    for (const Attribute& a : node->entry.attributes) {
        if (!IsIndexed(a.type)) continue;
        auto& byValue = index_[FoldCase(a.type)];
        for (const std::string& v : a.values) {
            std::string key = IndexValue(a.type, v);
            if (add) {
                byValue.emplace(std::move(key), node);
                continue;
            }
            auto [first, last] = byValue.equal_range(key);
            for (auto it = first; it != last; ++it) {
                if (it->second == node) {
                    byValue.erase(it);
                    break;
                }
            }
        }
    }
}

void MemoryStore::Collect(const Node* node, bool deep, std::vector<const Node*>& out) const {
    out.push_back(node);
    if (!deep) return;
    for (const Node* child : node->children)
        Collect(child, true, out);
}

Status MemoryStore::Add(const Entry& entry) {
    return DoAdd(entry, true);
}
Status MemoryStore::Modify(const std::string& dn, const std::vector<Modification>& changes) {
    return DoModify(dn, changes, true);
}
Status MemoryStore::Delete(const std::string& dn) {
    return DoDelete(dn, true);
}
Status MemoryStore::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                           const std::string& newSuperior) {
    return DoRename(dn, newRdn, deleteOldRdn, newSuperior, true);
}

Status MemoryStore::DoAdd(const Entry& entry, bool record) {
    std::string key = NormalizeDn(entry.dn);
    bool isRoot = entry.dn.empty();
    if (key.empty() && !isRoot)
        return Error(ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + entry.dn);
    if (nodes_.count(key))
        return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + entry.dn);

    Node* parent = nullptr;
    if (!isRoot) {
        std::string parentDn = ParentDn(entry.dn);
        parent = parentDn.empty() ? nullptr : FindNode(parentDn);
        // A missing parent is allowed only for the head of a new naming context, that is when
        // no ancestor at all is in the store.
        if (!parent) {
            for (std::string up = parentDn; !up.empty(); up = ParentDn(up))
                if (FindNode(up))
                    return Error(ResultCode::NoSuchObject, "No such object: " + parentDn);
        }
    }
    auto node = std::make_unique<Node>();
    node->key = key;
    node->entry = entry;
    // Every directory object has a GUID. One that the file does not give gets one derived from
    // its name when it is loaded (the same on every load), or a random one when it is added.
    if (!isRoot && !node->entry.Find("objectGUID"))
        node->entry.attributes.push_back({"objectGUID", {record ? RandomGuid() : NameGuid(key)}});
    if (!isRoot) {
        // The naming attribute carries the RDN's value, as directories keep it.
        std::string rdn = FirstRdn(entry.dn);
        Attribute* naming = FindAttribute(node->entry, RdnType(rdn));
        if (!naming)
            node->entry.attributes.push_back({RdnType(rdn), {RdnValue(rdn)}});
        else if (!HasValue(*naming, RdnValue(rdn)))
            naming->values.insert(naming->values.begin(), RdnValue(rdn));
    }
    if (record) {
        Status status = Record(FormatLdifAdd(node->entry));
        if (!status.ok()) return status;
    }
    node->parent = parent;
    node->seq = nextSeq_++;
    Node* raw = node.get();
    nodes_.emplace(std::move(key), std::move(node));
    Index(raw, true);
    if (parent)
        parent->children.push_back(raw);
    else if (!isRoot)
        tops_.push_back(raw);
    ++changes_;
    return Status::Ok();
}

Status MemoryStore::DoModify(const std::string& dn, const std::vector<Modification>& changes,
                             bool record) {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    Entry changed = node->entry;
    for (const Modification& m : changes) {
        Status status = ApplyChange(changed, m);
        if (!status.ok()) return status;
    }
    if (record) {
        Status status = Record(FormatLdifModify(node->entry.dn, changes));
        if (!status.ok()) return status;
    }
    Index(node, false);
    node->entry = std::move(changed);
    Index(node, true);
    ++changes_;
    return Status::Ok();
}

Status MemoryStore::DoDelete(const std::string& dn, bool record) {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    if (!node->children.empty())
        return Error(ResultCode::NotAllowedOnNonLeaf, "Entry has children: " + dn);
    if (record) {
        Status status = Record(FormatLdifDelete(node->entry.dn));
        if (!status.ok()) return status;
    }
    std::vector<Node*>& siblings = node->parent ? node->parent->children : tops_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    Index(node, false);
    nodes_.erase(node->key);
    ++changes_;
    return Status::Ok();
}

void MemoryStore::Rekey(Node* node, const std::string& newDn) {
    auto owned = std::move(nodes_[node->key]);
    nodes_.erase(node->key);
    node->entry.dn = newDn;
    node->key = NormalizeDn(newDn);
    nodes_.emplace(node->key, std::move(owned));
    for (Node* child : node->children)
        Rekey(child, JoinDn(FirstRdn(child->entry.dn), newDn));
}

Status MemoryStore::DoRename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                             const std::string& newSuperior, bool record) {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    std::vector<std::string> rdns;
    if (!SplitDn(newRdn, rdns) || rdns.size() != 1)
        return Error(ResultCode::InvalidDnSyntax, "Invalid RDN: " + newRdn);
    Node* parent = node->parent;
    std::string parentDn = ParentDn(node->entry.dn);
    if (!newSuperior.empty()) {
        parent = FindNode(newSuperior);
        if (!parent) return Error(ResultCode::NoSuchObject, "No such object: " + newSuperior);
        parentDn = parent->entry.dn;
        for (Node* up = parent; up; up = up->parent)
            if (up == node)
                return Error(ResultCode::UnwillingToPerform, "Cannot move an entry below itself");
    }
    std::string newDn = JoinDn(rdns.front(), parentDn);
    Node* existing = FindNode(newDn);
    if (existing && existing != node)
        return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + newDn);
    if (record) {
        Status status = Record(FormatLdifModRdn(node->entry.dn, newRdn, deleteOldRdn, newSuperior));
        if (!status.ok()) return status;
    }
    std::string oldRdn = FirstRdn(node->entry.dn);
    Index(node, false);
    if (deleteOldRdn) {
        if (Attribute* a = FindAttribute(node->entry, RdnType(oldRdn))) {
            auto it = std::find_if(a->values.begin(), a->values.end(), [&](const std::string& v) {
                return SameValue(a->type, v, RdnValue(oldRdn));
            });
            if (it != a->values.end()) a->values.erase(it);
        }
    }
    Attribute* naming = FindAttribute(node->entry, RdnType(rdns.front()));
    if (!naming) {
        node->entry.attributes.push_back({RdnType(rdns.front()), {}});
        naming = &node->entry.attributes.back();
    }
    if (!HasValue(*naming, RdnValue(rdns.front())))
        naming->values.push_back(RdnValue(rdns.front()));
    if (naming->values.empty()) naming->values.push_back(RdnValue(rdns.front()));
    Index(node, true);

    if (parent != node->parent) {
        std::vector<Node*>& siblings = node->parent ? node->parent->children : tops_;
        siblings.erase(std::find(siblings.begin(), siblings.end(), node));
        (parent ? parent->children : tops_).push_back(node);
        node->parent = parent;
    }
    Rekey(node, newDn);
    ++changes_;
    return Status::Ok();
}

} // namespace kestrune::store
