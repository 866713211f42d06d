// The change-record appender: after any sequence of changes, loading the file again gives
// exactly what the store held. One change per input line, fields split at tabs:
//   a DN TYPE VALUE [TYPE VALUE...]      add
//   m DN OP TYPE [VALUE...]             modify, OP one of + - =
//   d DN                                 delete
//   r DN NEWRDN 0|1 [NEWSUPERIOR]        rename
#include "base/file_io.h"
#include "fuzz_input.h"
#include "platform/memory_store/memory_store.h"

#include <algorithm>

using namespace kestrune;
using namespace kestrune::store;

namespace {

const char* kBase = R"(dn:
objectClass: top
defaultNamingContext: DC=x

dn: DC=x
objectClass: domainDNS

dn: OU=a,DC=x
objectClass: organizationalUnit

dn: CN=u,OU=a,DC=x
objectClass: user
description: a user
)";

// Every entry with its attributes, in DN order, as text to compare.
std::string Dump(DirectoryStore& store) {
    std::vector<Entry> all, root;
    if (!SearchAll(store, {"", Scope::Base, "(objectClass=*)", {}, 0}, root).ok() ||
        !SearchAll(store, {"", Scope::Subtree, "(objectClass=*)", {}, 0}, all).ok())
        fuzz::Broken("a store that loaded cannot be searched");
    all.insert(all.end(), root.begin(), root.end());
    std::vector<std::string> lines;
    for (const Entry& e : all) {
        std::string line = e.dn + "\x01";
        for (const Attribute& a : e.attributes) {
            line += a.type + "\x02";
            for (const std::string& v : a.values)
                line += v + "\x03";
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::filesystem::path file = fuzz::ScratchFolder() / "append.ldif";
    OrThrowFileError(WriteWholeFile(file, kBase));
    std::string error;
    auto opened = MemoryStore::Open(file);
    error = opened ? std::string() : opened.error().text;
    std::unique_ptr<MemoryStore> store = opened ? std::move(*opened) : nullptr;
    if (!store) fuzz::Broken("the base does not load: " + error);
    fuzz::FuzzInput input(data, size);
    std::vector<std::string> f;
    for (int changes = 0; changes < 64 && input.NextLine(f); ++changes) {
        if (f.size() < 2) continue;
        const std::string& dn = f[1];
        if (f[0] == "a") {
            Entry entry{dn, {}};
            for (size_t i = 2; i + 1 < f.size(); i += 2)
                entry.attributes.push_back({f[i], {f[i + 1]}});
            static_cast<void>(store->Add(entry)); // refused or not, the file must agree
        } else if (f[0] == "m" && f.size() >= 4) {
            Modification m;
            m.op = f[2] == "+"
                       ? Modification::Op::Add
                       : (f[2] == "-" ? Modification::Op::Delete : Modification::Op::Replace);
            m.type = f[3];
            m.values.assign(f.begin() + 4, f.end());
            static_cast<void>(store->Modify(dn, {m}));
        } else if (f[0] == "d") {
            static_cast<void>(store->Delete(dn));
        } else if (f[0] == "r" && f.size() >= 4) {
            static_cast<void>(store->Rename(dn, f[2], f[3] == "1", f.size() > 4 ? f[4] : ""));
        }
    }
    auto opened2 = MemoryStore::Open(file);
    error = opened2 ? std::string() : opened2.error().text;
    std::unique_ptr<MemoryStore> reloaded = opened2 ? std::move(*opened2) : nullptr;
    if (!reloaded) fuzz::Broken("the changed file does not load: " + error);
    if (Dump(*store) != Dump(*reloaded))
        fuzz::Broken("the reloaded file holds other entries than the store did");
    return 0;
}
