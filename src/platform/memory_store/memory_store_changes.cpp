// The memory store's changes: a change made here is checked for what the file can hold, validated
// against the entries (and the schema), recorded in the journal, then applied; a record of the
// file is validated and applied.
#include "platform/memory_store/memory_store.h"

#include "base/ascii.h"
#include "base/security_descriptor.h"
#include "platform/store/dn.h"
#include "platform/store/guid.h"
#include "platform/store/value_ranges.h"

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

// The last of the entry's classes, its most specific one; "" without classes.
std::string StructuralClass(const Entry& entry) {
    const auto* classes = entry.Find("objectClass");
    return classes && !classes->empty() ? classes->back() : std::string();
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

// Whether the file can hold a change made here and read it back as it was made: its attribute
// types, and the type of an RDN it gives, spelled as LDAP spells them. (A record of the file
// was read back already, and is taken as it stands.)
Status CheckSpelling(const Entry& entry) {
    if (!entry.dn.empty() && !IsAttributeType(RdnType(FirstRdn(entry.dn))))
        return Error(ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + entry.dn);
    for (const Attribute& a : entry.attributes)
        if (!IsAttributeType(a.type)) return BadAttributeType(a.type);
    return Status::Ok();
}

Status CheckSpelling(const std::vector<Modification>& changes) {
    for (const Modification& m : changes)
        if (!IsAttributeType(m.type)) return BadAttributeType(m.type);
    return Status::Ok();
}

Status CheckRdnSpelling(const std::string& newRdn) {
    std::vector<std::string> rdns;
    if (SplitDn(newRdn, rdns) && rdns.size() == 1 && !IsAttributeType(RdnType(rdns.front())))
        return Error(ResultCode::InvalidDnSyntax, "Invalid RDN: " + newRdn);
    return Status::Ok();
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

} // namespace

// A change made here is checked for what the file can hold, then against the entries and the
// schema; it is recorded in the file, and takes effect only once it is recorded.
std::string MemoryStore::DomainSidAbove(const Node* node) const {
    for (; node; node = node->parent)
        if (auto sid = node->entry.Find(types_, "objectSid"); sid && !sid->empty())
            return SidString(sid->front());
    return {};
}

Status MemoryStore::Add(const Entry& entry) {
    return Exclusively([&] {
        NewEntry add;
        Status status = CheckSpelling(entry);
        if (status.ok())
            status = ValidateAdd(
                Entry(entry), [](const std::string&) { return RandomGuid(); }, add);
        if (status.ok())
            status = CheckSuperior(add.entry.dn, StructuralClass(add.entry), add.parent);
        if (status.ok()) status = CheckValueRanges(add.entry);
        if (status.ok()) status = journal_.Record(FormatLdifAdd(add.entry));
        if (status.ok()) ApplyAdd(std::move(add));
        return status;
    });
}

Status MemoryStore::Modify(const std::string& dn, const std::vector<Modification>& changes) {
    return Exclusively([&] {
        Modified change;
        Status status = CheckSpelling(changes);
        if (status.ok()) status = ValidateModify(dn, changes, change);
        if (status.ok()) status = CheckValueRanges(change.after);
        if (status.ok()) status = journal_.Record(FormatLdifModify(change.before.dn, changes));
        if (status.ok()) ApplyModify(std::move(change));
        return status;
    });
}

Status MemoryStore::Delete(const std::string& dn) {
    return Exclusively([&] {
        Node* node = nullptr;
        Status status = ValidateDelete(dn, node);
        if (status.ok()) status = journal_.Record(FormatLdifDelete(std::string(node->entry.Dn())));
        if (status.ok()) ApplyDelete(node);
        return status;
    });
}

Status MemoryStore::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                           const std::string& newSuperior) {
    return Exclusively([&] {
        Moved move;
        Status status = CheckRdnSpelling(newRdn);
        if (status.ok()) status = ValidateRename(dn, newRdn, deleteOldRdn, newSuperior, move);
        if (status.ok() && move.parent != move.node->parent)
            status = CheckSuperior(move.entry.dn, StructuralClass(move.entry), move.parent);
        if (status.ok())
            status =
                journal_.Record(FormatLdifModRdn(move.entry.dn, newRdn, deleteOldRdn, newSuperior));
        if (status.ok()) ApplyRename(std::move(move));
        return status;
    });
}

// A record of the file (or of text loaded) is taken as the change was made: it was checked for
// what the file holds and against the schema then, so only what the entries must allow now is
// checked before it is applied. An entry it adds without a GUID gets one derived from its name,
// the same on every load.
Status MemoryStore::Replay(LdifRecord& r) {
    switch (r.kind) {
    case LdifRecord::Kind::Content:
    case LdifRecord::Kind::Add: {
        if (r.original) {
            Status implied = ImplyParents(r.entry.dn);
            if (!implied.ok()) return implied;
        }
        NewEntry add;
        Status status = ValidateAdd(std::move(r.entry), NameGuid, add, r.original);
        if (status.ok()) ApplyAdd(std::move(add));
        return status;
    }
    case LdifRecord::Kind::Delete: {
        Node* node = nullptr;
        Status status = ValidateDelete(r.entry.dn, node);
        if (status.ok()) ApplyDelete(node);
        return status;
    }
    case LdifRecord::Kind::Modify: {
        Modified change;
        Status status = ValidateModify(r.entry.dn, r.changes, change);
        if (status.ok()) ApplyModify(std::move(change));
        return status;
    }
    case LdifRecord::Kind::ModRdn: {
        Moved move;
        Status status = ValidateRename(r.entry.dn, r.newRdn, r.deleteOldRdn, r.newSuperior, move);
        if (status.ok()) ApplyRename(std::move(move));
        return status;
    }
    }
    return Status::Ok();
}

Status MemoryStore::ValidateAdd(Entry&& entry, GuidFor guid, NewEntry& out,
                                bool mayReplaceImplied) const {
    bool isRoot = entry.dn.empty();
    std::string key;
    Node* parent = nullptr;
    std::string parentDn;
    size_t comma = std::string::npos;
    if (!isRoot) {
        comma = FirstRdnEnd(entry.dn);
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
    Node* implied = nullptr;
    if (Node* holder = tree_.FindKey(key)) {
        if (!mayReplaceImplied || !holder->implied)
            return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + entry.dn);
        implied = holder;
    }
    // A missing parent is allowed only for the head of a new naming context, that is when no
    // ancestor at all is in the store.
    if (!isRoot && !parent) {
        for (std::string up = parentDn; !up.empty(); up = ParentDn(up))
            if (FindNode(up)) return Error(ResultCode::NoSuchObject, "No such object: " + parentDn);
    }
    MergeAttributes(entry);
    // Every directory object has a GUID.
    if (!isRoot && !entry.Find("objectGUID"))
        entry.attributes.push_back({"objectGUID", {guid(key)}});
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
        // An object of a class with a default security descriptor holds it as its own, the
        // domain's groups (DA) resolved against the domain it lies in.
        // (The category pushed above may have moved the classes: they are looked up again.)
        classes = entry.Find("objectClass");
        if (classes && !classes->empty() && !entry.Find("nTSecurityDescriptor")) {
            std::string sddl = schema_.DefaultSecurityDescriptor(classes->back());
            if (!sddl.empty())
                if (Expected<std::string> sd =
                        SddlToSecurityDescriptor(sddl, {DomainSidAbove(parent), {}}))
                    entry.attributes.push_back({"nTSecurityDescriptor", {std::move(*sd)}});
        }
    }
    out.entry = std::move(entry);
    out.key = std::move(key);
    out.parentDn = std::move(parentDn);
    out.parent = parent;
    out.implied = implied;
    return Status::Ok();
}

void MemoryStore::ApplyAdd(NewEntry&& add) {
    lastParentDn_ = std::move(add.parentDn);
    lastParent_ = add.parent;
    if (Node* node = add.implied) {
        // The file's own record of an entry implied so far: it takes its place, under the
        // same parent and over the same children.
        index_.Remove(node, types_);
        schema_.Forget(node->entry.ToEntry(types_));
        tree_.Replace(*node, add.entry);
        node->implied = false;
        index_.Add(node, types_);
        schema_.Learn(add.entry);
        ++changes_;
        return;
    }
    Node* node = tree_.Insert(std::move(add.key), add.entry, add.parent);
    index_.Add(node, types_);
    schema_.Learn(add.entry);
    ++changes_;
}

Status MemoryStore::ValidateModify(const std::string& dn, const std::vector<Modification>& changes,
                                   Modified& out) const {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    Entry before = node->entry.ToEntry(types_);
    Entry after = before;
    for (const Modification& m : changes) {
        Status status = ApplyChange(schema_, after, m);
        if (!status.ok()) return status;
    }
    out = {node, std::move(before), std::move(after)};
    return Status::Ok();
}

void MemoryStore::ApplyModify(Modified&& change) {
    Node* node = change.node;
    index_.Remove(node, types_);
    schema_.Forget(change.before);
    tree_.Replace(*node, change.after);
    index_.Add(node, types_);
    schema_.Learn(change.after);
    ++changes_;
    tree_.Compact();
}

Status MemoryStore::ValidateDelete(const std::string& dn, Node*& out) const {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    if (node->key.empty())
        return Error(ResultCode::UnwillingToPerform, "The rootDSE cannot be deleted");
    if (!node->children.empty())
        return Error(ResultCode::NotAllowedOnNonLeaf, "Entry has children: " + dn);
    out = node;
    return Status::Ok();
}

void MemoryStore::ApplyDelete(Node* node) {
    lastParent_ = nullptr;
    index_.Remove(node, types_);
    schema_.Forget(node->entry.ToEntry(types_));
    std::string gone(node->entry.Dn());
    KeepCursorKeys();
    tree_.Remove(node);
    references_.Deleted(gone);
    ++changes_;
    tree_.Compact();
}

Status MemoryStore::ValidateRename(const std::string& dn, const std::string& newRdn,
                                   bool deleteOldRdn, const std::string& newSuperior,
                                   Moved& out) const {
    Node* node = FindNode(dn);
    if (!node) return Error(ResultCode::NoSuchObject, "No such object: " + dn);
    if (node->key.empty())
        return Error(ResultCode::UnwillingToPerform, "The rootDSE cannot be renamed or moved");
    std::vector<std::string> rdns;
    if (!SplitDn(newRdn, rdns) || rdns.size() != 1)
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
    std::vector<EntryTree::Renaming> renamed = tree_.Renamed(node, newDn);
    std::vector<Node*> moving;
    for (const auto& r : renamed)
        moving.push_back(r.first);
    std::sort(moving.begin(), moving.end());
    for (const auto& r : renamed) {
        Node* holder = tree_.FindKey(NormalizeDn(r.second));
        if (holder && !std::binary_search(moving.begin(), moving.end(), holder))
            return Error(ResultCode::EntryAlreadyExists, "Entry already exists: " + r.second);
    }
    out.node = node;
    out.parent = parent;
    out.entry = node->entry.ToEntry(types_);
    out.rdn = std::move(rdns.front());
    out.deleteOldRdn = deleteOldRdn;
    out.newDn = std::move(newDn);
    out.renamed = std::move(renamed);
    return Status::Ok();
}

void MemoryStore::ApplyRename(Moved&& move) {
    lastParent_ = nullptr;
    Node* node = move.node;
    Entry& entry = move.entry;
    const std::string& rdn = move.rdn;
    std::string oldRdn = FirstRdn(entry.dn);
    index_.Remove(node, types_);
    if (move.deleteOldRdn) {
        if (Attribute* a = FindAttribute(entry, RdnType(oldRdn))) {
            auto it = std::find_if(a->values.begin(), a->values.end(), [&](const std::string& v) {
                return schema_.SameValue(a->type, v, RdnValue(oldRdn));
            });
            if (it != a->values.end()) a->values.erase(it);
        }
    }
    Attribute* naming = FindAttribute(entry, RdnType(rdn));
    if (!naming) {
        entry.attributes.push_back({RdnType(rdn), {}});
        naming = &entry.attributes.back();
    }
    if (!HasValue(schema_, *naming, RdnValue(rdn))) naming->values.push_back(RdnValue(rdn));
    if (naming->values.empty()) naming->values.push_back(RdnValue(rdn));
    tree_.Replace(*node, entry);
    index_.Add(node, types_);

    tree_.Reparent(node, move.parent);
    KeepCursorKeys();
    tree_.Rekey(move.renamed);
    references_.Renamed(entry.dn, move.newDn);
    ++changes_;
    tree_.Compact();
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

} // namespace kestrune::store
