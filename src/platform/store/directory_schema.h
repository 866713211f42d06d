// What a directory server knows of its schema and its naming contexts, learnt from the entries
// as they come and go: attribute syntaxes (attributeSchema), classes (classSchema, else Active
// Directory's standard ones), the naming-context heads (the rootDSE's contexts and the
// crossRefs' nCName) and the attribute values that name other objects.
#pragma once

#include "platform/store/attribute_syntax.h"
#include "platform/store/directory_store.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace kestrune::store {

// Whether the entry's objectClass holds cls (compared without regard to case).
bool HasClass(const Entry& entry, std::string_view cls);

class DirectorySchema {
  public:
    // An entry that took effect (added, or changed: its new form) and one that left (deleted,
    // or changed: its old form).
    void Learn(const Entry& entry);
    void Forget(const Entry& entry);

    AttributeSyntax SyntaxOf(std::string_view type) const { return syntaxes_.Of(type); }
    bool IsDn(std::string_view type) const {
        return SyntaxOf(type) == AttributeSyntax::DistinguishedName;
    }
    // Two values of the attribute equal as the directory compares them.
    bool SameValue(std::string_view type, const std::string& a, const std::string& b) const;

    // The classSchema entry of a class by lDAPDisplayName: the directory's own, else the
    // standard one; null when neither exists.
    const Entry* Class(std::string_view name) const;
    // The default object category of a class, or "".
    std::string DefaultCategory(std::string_view className) const;
    // The default security descriptor of a class as SDDL, or "".
    std::string DefaultSecurityDescriptor(std::string_view className) const;
    // The classes an object of the class may be placed under (possSuperiors and
    // systemPossSuperiors of the class and its superclasses, folded); empty when unknown.
    std::vector<std::string> PossibleSuperiors(std::string_view className) const;

    // Normalized DNs of the naming-context heads.
    bool IsContextHead(const std::string& key) const { return contextHeads_.count(key) > 0; }

  private:
    void UseSchemaContext(const std::string& schemaNc) const;

    AttributeSyntaxes syntaxes_;
    std::unordered_map<std::string, Entry> classes_;    // by folded lDAPDisplayName
    std::unordered_map<std::string, int> contextHeads_; // normalized DN -> times named
    mutable std::string standardFor_; // the schema context the standard classes were made for
    mutable std::unordered_map<std::string, Entry> standard_;
    std::string schemaNc_;
};

} // namespace kestrune::store
