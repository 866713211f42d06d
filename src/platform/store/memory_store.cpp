#include "platform/store/memory_store.h"

#include "base/ascii.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"
#include "platform/store/guid.h"

#include <algorithm>

namespace kestrune::store {
namespace {

Attribute* FindAttribute(Entry& entry, std::string_view type) {
    for (Attribute& a : entry.attributes)
        if (SameTextAscii(a.type, type)) return &a;
    return nullptr;
}

bool HasValue(const DirectorySchema& schema, const Attribute& a, const std::string& value) {
    return std::any_of(a.values.begin(), a.values.end(),
                       [&](const std::string& v) { return schema.SameValue(a.type, v, value); });
}

// Attributes whose values the directory keeps pointing at live objects: when the object
// named goes, the value goes.
bool IsLinked(std::string_view type) {
    static const char* const linked[] = {
        "member",         "memberOf",        "manager",           "directReports", "managedBy",
        "managedObjects", "serverReference", "serverReferenceBL", "siteObject",    "siteObjectBL"};
    for (const char* name : linked)
        if (SameTextAscii(name, type)) return true;
    return false;
}

// The last of the entry's classes, its most specific one; "" without classes.
std::string StructuralClass(const Entry& entry) {
    const auto* classes = entry.Find("objectClass");
    return classes && !classes->empty() ? classes->back() : std::string();
}

bool HasClass(const Entry& entry, std::string_view cls) {
    const auto* classes = entry.Find("objectClass");
    return classes && std::any_of(classes->begin(), classes->end(),
                                  [&](const std::string& c) { return SameTextAscii(c, cls); });
}

// Where the first RDN of a DN ends: its first unescaped separator, or npos.
size_t FirstSeparator(std::string_view dn) {
    for (size_t i = 0; i < dn.size(); ++i) {
        if (dn[i] == '\\')
            ++i;
        else if (dn[i] == ',' || dn[i] == ';')
            return i;
    }
    return std::string_view::npos;
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

std::string IndexValue(std::string_view type, std::string_view value) {
    return IsBinaryAttribute(type) ? std::string(value) : FoldCase(value);
}

Status Error(ResultCode code, std::string message) {
    return {code, std::move(message), 0};
}

// An attribute type as LDAP spells one (a letter, then letters, digits and hyphens; or a
// numeric OID): what the file can hold and read back.
bool IsAttributeType(std::string_view type) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (type.empty()) return false;
    if (digit(type.front())) {
        return type.back() != '.' && type.find("..") == std::string_view::npos &&
               std::all_of(type.begin(), type.end(), [&](char c) { return digit(c) || c == '.'; });
    }
    return letter(type.front()) && std::all_of(type.begin(), type.end(), [&](char c) {
               return letter(c) || digit(c) || c == '-';
           });
}

Status BadAttributeType(std::string_view type) {
    return Error(ResultCode::ProtocolError, "Invalid attribute type \"" + std::string(type) + "\"");
}

// The values of an attribute named twice come together under its first name, and an
// attribute without values is no attribute, as the entry reads back from the file.
void MergeAttributes(Entry& entry) {
    // As the file gives them, each attribute is named once with values: nothing to do.
    bool plain = true;
    for (size_t i = 0; plain && i < entry.attributes.size(); ++i) {
        plain = !entry.attributes[i].values.empty();
        for (size_t j = 0; plain && j < i; ++j)
            plain = !SameTextAscii(entry.attributes[j].type, entry.attributes[i].type);
    }
    if (plain) return;
    std::vector<Attribute> merged;
    for (Attribute& a : entry.attributes) {
        if (a.values.empty()) continue;
        auto same = std::find_if(merged.begin(), merged.end(),
                                 [&](const Attribute& m) { return SameTextAscii(m.type, a.type); });
        if (same == merged.end())
            merged.push_back(std::move(a));
        else
            same->values.insert(same->values.end(), a.values.begin(), a.values.end());
    }
    entry.attributes = std::move(merged);
}

// The attributes a search asked for; "distinguishedName" is derived from the DN. Only those
// are copied out of the store, into out's strings and lists where it has them already (a
// search's pages reuse their entries).
void Project(const StoredEntry& entry, const AttributeTypes& types,
             const std::vector<std::string>& wanted, Entry& out) {
    bool all = wanted.empty() ||
               std::any_of(wanted.begin(), wanted.end(), [](const auto& w) { return w == "*"; });
    out.dn.assign(entry.Dn());
    size_t used = 0;
    auto next = [&]() -> Attribute& {
        if (used == out.attributes.size()) out.attributes.emplace_back();
        return out.attributes[used++];
    };
    bool hasDn = false;
    for (StoredEntry::Attribute a : entry.AllAttributes()) {
        std::string_view type = types.Name(a.type);
        hasDn = hasDn || SameTextAscii(type, "distinguishedName");
        if (!all && std::none_of(wanted.begin(), wanted.end(),
                                 [&](const std::string& w) { return SameTextAscii(w, type); }))
            continue;
        Attribute& copy = next();
        copy.type.assign(type);
        copy.values.resize(a.values.size());
        size_t i = 0;
        for (std::string_view v : a.values)
            copy.values[i++].assign(v);
    }
    bool wantDn = all || std::any_of(wanted.begin(), wanted.end(), [](const std::string& w) {
                      return SameTextAscii(w, "distinguishedName");
                  });
    if (wantDn && !out.dn.empty() && !hasDn) {
        Attribute& dn = next();
        dn.type.assign("distinguishedName");
        dn.values.assign(1, out.dn);
    }
    out.attributes.resize(used);
}

// A stored entry as a filter reads it.
class StoredSubject : public FilterSubject {
  public:
    StoredSubject(const StoredEntry& entry, const AttributeTypes& types)
        : entry_(entry), types_(types) {}
    bool Has(std::string_view type) const override { return entry_.Find(types_, type).has_value(); }
    bool AnyValue(std::string_view type,
                  const std::function<bool(std::string_view)>& test) const override {
        auto values = entry_.Find(types_, type);
        return values && std::any_of(values->begin(), values->end(), test);
    }

  private:
    const StoredEntry& entry_;
    const AttributeTypes& types_;
};

// Applies one modification to a copy of the entry's attributes.
Status ApplyChange(const DirectorySchema& schema, Entry& entry, const Modification& m) {
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
            if (HasValue(schema, *a, v))
                return Error(ResultCode::AttributeOrValueExists,
                             "\"" + m.type + "\" already has the value being added");
            a->values.push_back(v);
        }
        return Status::Ok();
    case Modification::Op::Delete:
        if (!a) return Error(ResultCode::NoSuchAttribute, "no attribute \"" + m.type + "\"");
        for (const std::string& v : m.values) {
            auto it = std::find_if(a->values.begin(), a->values.end(), [&](const std::string& x) {
                return schema.SameValue(m.type, x, v);
            });
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

// The keys of a search's matches, side by side in one text.
class KeyList {
  public:
    void Reserve(size_t keys, size_t bytes) {
        ends_.reserve(keys);
        text_.reserve(bytes);
    }
    void Add(std::string_view key) {
        text_ += key;
        ends_.push_back(text_.size());
    }
    size_t Count() const { return ends_.size(); }
    std::string_view operator[](size_t i) const {
        size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }

  private:
    std::string text_;
    std::vector<size_t> ends_;
};

} // namespace

// Pages over the entries a search matched; entries removed or renamed meanwhile are skipped.
class MemoryStore::Cursor : public SearchCursor {
  public:
    Cursor(const MemoryStore& store, std::vector<const Node*> nodes, SearchRequest request)
        : store_(&store), nodes_(std::move(nodes)), count_(nodes_.size()),
          request_(std::move(request)) {
        store.cursors_.push_back(this);
    }
    ~Cursor() override {
        if (store_) std::erase(store_->cursors_, this);
    }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // The store is about to remove entries or give them other keys: from now on the matches
    // not yet handed out are looked up by the keys they have now.
    void KeepKeys() {
        if (byKey_) return;
        size_t bytes = 0;
        for (size_t i = next_; i < count_; ++i)
            bytes += nodes_[i]->key.size();
        keys_.Reserve(count_ - next_, bytes);
        for (size_t i = next_; i < count_; ++i)
            keys_.Add(nodes_[i]->key);
        first_ = next_;
        byKey_ = true;
        nodes_ = {};
    }
    // The store goes before the cursor: nothing more to hand out.
    void Orphan() { store_ = nullptr; }

    Status NextPage(std::vector<Entry>& page) override {
        if (limited_ || !store_) {
            page.clear();
            return Status::Ok();
        }
        size_t size = std::min(request_.pageSize ? request_.pageSize : kMaxPageSize, kMaxPageSize);
        // The entries of the previous page take the new values: their memory is used again.
        size_t used = 0;
        while (next_ < count_ && used < size) {
            const Node* node = nullptr;
            if (!byKey_) {
                node = nodes_[next_];
            } else {
                auto it = store_->nodes_.find(keys_[next_ - first_]);
                if (it != store_->nodes_.end()) node = it->second.get();
            }
            ++next_;
            if (!node) continue;
            if (used == page.size()) page.emplace_back();
            Project(node->entry, store_->types_, request_.attributes, page[used++]);
        }
        page.resize(used);
        // An unpaged search ends at the size limit, with the entries it got.
        if (request_.pageSize == 0 && next_ < count_) {
            limited_ = true;
            return Error(ResultCode::SizeLimitExceeded, "Size limit exceeded");
        }
        return Status::Ok();
    }

  private:
    const MemoryStore* store_;
    std::vector<const Node*> nodes_; // until the store removes or renames an entry
    size_t count_;                   // of the matches
    KeyList keys_;                   // after that: the keys of the matches from first_ on
    size_t first_ = 0;
    bool byKey_ = false;
    SearchRequest request_;
    size_t next_ = 0;
    bool limited_ = false;
};

void MemoryStore::KeepCursorKeys() {
    for (Cursor* cursor : cursors_)
        cursor->KeepKeys();
}

void MemoryStore::SetWarningSink(std::function<void(const std::string&)> sink) {
    Journal::SetWarningSink(std::move(sink));
}

MemoryStore::MemoryStore() = default;

MemoryStore::~MemoryStore() {
    for (Cursor* cursor : cursors_)
        cursor->Orphan();
}

std::unique_ptr<MemoryStore> MemoryStore::Open(const std::filesystem::path& file,
                                               std::string& error) {
    auto store = std::make_unique<MemoryStore>();
    Status status = store->journal_.Open(file);
    if (!status.ok()) {
        error = status.message;
        return nullptr;
    }
    return store;
}

Status MemoryStore::LoadText(std::string_view text, const std::string& name) {
    return ReadLdif(text, name, [this](LdifRecord& r) { return Apply(r); });
}

Status MemoryStore::Apply(LdifRecord& r) {
    switch (r.kind) {
    case LdifRecord::Kind::Content:
    case LdifRecord::Kind::Add:
        return DoAdd(std::move(r.entry), false);
    case LdifRecord::Kind::Delete:
        return DoDelete(r.entry.dn, false);
    case LdifRecord::Kind::Modify:
        return DoModify(r.entry.dn, r.changes, false);
    case LdifRecord::Kind::ModRdn:
        return DoRename(r.entry.dn, r.newRdn, r.deleteOldRdn, r.newSuperior, false);
    }
    return Status::Ok();
}

Status MemoryStore::Exclusively(const std::function<Status()>& work) {
    return journal_.Exclusively(work);
}

MemoryStore::Node* MemoryStore::FindNode(std::string_view dn) const {
    std::string key = NormalizeDn(dn);
    // A malformed DN normalizes to the rootDSE's empty key but names no entry.
    std::vector<std::string> rdns;
    if (key.empty() && (!SplitDn(dn, rdns) || !rdns.empty())) return nullptr;
    auto it = nodes_.find(key);
    return it == nodes_.end() ? nullptr : it->second.get();
}

Status MemoryStore::Search(const SearchRequest& request, std::unique_ptr<SearchCursor>& cursor) {
    // Others' changes are taken in first. When that fails, what the store holds still
    // answers; changes are the ones refused.
    journal_.Refresh();
    std::unique_ptr<Filter> filter;
    Status status = Filter::Parse(request.filter, filter,
                                  [this](std::string_view type) { return schema_.SyntaxOf(type); });
    if (!status.ok()) return status;
    // Active Directory reads a category given as a class name as that class's default
    // category: (objectCategory=user) means (objectCategory=CN=Person,CN=Schema,...).
    filter->MapValues([this](std::string_view type, std::string_view value) {
        std::string v(value);
        if (!SameTextAscii(type, "objectCategory") || v.find('=') != std::string::npos) return v;
        std::string category = schema_.DefaultCategory(v);
        return category.empty() ? v : category;
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
    } else if (!IndexedCandidates(*filter, base, request.scope, request.wholeForest, candidates)) {
        // From the empty base, every naming context is in view.
        bool whole = request.wholeForest || !base;
        if (!base && request.scope == Scope::OneLevel)
            candidates.assign(tops_.begin(), tops_.end());
        else if (!base)
            for (const Node* top : tops_)
                Collect(top, true, true, candidates);
        else if (request.scope == Scope::Base)
            candidates.push_back(base);
        else if (request.scope == Scope::OneLevel) {
            candidates.reserve(base->children.size());
            for (const Node* child : base->children)
                if (whole || !schema_.IsContextHead(child->key)) candidates.push_back(child);
        } else
            Collect(base, true, whole, candidates);
    }
    std::vector<const Node*> matched;
    matched.reserve(candidates.size());
    for (const Node* node : candidates)
        if (filter->Matches(StoredSubject(node->entry, types_))) matched.push_back(node);
    cursor = std::make_unique<Cursor>(*this, std::move(matched), request);
    return Status::Ok();
}

bool MemoryStore::IndexedCandidates(const Filter& filter, const Node* base, Scope scope,
                                    bool wholeForest, std::vector<const Node*>& out) const {
    if (scope == Scope::Base) return false; // one entry: nothing to gain
    auto terms = filter.IndexTerms(IsIndexed);
    if (!terms) return false;
    // A search stays in the naming context of its base unless it covers the whole forest.
    auto inScope = [&](const Node* node) {
        if (node->key.empty()) return false; // the rootDSE is in no scope but its own
        if (!base) return scope == Scope::Subtree || node->parent == nullptr;
        if (scope == Scope::Base) return node == base;
        if (scope == Scope::OneLevel)
            return node->parent == base && (wholeForest || !schema_.IsContextHead(node->key));
        for (const Node* up = node; up; up = up->parent) {
            if (up == base) return true;
            if (!wholeForest && schema_.IsContextHead(up->key)) return false;
        }
        return false;
    };
    std::vector<const Node*> found;
    for (const IndexTerm& term : *terms) {
        if (!indexed_) {
            // The index is made by the first search that can use it: a load or a run that
            // never looks anything up by value does not pay for it.
            indexed_ = true;
            for (const auto& [key, node] : nodes_)
                Index(node.get(), true);
        }
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

void MemoryStore::Index(Node* node, bool add) const {
    if (!indexed_) return; // made when first needed
    for (StoredEntry::Attribute a : node->entry.AllAttributes()) {
        std::string_view type = types_.Name(a.type);
        if (!IsIndexed(type)) continue;
        auto& byValue = index_[FoldCase(type)];
        for (std::string_view v : a.values) {
            std::string key = IndexValue(type, v);
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

void MemoryStore::Collect(const Node* node, bool deep, bool wholeForest,
                          std::vector<const Node*>& out) const {
    out.push_back(node);
    if (!deep) return;
    for (const Node* child : node->children)
        if (wholeForest || !schema_.IsContextHead(child->key))
            Collect(child, true, wholeForest, out);
}

Status MemoryStore::Add(const Entry& entry) {
    return Exclusively([&] { return DoAdd(Entry(entry), true); });
}
Status MemoryStore::Modify(const std::string& dn, const std::vector<Modification>& changes) {
    return Exclusively([&] { return DoModify(dn, changes, true); });
}
Status MemoryStore::Delete(const std::string& dn) {
    return Exclusively([&] { return DoDelete(dn, true); });
}
Status MemoryStore::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                           const std::string& newSuperior) {
    return Exclusively([&] { return DoRename(dn, newRdn, deleteOldRdn, newSuperior, true); });
}

Status MemoryStore::DoAdd(Entry&& entry, bool record) {
    bool isRoot = entry.dn.empty();
    std::string key;
    Node* parent = nullptr;
    std::string parentDn;
    size_t comma = std::string::npos;
    if (!isRoot) {
        comma = FirstSeparator(entry.dn);
        if (comma != std::string::npos) {
            size_t start = entry.dn.find_first_not_of(' ', comma + 1);
            if (start != std::string::npos) parentDn = entry.dn.substr(start);
        }
        // The records of one container name it alike: it is looked up once for all of them.
        if (!parentDn.empty() && lastParent_ && parentDn == lastParentDn_)
            parent = lastParent_;
        else if (!parentDn.empty())
            parent = FindNode(parentDn);
        std::string rdnKey = NormalizeDn(std::string_view(entry.dn).substr(0, comma));
        key = parent && !rdnKey.empty() ? rdnKey + "," + parent->key : NormalizeDn(entry.dn);
        if (key.empty())
            return Error(ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + entry.dn);
    }
    if (nodes_.count(key))
        return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + entry.dn);
    if (record) {
        if (!isRoot && !IsAttributeType(RdnType(FirstRdn(entry.dn))))
            return Error(ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + entry.dn);
        for (const Attribute& a : entry.attributes)
            if (!IsAttributeType(a.type)) return BadAttributeType(a.type);
    }

    // A missing parent is allowed only for the head of a new naming context, that is when no
    // ancestor at all is in the store.
    if (!isRoot && !parent) {
        for (std::string up = parentDn; !up.empty(); up = ParentDn(up))
            if (FindNode(up)) return Error(ResultCode::NoSuchObject, "No such object: " + parentDn);
    }
    lastParentDn_ = parentDn;
    lastParent_ = parent;
    MergeAttributes(entry);
    // Every directory object has a GUID. One that the file does not give gets one derived from
    // its name when it is loaded (the same on every load), or a random one when it is added.
    if (!isRoot && !entry.Find("objectGUID"))
        entry.attributes.push_back({"objectGUID", {record ? RandomGuid() : NameGuid(key)}});
    if (!isRoot) {
        // The naming attribute carries the RDN's value, as directories keep it.
        std::string rdn = FirstRdn(std::string_view(entry.dn).substr(0, comma));
        Attribute* naming = FindAttribute(entry, RdnType(rdn));
        if (!naming)
            entry.attributes.push_back({RdnType(rdn), {RdnValue(rdn)}});
        else if (!HasValue(schema_, *naming, RdnValue(rdn)))
            naming->values.insert(naming->values.begin(), RdnValue(rdn));
        // Every object has a category: its structural class's default one.
        const auto* classes = entry.Find("objectClass");
        if (classes && !classes->empty() && !entry.Find("objectCategory")) {
            std::string category = schema_.DefaultCategory(classes->back());
            if (!category.empty()) entry.attributes.push_back({"objectCategory", {category}});
        }
    }
    if (record) {
        Status status = CheckSuperior(entry.dn, StructuralClass(entry), parent);
        if (status.ok()) status = journal_.Record(FormatLdifAdd(entry));
        if (!status.ok()) return status;
    }
    auto node = std::make_unique<Node>();
    node->key = std::move(key);
    node->entry = StoredEntry(entry, types_, arena_);
    node->parent = parent;
    node->seq = nextSeq_++;
    Node* raw = node.get();
    nodes_.emplace(raw->key, std::move(node));
    Index(raw, true);
    schema_.Learn(entry);
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
    Entry before = node->entry.ToEntry(types_);
    Entry changed = before;
    for (const Modification& m : changes) {
        if (record && !IsAttributeType(m.type)) return BadAttributeType(m.type);
        Status status = ApplyChange(schema_, changed, m);
        if (!status.ok()) return status;
    }
    if (record) {
        Status status = journal_.Record(FormatLdifModify(before.dn, changes));
        if (!status.ok()) return status;
    }
    Index(node, false);
    schema_.Forget(before);
    node->entry.Release(arena_);
    node->entry = StoredEntry(changed, types_, arena_);
    Index(node, true);
    schema_.Learn(changed);
    ++changes_;
    Compact();
    return Status::Ok();
}

Status MemoryStore::DoDelete(const std::string& dn, bool record) {
    lastParent_ = nullptr;
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    if (node->key.empty())
        return Error(ResultCode::UnwillingToPerform, "The rootDSE cannot be deleted");
    if (!node->children.empty())
        return Error(ResultCode::NotAllowedOnNonLeaf, "Entry has children: " + dn);
    if (record) {
        Status status = journal_.Record(FormatLdifDelete(std::string(node->entry.Dn())));
        if (!status.ok()) return status;
    }
    std::vector<Node*>& siblings = node->parent ? node->parent->children : tops_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
    Index(node, false);
    schema_.Forget(node->entry.ToEntry(types_));
    std::string gone(node->entry.Dn());
    KeepCursorKeys();
    node->entry.Release(arena_);
    nodes_.erase(nodes_.find(node->key));
    UpdateReferences(gone, std::string());
    ++changes_;
    Compact();
    return Status::Ok();
}

void MemoryStore::Renamed(Node* node, const std::string& newDn,
                          std::vector<std::pair<Node*, std::string>>& out) const {
    out.emplace_back(node, newDn);
    for (Node* child : node->children)
        Renamed(child, JoinDn(FirstRdn(child->entry.Dn()), newDn), out);
}

void MemoryStore::Rekey(const std::vector<std::pair<Node*, std::string>>& renamed) {
    KeepCursorKeys();
    // Every node leaves the map before any returns, so that no new key meets an old one.
    std::vector<std::unique_ptr<Node>> owned;
    owned.reserve(renamed.size());
    for (const auto& [node, dn] : renamed) {
        auto it = nodes_.find(node->key);
        owned.push_back(std::move(it->second));
        nodes_.erase(it);
    }
    for (size_t i = 0; i < renamed.size(); ++i) {
        Node* node = renamed[i].first;
        node->entry.SetDn(renamed[i].second, arena_);
        node->key = NormalizeDn(renamed[i].second);
        nodes_.emplace(node->key, std::move(owned[i]));
    }
}

Status MemoryStore::DoRename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                             const std::string& newSuperior, bool record) {
    lastParent_ = nullptr;
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    if (node->key.empty())
        return Error(ResultCode::UnwillingToPerform, "The rootDSE cannot be renamed or moved");
    std::vector<std::string> rdns;
    if (!SplitDn(newRdn, rdns) || rdns.size() != 1 ||
        (record && !IsAttributeType(RdnType(rdns.front()))))
        return Error(ResultCode::InvalidDnSyntax, "Invalid RDN: " + newRdn);
    Node* parent = node->parent;
    std::string parentDn = ParentDn(node->entry.Dn());
    if (!newSuperior.empty()) {
        parent = FindNode(newSuperior);
        if (!parent) return Error(ResultCode::NoSuchObject, "No such object: " + newSuperior);
        if (parent->key.empty())
            return Error(ResultCode::UnwillingToPerform, "Nothing can be moved below the rootDSE");
        parentDn = parent->entry.Dn();
        for (Node* up = parent; up; up = up->parent)
            if (up == node)
                return Error(ResultCode::UnwillingToPerform, "Cannot move an entry below itself");
    }
    std::string newDn = JoinDn(rdns.front(), parentDn);
    // The new names of the whole subtree must be free: an entry loaded before its parents can
    // hold the new name of a descendant without being part of the subtree.
    std::vector<std::pair<Node*, std::string>> renamed;
    Renamed(node, newDn, renamed);
    std::vector<Node*> moving;
    for (const auto& r : renamed)
        moving.push_back(r.first);
    std::sort(moving.begin(), moving.end());
    for (const auto& r : renamed) {
        auto it = nodes_.find(NormalizeDn(r.second));
        if (it != nodes_.end() &&
            !std::binary_search(moving.begin(), moving.end(), it->second.get()))
            return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + r.second);
    }
    Entry entry = node->entry.ToEntry(types_);
    if (record && parent != node->parent) {
        Status status = CheckSuperior(entry.dn, StructuralClass(entry), parent);
        if (!status.ok()) return status;
    }
    if (record) {
        Status status =
            journal_.Record(FormatLdifModRdn(entry.dn, newRdn, deleteOldRdn, newSuperior));
        if (!status.ok()) return status;
    }
    std::string oldRdn = FirstRdn(entry.dn);
    Index(node, false);
    if (deleteOldRdn) {
        if (Attribute* a = FindAttribute(entry, RdnType(oldRdn))) {
            auto it = std::find_if(a->values.begin(), a->values.end(), [&](const std::string& v) {
                return schema_.SameValue(a->type, v, RdnValue(oldRdn));
            });
            if (it != a->values.end()) a->values.erase(it);
        }
    }
    Attribute* naming = FindAttribute(entry, RdnType(rdns.front()));
    if (!naming) {
        entry.attributes.push_back({RdnType(rdns.front()), {}});
        naming = &entry.attributes.back();
    }
    if (!HasValue(schema_, *naming, RdnValue(rdns.front())))
        naming->values.push_back(RdnValue(rdns.front()));
    if (naming->values.empty()) naming->values.push_back(RdnValue(rdns.front()));
    node->entry.Release(arena_);
    node->entry = StoredEntry(entry, types_, arena_);
    Index(node, true);

    if (parent != node->parent) {
        std::vector<Node*>& siblings = node->parent ? node->parent->children : tops_;
        siblings.erase(std::find(siblings.begin(), siblings.end(), node));
        (parent ? parent->children : tops_).push_back(node);
        node->parent = parent;
    }
    std::string oldDn = entry.dn;
    Rekey(renamed);
    UpdateReferences(oldDn, newDn);
    ++changes_;
    Compact();
    return Status::Ok();
}

void MemoryStore::Compact() {
    if (!arena_.WorthCompacting()) return;
    EntryArena fresh;
    for (auto& [key, node] : nodes_)
        node->entry.MoveTo(fresh);
    arena_ = std::move(fresh);
}

Status MemoryStore::CheckSuperior(std::string_view dn, std::string_view structuralClass,
                                  const Node* parent) const {
    if (!parent || structuralClass.empty()) return Status::Ok();
    std::vector<std::string> allowed = schema_.PossibleSuperiors(structuralClass);
    if (allowed.empty()) return Status::Ok(); // the schema says nothing of this class
    if (auto parentClasses = parent->entry.Find(types_, "objectClass"))
        for (std::string_view c : *parentClasses)
            if (std::find(allowed.begin(), allowed.end(), FoldCase(c)) != allowed.end())
                return Status::Ok();
    return Error(ResultCode::NamingViolation,
                 "The object cannot be added because the parent is not on the list of possible "
                 "superiors: " +
                     std::string(dn));
}

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

void MemoryStore::UpdateReferences(const std::string& oldDn, const std::string& newDn) {
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
    for (auto& [key, owned] : nodes_) {
        // Most entries name nothing that moved: they are only read. (An attribute without
        // values is dropped below as well.)
        bool touched = false;
        for (StoredEntry::Attribute a : owned->entry.AllAttributes()) {
            if (!schema_.IsDn(types_.Name(a.type))) continue;
            touched =
                a.values.empty() || std::any_of(a.values.begin(), a.values.end(),
                                                [&](std::string_view v) { return names(v, rdns); });
            if (touched) break;
        }
        if (!touched) continue;
        Entry entry = owned->entry.ToEntry(types_);
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
        owned->entry.Release(arena_);
        owned->entry = StoredEntry(entry, types_, arena_);
        if (crossRef) schema_.Learn(entry);
    }
}

} // namespace kestrune::store
