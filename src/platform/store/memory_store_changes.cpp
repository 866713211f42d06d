// The memory store's changes: each is checked against the entries and the schema, then applied.
#include "platform/store/memory_store.h"

#include "base/ascii.h"
#include "platform/store/dn.h"
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

// The last of the entry's classes, its most specific one; "" without classes.
std::string StructuralClass(const Entry& entry) {
    const auto* classes = entry.Find("objectClass");
    return classes && !classes->empty() ? classes->back() : std::string();
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
