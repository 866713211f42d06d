// Searches of the memory store: the candidates, the filter, and the pages handed out.
#include "platform/memory_store/memory_store.h"

#include "base/ascii.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <algorithm>

namespace kestrune::store {

namespace {

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
                node = store_->tree_.FindKey(keys_[next_ - first_]);
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
            return {ResultCode::SizeLimitExceeded, "Size limit exceeded"};
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

void MemoryStore::CollectSubtree(const Node* node, bool wholeForest,
                                 std::vector<const Node*>& out) const {
    out.push_back(node);
    for (const Node* child : node->children)
        if (wholeForest || !schema_.IsContextHead(child->key))
            CollectSubtree(child, wholeForest, out);
}

bool MemoryStore::IndexedCandidates(const Filter& filter, const Node* base, Scope scope,
                                    bool wholeForest, std::vector<const Node*>& out) const {
    if (scope == Scope::Base) return false; // one entry: nothing to gain
    auto terms = filter.IndexTerms(ValueIndex::Holds);
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
    if (!index_.Made()) {
        // The index is made by the first search that can use it.
        std::vector<Node*> all;
        all.reserve(tree_.Count());
        tree_.ForEach([&](Node& node) { all.push_back(&node); });
        index_.Make(all, types_);
    }
    std::vector<const Node*> found;
    for (const IndexTerm& term : *terms)
        index_.Find(term, [&](Node* node) {
            if (inScope(node)) found.push_back(node);
        });
    std::sort(found.begin(), found.end(),
              [](const Node* a, const Node* b) { return a->seq < b->seq; });
    found.erase(std::unique(found.begin(), found.end()), found.end());
    out = std::move(found);
    return true;
}

void MemoryStore::KeepCursorKeys() {
    for (Cursor* cursor : cursors_)
        cursor->KeepKeys();
}

void MemoryStore::OrphanCursors() {
    for (Cursor* cursor : cursors_)
        cursor->Orphan();
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
            return {ResultCode::InvalidDnSyntax, "Invalid DN syntax: " + request.base};
        return {ResultCode::NoSuchObject, "No such object: " + request.base};
    }
    bool rootDse = request.base.empty() && request.scope == Scope::Base;
    if (rootDse) {
        if (const Node* root = FindNode("")) candidates.push_back(root);
    } else if (!IndexedCandidates(*filter, base, request.scope, request.wholeForest, candidates)) {
        // From the empty base, every naming context is in view.
        bool whole = request.wholeForest || !base;
        if (!base && request.scope == Scope::OneLevel)
            candidates.assign(tree_.Tops().begin(), tree_.Tops().end());
        else if (!base)
            for (const Node* top : tree_.Tops())
                CollectSubtree(top, true, candidates);
        else if (request.scope == Scope::Base)
            candidates.push_back(base);
        else if (request.scope == Scope::OneLevel) {
            candidates.reserve(base->children.size());
            for (const Node* child : base->children)
                if (whole || !schema_.IsContextHead(child->key)) candidates.push_back(child);
        } else
            CollectSubtree(base, whole, candidates);
    }
    std::vector<const Node*> matched;
    matched.reserve(candidates.size());
    for (const Node* node : candidates)
        if (filter->Matches(StoredSubject(node->entry, types_))) matched.push_back(node);
    cursor = std::make_unique<Cursor>(*this, std::move(matched), request);
    return Status::Ok();
}

} // namespace kestrune::store
