// A NetDfsApi that plays back prepared answers and records the calls it gets.
#pragma once

#include "base/win_errors.h"
#include "netdfs/netdfs.h"
#include "netdfs/netdfs_buffer.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrune::testing {

struct ScriptedAnswer {
    DfsStatus status;                    // with the backend's words, when it has some
    std::vector<std::u16string> roots;   // level 200
    std::vector<DfsEntryRecord> entries; // level 3 or 9
};

class ScriptedNetDfs : public NetDfsApi {
  public:
    struct EnumCall {
        std::u16string name;
        uint32_t level;
        uint32_t prefMaxLen;
        uint32_t resume;
    };
    struct AddCall {
        std::u16string entry, server, share, comment;
        uint32_t flags;
    };

    std::vector<ScriptedAnswer> answers; // one per NetDfsEnum call; afterwards 259
    DfsStatus addStatus;
    std::function<void()> onAdd; // may throw
    // What NetDfsGetInfo level 50 tells of every namespace; 0: the level is not supported.
    uint32_t namespaceMajorVersion = 0;
    bool changesLegacyNamespaces = true;
    std::vector<EnumCall> enumCalls;
    std::vector<AddCall> addCalls;

    DfsStatus Enum(const char16_t* name, uint32_t level, uint32_t prefMaxLen, uint8_t** buffer,
                   uint32_t* read, uint32_t* resume) override {
        enumCalls.push_back({name, level, prefMaxLen, *resume});
        size_t call = enumCalls.size() - 1;
        if (call >= answers.size()) return 259;
        const ScriptedAnswer& a = answers[call];
        if (!a.status.ok()) return a.status;
        if (level == 200) {
            *buffer = PackDfsInfo200(a.roots);
            *read = static_cast<uint32_t>(a.roots.size());
        } else {
            *buffer = level == 9 ? PackDfsInfo9(a.entries) : PackDfsInfo3(a.entries);
            *read = static_cast<uint32_t>(a.entries.size());
        }
        *resume += *read;
        return 0;
    }

    DfsStatus GetInfo(const char16_t*, const char16_t*, const char16_t*, uint32_t level,
                      uint8_t** buffer) override {
        if (level != 50 || namespaceMajorVersion == 0) return ERROR_NOT_SUPPORTED;
        *buffer = PackDfsInfo50({namespaceMajorVersion, 0, 0});
        return 0;
    }
    bool ChangesLegacyNamespaces() const override { return changesLegacyNamespaces; }

    DfsStatus Add(const char16_t* entry, const char16_t* server, const char16_t* share,
                  const char16_t* comment, uint32_t flags) override {
        addCalls.push_back({entry, server, share, comment, flags});
        if (onAdd) onAdd();
        return addStatus;
    }
};

} // namespace kestrune::testing
