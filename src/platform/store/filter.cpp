#include "platform/store/filter.h"

#include "base/ascii.h"
#include "platform/store/attribute_syntax.h"
#include "platform/store/dn.h"

#include <algorithm>
#include <charconv>

namespace kestrune::store {

std::string EscapeFilterValue(std::string_view value) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (char c : value) {
        if (c == '*' || c == '(' || c == ')' || c == '\\' || c == '\0') {
            out += '\\';
            out += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += hex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

bool IsBinaryAttribute(std::string_view type) {
    std::optional<AttributeSyntax> syntax = StandardSyntax(type);
    return syntax && IsBinary(*syntax);
}

class FilterParser {
  public:
    FilterParser(std::string_view text, const Filter::SyntaxLookup& syntaxOf)
        : text_(text), syntaxOf_(syntaxOf) {}

    Status Parse(std::unique_ptr<Filter>& out) {
        size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
        // A bare "attr=value" without parentheses is accepted, as LDAP tools do.
        if (pos_ < text_.size() && text_[pos_] != '(') {
            pos_ = start;
            out = ParseItem(text_.size());
        } else {
            out = ParseFilter();
        }
        while (ok_ && pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
        if (ok_ && pos_ != text_.size()) Fail("unexpected text after the filter");
        if (!ok_) {
            out.reset();
            return {ResultCode::FilterError, "Bad search filter at position " +
                                                 std::to_string(errorAt_ + 1) + ": " + error_ +
                                                 " in \"" + std::string(text_) + "\""};
        }
        return Status::Ok();
    }

  private:
    void Fail(const std::string& why) {
        if (!ok_) return;
        ok_ = false;
        error_ = why;
        errorAt_ = pos_;
    }

    std::unique_ptr<Filter> ParseFilter() {
        if (pos_ >= text_.size() || text_[pos_] != '(') {
            Fail("expected \"(\"");
            return nullptr;
        }
        // Parsing, matching and freeing all recurse: a bound on the nesting keeps any filter
        // text from exhausting the stack.
        if (depth_ == kMaxFilterDepth) {
            Fail("filters nested more than " + std::to_string(kMaxFilterDepth) + " deep");
            return nullptr;
        }
        ++depth_;
        std::unique_ptr<Filter> f = ParseNested();
        --depth_;
        return f;
    }

    std::unique_ptr<Filter> ParseNested() {
        ++pos_;
        std::unique_ptr<Filter> f;
        char c = pos_ < text_.size() ? text_[pos_] : '\0';
        if (c == '&' || c == '|' || c == '!') {
            ++pos_;
            f = std::make_unique<Filter>();
            f->kind_ =
                c == '&' ? Filter::Kind::And : (c == '|' ? Filter::Kind::Or : Filter::Kind::Not);
            while (ok_ && pos_ < text_.size() && text_[pos_] == '(')
                f->children_.push_back(ParseFilter());
            if (f->kind_ == Filter::Kind::Not && f->children_.size() != 1)
                Fail("\"!\" takes exactly one filter");
        } else {
            size_t close = FindClose();
            f = ParseItem(close);
        }
        if (ok_ && (pos_ >= text_.size() || text_[pos_] != ')')) Fail("expected \")\"");
        ++pos_;
        return ok_ ? std::move(f) : nullptr;
    }

    size_t FindClose() const {
        size_t i = pos_;
        while (i < text_.size() && text_[i] != ')' && text_[i] != '(')
            ++i;
        return i;
    }

    bool Unescape(std::string_view raw, std::string& out) {
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                out += raw[i];
                continue;
            }
            if (i + 2 >= raw.size()) return false;
            auto hex = [](char h) -> int {
                if (h >= '0' && h <= '9') return h - '0';
                if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                return -1;
            };
            int hi = hex(raw[i + 1]), lo = hex(raw[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        return true;
    }

    std::unique_ptr<Filter> ParseItem(size_t end) {
        std::string_view item = text_.substr(pos_, end - pos_);
        size_t eq = item.find('=');
        if (eq == std::string_view::npos || eq == 0) {
            Fail("expected attribute=value");
            return nullptr;
        }
        auto f = std::make_unique<Filter>();
        std::string_view type = item.substr(0, eq);
        f->kind_ = Filter::Kind::Equal;
        char op = type.back();
        if (op == '>' || op == '<' || op == '~') {
            type.remove_suffix(1);
            // "~=" (approximate) is equality, as Active Directory documents it.
            f->kind_ = op == '>' ? Filter::Kind::GreaterOrEqual
                                 : (op == '<' ? Filter::Kind::LessOrEqual : Filter::Kind::Equal);
        }
        while (!type.empty() && type.back() == ' ')
            type.remove_suffix(1);
        while (!type.empty() && type.front() == ' ')
            type.remove_prefix(1);
        // An extensible match: attr:rule:=value; only the bitwise rules are known.
        if (op == ':') {
            type.remove_suffix(1);
            size_t colon = type.find(':');
            std::string_view rule =
                colon == std::string_view::npos ? std::string_view() : type.substr(colon + 1);
            type = type.substr(0, colon);
            if (rule == "1.2.840.113556.1.4.803") {
                f->kind_ = Filter::Kind::AllBits;
            } else if (rule == "1.2.840.113556.1.4.804") {
                f->kind_ = Filter::Kind::AnyBit;
            } else {
                Fail("the matching rule \"" + std::string(rule) + "\" is not supported");
                return nullptr;
            }
        }
        if (type.empty() || type.find_first_of(" *\\:") != std::string_view::npos) {
            Fail("bad attribute name");
            return nullptr;
        }
        f->type_ = std::string(type);
        f->syntax_ =
            syntaxOf_ ? syntaxOf_(type) : StandardSyntax(type).value_or(AttributeSyntax::String);
        bool binary = IsBinary(f->syntax_);
        std::string_view raw = item.substr(eq + 1);
        auto fold = [&](std::string v) { return binary ? v : FoldCase(v); };
        if (f->kind_ == Filter::Kind::Equal && raw == "*") {
            f->kind_ = Filter::Kind::Present;
        } else if (f->kind_ == Filter::Kind::Equal && raw.find('*') != std::string_view::npos) {
            f->kind_ = Filter::Kind::Substrings;
            size_t start = 0;
            for (;;) {
                size_t star = raw.find('*', start);
                std::string piece;
                std::string_view part =
                    raw.substr(start, star == std::string_view::npos ? raw.npos : star - start);
                if (!Unescape(part, piece)) {
                    Fail("bad escape in value");
                    return nullptr;
                }
                f->pieces_.push_back(fold(piece));
                if (star == std::string_view::npos) break;
                start = star + 1;
            }
        } else {
            if (!Unescape(raw, f->assertion_)) {
                Fail("bad escape in value");
                return nullptr;
            }
            f->Prepare();
            bool bitwise = f->kind_ == Filter::Kind::AllBits || f->kind_ == Filter::Kind::AnyBit;
            if (bitwise && !f->isNumber_) {
                Fail("a bitwise match needs an integer");
                return nullptr;
            }
        }
        pos_ = end;
        return f;
    }

    std::string_view text_;
    const Filter::SyntaxLookup& syntaxOf_;
    size_t pos_ = 0;
    size_t depth_ = 0;
    bool ok_ = true;
    std::string error_;
    size_t errorAt_ = 0;
};

namespace {

bool ParseInteger(std::string_view text, int64_t& out) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

bool IsNumeric(AttributeSyntax syntax) {
    return syntax == AttributeSyntax::Integer || syntax == AttributeSyntax::LargeInteger;
}

} // namespace

Status Filter::Parse(std::string_view text, std::unique_ptr<Filter>& out,
                     const SyntaxLookup& syntaxOf) {
    return FilterParser(text, syntaxOf).Parse(out);
}

void Filter::Prepare() {
    isNumber_ = ParseInteger(assertion_, number_);
    if (IsBinary(syntax_)) {
        value_ = assertion_;
    } else if (syntax_ == AttributeSyntax::DistinguishedName) {
        value_ = NormalizeDn(assertion_);
        if (value_.empty()) value_ = FoldCase(assertion_); // not a DN: matches no DN value
    } else {
        value_ = FoldCase(assertion_);
    }
}

void Filter::MapValues(const ValueMapper& mapper) {
    if (kind_ == Kind::Equal && !IsBinary(syntax_)) {
        assertion_ = mapper(type_, assertion_);
        Prepare();
    }
    for (auto& child : children_)
        child->MapValues(mapper);
}

std::optional<std::vector<IndexTerm>>
Filter::IndexTerms(const std::function<bool(std::string_view)>& indexed) const {
    switch (kind_) {
    case Kind::Equal:
        if (indexed(type_)) return std::vector<IndexTerm>{{type_, value_, false}};
        return std::nullopt;
    case Kind::Substrings:
        if (indexed(type_) && !pieces_.front().empty())
            return std::vector<IndexTerm>{{type_, pieces_.front(), true}};
        return std::nullopt;
    case Kind::And:
        for (const auto& child : children_)
            if (auto terms = child->IndexTerms(indexed)) return terms;
        return std::nullopt;
    case Kind::Or: {
        std::vector<IndexTerm> all;
        for (const auto& child : children_) {
            auto terms = child->IndexTerms(indexed);
            if (!terms) return std::nullopt;
            all.insert(all.end(), terms->begin(), terms->end());
        }
        return all;
    }
    default:
        return std::nullopt;
    }
}

bool Filter::MatchesValue(std::string_view raw) const {
    if (kind_ == Kind::AllBits || kind_ == Kind::AnyBit) {
        int64_t v = 0;
        if (!ParseInteger(raw, v)) return false;
        uint64_t bits = static_cast<uint64_t>(v) & static_cast<uint64_t>(number_);
        return kind_ == Kind::AllBits ? bits == static_cast<uint64_t>(number_) : bits != 0;
    }
    if (IsNumeric(syntax_) && kind_ != Kind::Substrings) {
        int64_t v = 0;
        if (!isNumber_ || !ParseInteger(raw, v)) return false;
        return kind_ == Kind::Equal ? v == number_
                                    : (kind_ == Kind::GreaterOrEqual ? v >= number_ : v <= number_);
    }
    if (IsBinary(syntax_) && kind_ == Kind::Equal) return raw == value_;
    std::string value = IsBinary(syntax_) ? std::string(raw) : FoldCase(raw);
    switch (kind_) {
    case Kind::Equal:
        // A DN value written another way (case, blanks, escapes) names the same object.
        return value == value_ ||
               (syntax_ == AttributeSyntax::DistinguishedName && NormalizeDn(raw) == value_);
    case Kind::GreaterOrEqual:
        return value >= value_;
    case Kind::LessOrEqual:
        return value <= value_;
    case Kind::Substrings: {
        const std::string& initial = pieces_.front();
        const std::string& final = pieces_.back();
        if (value.size() < initial.size() || value.compare(0, initial.size(), initial) != 0)
            return false;
        size_t at = initial.size();
        for (size_t i = 1; i + 1 < pieces_.size(); ++i) {
            size_t found = value.find(pieces_[i], at);
            if (found == std::string::npos) return false;
            at = found + pieces_[i].size();
        }
        return value.size() >= at + final.size() &&
               value.compare(value.size() - final.size(), final.size(), final) == 0;
    }
    default:
        return false;
    }
}

namespace {

class EntrySubject : public FilterSubject {
  public:
    explicit EntrySubject(const Entry& entry) : entry_(entry) {}
    bool Has(std::string_view type) const override { return entry_.Find(type) != nullptr; }
    bool AnyValue(std::string_view type,
                  const std::function<bool(std::string_view)>& test) const override {
        const std::vector<std::string>* values = entry_.Find(type);
        return values && std::any_of(values->begin(), values->end(), test);
    }

  private:
    const Entry& entry_;
};

} // namespace

bool Filter::Matches(const Entry& entry) const {
    return Matches(EntrySubject(entry));
}

bool Filter::Matches(const FilterSubject& entry) const {
    switch (kind_) {
    case Kind::And:
        return std::all_of(children_.begin(), children_.end(),
                           [&](const auto& c) { return c->Matches(entry); });
    case Kind::Or:
        return std::any_of(children_.begin(), children_.end(),
                           [&](const auto& c) { return c->Matches(entry); });
    case Kind::Not:
        return !children_.front()->Matches(entry);
    case Kind::Present:
        if (SameTextAscii(type_, "objectClass")) return true; // every entry has a class
        return entry.Has(type_);
    default:
        return entry.AnyValue(type_, [this](std::string_view v) { return MatchesValue(v); });
    }
}

} // namespace kestrune::store
