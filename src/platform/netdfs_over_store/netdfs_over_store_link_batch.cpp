// The changes of one link made in one write: a link that a run's calls create is kept here, its
// further targets and properties set on it, and added to the directory with all of them at once.
#include "platform/netdfs_over_store/netdfs_over_store.h"

#include "base/win_errors.h"
#include "platform/netdfs_over_store/netapi_status.h"
#include "platform/store/dn.h"

#include <algorithm>

namespace kestrune {

using namespace dfs_store;
using store::Entry;
using store::Modification;

namespace {

// The modifications made on an entry that is not in the directory yet, as the directory would.
store::Status ApplyTo(Entry& entry, const std::vector<Modification>& changes) {
    for (const Modification& change : changes) {
        auto at = std::find_if(entry.attributes.begin(), entry.attributes.end(),
                               [&](const store::Attribute& a) {
                                   return store::FoldCase(a.type) == store::FoldCase(change.type);
                               });
        switch (change.op) {
        case Modification::Op::Replace:
            if (at != entry.attributes.end()) entry.attributes.erase(at);
            if (!change.values.empty()) entry.attributes.push_back({change.type, change.values});
            break;
        case Modification::Op::Add:
            if (at == entry.attributes.end()) {
                entry.attributes.push_back({change.type, change.values});
                break;
            }
            for (const std::string& value : change.values) {
                if (std::find(at->values.begin(), at->values.end(), value) != at->values.end())
                    return {store::ResultCode::AttributeOrValueExists,
                            change.type + ": value exists"};
                at->values.push_back(value);
            }
            break;
        case Modification::Op::Delete:
            if (at == entry.attributes.end())
                return {store::ResultCode::NoSuchAttribute, change.type + ": no such attribute"};
            for (const std::string& value : change.values) {
                auto found = std::find(at->values.begin(), at->values.end(), value);
                if (found == at->values.end())
                    return {store::ResultCode::NoSuchAttribute, change.type + ": no such value"};
                at->values.erase(found);
            }
            if (change.values.empty() || at->values.empty()) entry.attributes.erase(at);
            break;
        }
    }
    return store::Status::Ok();
}

} // namespace

DfsStatus StoreNetDfs::ChangeLink(const std::function<void()>& work) {
    // Outside a run nothing is kept to decide against; inside a batch, it is that batch's.
    if (!run_ || batch_) {
        work();
        return NERR_Success;
    }
    batch_.emplace();
    work();
    DfsStatus status = WriteStaged();
    LinkBatch batch = std::move(*batch_);
    batch_.reset();
    if (status == NERR_Success) status = batch.failure;
    if (status != NERR_Success && status != ERROR_RETRY && status.detail.empty())
        status.detail = batch.detail;
    return status;
}

bool StoreNetDfs::Stage(const std::string& namespaceDn, const std::string& linkPath,
                        const Entry& link) {
    if (!batch_ || batch_->staged) return false;
    batch_->staged = link;
    batch_->namespaceDn = namespaceDn;
    batch_->linkPath = linkPath;
    return true;
}

bool StoreNetDfs::IsStaged(const std::string& dn) const {
    return batch_ && batch_->staged && batch_->staged->dn == dn;
}

const Entry* StoreNetDfs::StagedLink(const std::string& namespaceDn,
                                     const std::string& linkPath) const {
    if (!batch_ || !batch_->staged || batch_->namespaceDn != namespaceDn ||
        store::FoldCase(batch_->linkPath) != store::FoldCase(linkPath))
        return nullptr;
    return &*batch_->staged;
}

store::Status StoreNetDfs::Write(const std::string& dn, const std::vector<Modification>& changes) {
    if (!IsStaged(dn)) return directory_->Modify(dn, changes);
    Entry changed = *batch_->staged;
    store::Status status = ApplyTo(changed, changes);
    if (status.ok()) batch_->staged = std::move(changed);
    return status;
}

void StoreNetDfs::KeepStagedInRun() {
    if (!batch_ || !batch_->staged) return;
    if (LinksByPath* links = KnownLinksOf(batch_->namespaceDn)) {
        links->Remove(batch_->linkPath);
        links->Put(LinkOfObject(*batch_->staged));
    }
}

void StoreNetDfs::FlushStaged() {
    if (!batch_ || !batch_->staged) return;
    if (DfsStatus status = WriteStaged(); status != NERR_Success && batch_->failure == NERR_Success)
        batch_->failure = status;
}

DfsStatus StoreNetDfs::WriteStaged() {
    if (!batch_ || !batch_->staged) return NERR_Success;
    Entry link = std::move(*batch_->staged);
    batch_->staged.reset();
    const std::string namespaceDn = batch_->namespaceDn;
    const std::string linkPath = batch_->linkPath;
    DfsStatus result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        // Where the store tells that another program changed it since the link was found
        // missing, that is checked again; a directory server refuses a second object of the
        // same name instead.
        CheckRun();
        LinksByPath* links = KnownLinksOf(namespaceDn);
        LinksByPath around;
        if (!links) {
            if (DfsStatus read = ReadAround(namespaceDn, linkPath, around); read != NERR_Success) {
                result = read;
                return store::Status::Ok();
            }
            if (around.Has(linkPath) || !around.Overlapping(linkPath).empty()) {
                result = ERROR_RETRY;
                return store::Status::Ok();
            }
        }
        store::Status added = directory_->Add(link);
        if (!added.ok()) {
            result = NetApiStatusOf(added);
            batch_->detail = added.message;
            if (added.code == store::ResultCode::EntryAlreadyExists) {
                // Another program made the link meanwhile: what it made is read for the calls
                // made again.
                result = ERROR_RETRY;
                if (links && ReadAround(namespaceDn, linkPath, *links) != NERR_Success)
                    Forget(namespaceDn);
            }
        }
        KeepRun();
        return store::Status::Ok();
    });
    if (!status.ok()) {
        batch_->detail = status.message;
        result = NetApiStatusOf(status);
    }
    // A link not made is not known as made; one another program made is known as read. One
    // made is kept by its path alone: the run's next lines are another link's, and a run of
    // many links would otherwise hold every target it wrote.
    if (LinksByPath* links = KnownLinksOf(namespaceDn)) {
        if (result == NERR_Success)
            links->KeepPathOnly(linkPath);
        else if (result != ERROR_RETRY)
            links->Remove(linkPath);
    }
    return result;
}

} // namespace kestrune
