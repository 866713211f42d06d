// Container enumeration, users' groups and groups' members.
#include "base/ascii.h"
#include "base/collation.h"
#include "directory/ole_error.h"
#include "directory/stop_event.h"
#include "directory/tntads.h"

#include <map>
#include <unordered_set>

namespace kestrune {
namespace {

WideString Text(adsi::HRESULT (adsi::IADs::*get)(std::u16string&), adsi::IADs& object) {
    std::u16string value;
    OleCheck((object.*get)(value));
    return value;
}

// Walks an enumerator one item at a time, as long as Next answers S_OK with an object.
template <typename Visit> void ForEachItem(adsi::IEnumVARIANT& items, Visit visit) {
    std::vector<adsi::Variant> fetched;
    while (items.Next(1, fetched) == adsi::S_OK && !fetched.empty()) {
        std::shared_ptr<adsi::IUnknown> item = fetched.front().AsInterface();
        fetched.clear();
        if (!item) throw EOleError("Interface not supported", adsi::E_NOINTERFACE);
        visit(*Supports<adsi::IADs>(*item));
    }
}

std::shared_ptr<adsi::IEnumVARIANT> MembersOf(adsi::IADsMembers& members) {
    std::shared_ptr<adsi::IEnumVARIANT> items;
    OleCheck(members.get__NewEnum(items));
    return items;
}

} // namespace

TStringList* TNTADS::EnumerateContainer(adsi::IADsContainer& container) {
    FEnumCount = 0;
    if (OnEnumStart) OnEnumStart(this);
    auto stop = [this] {
        if (OnEnumStop) OnEnumStop(this);
    };
    auto walk = [&] {
        // The list owns its records from the start, so none is lost when the walk fails.
        auto list = std::make_unique<TStringList>();
        list->SetOwnsObjects(true);
        FAborting = false;
        std::shared_ptr<adsi::IEnumVARIANT> children;
        OleCheck(container.get__NewEnum(children));
        std::vector<adsi::Variant> fetched;
        while (children->Next(1, fetched) == adsi::S_OK && !fetched.empty()) {
            ++FEnumCount;
            std::shared_ptr<adsi::IUnknown> item = fetched.front().AsInterface();
            fetched.clear();
            if (!item) throw EOleError("Interface not supported", adsi::E_NOINTERFACE);
            std::shared_ptr<adsi::IADs> child = Supports<adsi::IADs>(*item);
            if (!FEnumFilter.empty() && Text(&adsi::IADs::get_Class, *child) != FEnumFilter)
                continue;
            auto record = std::make_unique<tObjData>();
            record->ObjName = Text(&adsi::IADs::get_Name, *child);
            record->ObjClass = Text(&adsi::IADs::get_Class, *child);
            record->ObjGUID = Text(&adsi::IADs::get_GUID, *child);
            record->ObjPath = Text(&adsi::IADs::get_ADsPath, *child);
            record->ObjParent = Text(&adsi::IADs::get_Parent, *child);
            std::u16string schema;
            if (adsi::SUCCEEDED(child->get_Schema(schema))) record->ObjSchema = schema;
            record->ClassIndex = GetClassIndex(WideToAnsi(Text(&adsi::IADs::get_Class, *child)));
            AnsiString name = WideToAnsi(Text(&adsi::IADs::get_Name, *child));
            tObjData* obj = record.get();
            list->AddObject(name, record.release());
            if (OnEnum) OnEnum(this, obj, FEnumCount);
            if (FAborting) break;
        }
        return list;
    };
    return RunThenStop(walk, stop).release();
}

int32_t TNTADS::CountContainer(const AnsiString& path) {
    FObjectCatagory.clear();
    FSearchPath = AnsiToWide(path);
    FFilter.clear();
    TStringList rows;
    ExecuteSearch(rows);
    return rows.Count();
}

TStringList* TNTADS::EnumUser(const AnsiString& userPath) {
    std::shared_ptr<adsi::IADsUser> user;
    try {
        std::shared_ptr<adsi::IDispatch> object;
        VBOpenObject(userPath, object);
        adsi::QueryInterface(*object, user);
    } catch (const std::exception&) {
        // Not bindable, or not a user: an empty list.
    }
    auto list = std::make_unique<TStringList>();
    if (!user) return list.release();
    std::shared_ptr<adsi::IADsMembers> groups;
    OleCheck(user->Groups(groups));
    ForEachItem(*MembersOf(*groups), [&](adsi::IADs& group) {
        list->Add(WideToAnsi(Text(&adsi::IADs::get_ADsPath, group)));
    });
    return list.release();
}

TStringList* TNTADS::enumgroup(const AnsiString& groupPath) {
    auto list = std::make_unique<TStringList>();
    std::shared_ptr<adsi::IADsGroup> group;
    try {
        std::shared_ptr<adsi::IDispatch> object;
        VBOpenObject(groupPath, object);
        adsi::QueryInterface(*object, group);
    } catch (const std::exception&) {
        // Not bindable, or not a group: an empty list.
    }
    if (!group) return list.release();
    std::shared_ptr<adsi::IADsMembers> members;
    OleCheck(group->Members(members));
    ForEachItem(*MembersOf(*members), [&](adsi::IADs& member) {
        AnsiString cls = WideToAnsi(Text(&adsi::IADs::get_Class, member));
        for (char& c : cls)
            c = LowerAscii(c);
        list->Add("{" + cls + "}" + WideToAnsi(Text(&adsi::IADs::get_ADsPath, member)));
    });
    return list.release();
}

TStringList* TNTADS::GetAllusers(const AnsiString& groupPath) {
    // Users by collation key: sorted, and equal without regard to case kept once (the first).
    std::map<std::string, AnsiString> users;
    if (OnEnumStart) OnEnumStart(this);
    RunThenStop(
        [&] {
            std::unordered_set<std::string> visited; // collation keys: case ignored
            // Depth first: a group's subgroups are visited in member order, each only once.
            auto visit = [&](const AnsiString& group, auto& self) -> void {
                visited.insert(CollationKey(group));
                std::unique_ptr<TStringList> lines(enumgroup(group));
                std::vector<AnsiString> subgroups;
                for (int i = 0; i < lines->Count(); ++i) {
                    const AnsiString& line = (*lines)[i];
                    AnsiString path = line.substr(line.find('}') + 1);
                    if (line.find("{user}") != AnsiString::npos)
                        users.emplace(CollationKey(path), path);
                    else if (line.find("{group}") != AnsiString::npos)
                        subgroups.push_back(path);
                }
                lines.reset();
                for (const AnsiString& subgroup : subgroups)
                    if (!visited.count(CollationKey(subgroup))) self(subgroup, self);
            };
            visit(groupPath, visit);
            return true;
        },
        [this] {
            if (OnEnumStop) OnEnumStop(this);
        });
    auto result = std::make_unique<TStringList>();
    for (auto& [key, path] : users)
        result->Add(path);
    result->SetSorted(true); // already in order: a stable pass, no inserts
    return result.release();
}

} // namespace kestrune
