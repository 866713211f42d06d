#include "backup/properties_file.h"
#include "backup/properties_file_names.h"

#include "base/ansi_string.h"
#include "base/ascii.h"
#include "base/security_descriptor.h"

#include <algorithm>
#include <charconv>

namespace kestrune {
namespace {

using namespace properties_names;

// Large enough that a namespace takes few blocks, small enough that the last one wastes little.
constexpr size_t kBlockBytes = size_t(1) << 20;

// Appends text escaped for an attribute value in double quotes.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* entity = c == '&'   ? "&amp;"
                             : c == '<' ? "&lt;"
                             : c == '>' ? "&gt;"
                             : c == '"' ? "&quot;"
                                        : nullptr;
        if (!entity && static_cast<unsigned char>(c) >= 0x20) continue;
        out.append(text, plain, i - plain);
        if (entity)
            out += entity;
        else
            out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        plain = i + 1;
    }
    out.append(text, plain);
}

void Attribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendEscaped(out, value);
    out += '"';
}

void Attribute(std::string& out, std::string_view name, uint32_t value) {
    char digits[10];
    auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    Attribute(out, name, std::string_view(digits, static_cast<size_t>(end - digits)));
}

void WriteEntry(std::string& out, const EntryProperties& e, bool isRoot) {
    out += isRoot ? "  <Namespace" : "  <Folder";
    Attribute(out, "Path", e.path);
    if (e.description) Attribute(out, "Description", *e.description);
    Attribute(out, "State", e.online ? "Online" : "Offline");
    Attribute(out, "TimeToLiveSec", e.timeToLiveSec);
    // A flag that is off, and a target's default priority, are left out: a reader takes a
    // missing value for the default.
    for (const FlagName& f : kFlags)
        if ((isRoot || !f.rootOnly) && (e.flags & f.flag)) Attribute(out, f.name, "true");
    if (!isRoot && !e.viewSddl.empty()) Attribute(out, "ViewPermissions", e.viewSddl);
    if (isRoot && !e.manageSddl.empty()) Attribute(out, "ManagementPermissions", e.manageSddl);
    out += ">\n";
    for (const TargetProperties& t : e.targets) {
        out += isRoot ? "    <RootTarget" : "    <FolderTarget";
        Attribute(out, "TargetPath", t.targetPath);
        Attribute(out, "State", t.online ? "Online" : "Offline");
        if (t.priorityClass != 0)
            Attribute(out, "ReferralPriorityClass", ReferralPriorityClassName(t.priorityClass));
        if (t.priorityRank != 0) Attribute(out, "ReferralPriorityRank", t.priorityRank);
        out += "/>\n";
    }
    out += isRoot ? "  </Namespace>\n" : "  </Folder>\n";
}

void AssignUtf8(std::string& out, const char16_t* text) {
    out.clear();
    if (text) AppendWideAsUtf8(out, text);
}

// A level 9 record into e, whose strings and targets are reused.
Expected<void> ReadRecord(const DFS_INFO_9& record, EntryProperties& e) {
    AssignUtf8(e.path, record.EntryPath);
    if (record.Comment) {
        if (!e.description) e.description.emplace();
        AssignUtf8(*e.description, record.Comment);
    } else {
        e.description.reset();
    }
    e.online = (record.State & DFS_VOLUME_STATES) != DFS_VOLUME_STATE_OFFLINE;
    e.timeToLiveSec = record.Timeout;
    e.flags = record.PropertyFlags & DFS_KNOWN_PROPERTY_FLAGS;
    e.viewSddl.clear();
    if (record.pSecurityDescriptor && record.SecurityDescriptorLength) {
        Expected<std::string> sddl = SecurityDescriptorToSddl(
            std::string_view(reinterpret_cast<const char*>(record.pSecurityDescriptor),
                             record.SecurityDescriptorLength));
        if (!sddl)
            return Error{sddl.error().code, "the view permissions of " + e.path +
                                                " cannot be written as SDDL: " + sddl.error().text};
        e.viewSddl = std::move(*sddl);
    }
    e.targets.resize(record.Storage ? record.NumberOfStorages : 0);
    for (size_t i = 0; i < e.targets.size(); ++i) {
        const DFS_STORAGE_INFO_1& s = record.Storage[i];
        TargetProperties& t = e.targets[i];
        t.targetPath.assign("\\\\");
        if (s.ServerName) AppendWideAsUtf8(t.targetPath, s.ServerName);
        t.targetPath += '\\';
        if (s.ShareName) AppendWideAsUtf8(t.targetPath, s.ShareName);
        t.online = s.State != DFS_STORAGE_STATE_OFFLINE;
        t.priorityClass = static_cast<uint32_t>(s.TargetPriority.TargetPriorityClass);
        t.priorityRank = s.TargetPriority.TargetPriorityRank;
    }
    return {};
}

} // namespace

Expected<EntryProperties> EntryPropertiesOf(const DFS_INFO_9& record) {
    EntryProperties e;
    if (Expected<void> read = ReadRecord(record, e); !read) return read.error();
    return e;
}

PropertiesFileBuilder::PropertiesFileBuilder(const std::filesystem::path& spillBeside) {
    if (!spillBeside.empty()) spill_ = std::make_unique<SpillFile>(spillBeside);
}

Expected<void> PropertiesFileBuilder::Add(const DFS_INFO_9& record) {
    if (Expected<void> read = ReadRecord(record, scratch_); !read) return read;
    Add(scratch_);
    return {};
}

void PropertiesFileBuilder::Add(const EntryProperties& entry) {
    if (!HasRoot()) {
        if (management_.empty()) {
            WriteEntry(root_, entry, true);
        } else {
            EntryProperties root = entry;
            root.manageSddl = management_;
            WriteEntry(root_, root, true);
        }
        return;
    }
    element_.clear();
    WriteEntry(element_, entry, false);
    Keep(entry.path);
}

void PropertiesFileBuilder::Keep(std::string_view path) {
    if (blocks_.empty() || blocks_.back().size + element_.size() > blocks_.back().text.capacity()) {
        if (!blocks_.empty() && spill_) {
            Block& full = blocks_.back();
            const uint64_t at = spill_->Size();
            if (spill_->Append(full.text)) {
                full.spilledAt = at;
                full.spilled = true;
                std::string().swap(full.text);
            }
        }
        blocks_.emplace_back().text.reserve(std::max(kBlockBytes, element_.size()));
    }
    Block& block = blocks_.back();
    links_.push_back({keys_.size(), block.size, static_cast<uint32_t>(path.size()),
                      static_cast<uint32_t>(element_.size()),
                      static_cast<uint32_t>(blocks_.size() - 1)});
    block.text += element_;
    block.size += element_.size();
    const size_t keyAt = keys_.size();
    keys_ += path;
    for (size_t i = keyAt; i < keys_.size(); ++i)
        keys_[i] = LowerAscii(keys_[i]);
}

std::vector<std::string_view> PropertiesFileBuilder::Pieces(std::string_view backupFileSha256) {
    const std::string_view spilled = spill_ ? spill_->Contents() : std::string_view();
    std::vector<std::string_view> blocks;
    blocks.reserve(blocks_.size());
    for (const Block& block : blocks_)
        blocks.push_back(block.spilled ? spilled.substr(block.spilledAt, block.size)
                                       : std::string_view(block.text));
    std::string_view keys = keys_;
    std::stable_sort(links_.begin(), links_.end(), [keys](const Slot& x, const Slot& y) {
        return keys.substr(x.keyAt, x.keySize) < keys.substr(y.keyAt, y.keySize);
    });
    head_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DfsnProperties";
    Attribute(head_, "FormatVersion", NamespaceProperties::kFormatVersion);
    Attribute(head_, "BackupFileSha256", backupFileSha256);
    head_ += ">\n";
    std::vector<std::string_view> pieces;
    pieces.reserve(links_.size() + 3);
    pieces.push_back(head_);
    pieces.push_back(root_);
    for (const Slot& link : links_)
        pieces.push_back(blocks[link.block].substr(link.at, link.size));
    pieces.push_back("</DfsnProperties>\n");
    return pieces;
}

std::string FormatPropertiesFile(const NamespaceProperties& properties) {
    PropertiesFileBuilder builder;
    builder.Add(properties.root);
    for (const EntryProperties& link : properties.links)
        builder.Add(link);
    std::string out;
    for (std::string_view piece : builder.Pieces(properties.backupFileSha256))
        out += piece;
    return out;
}

std::string_view ReferralPriorityClassName(uint32_t priorityClass) {
    return priorityClass < std::size(kPriorityClasses) ? kPriorityClasses[priorityClass]
                                                       : std::string_view("SiteCostNormal");
}

std::string_view PropertyFlagName(uint32_t flag) {
    for (const FlagName& f : kFlags)
        if (f.flag == flag) return f.name;
    return {};
}

} // namespace kestrune
