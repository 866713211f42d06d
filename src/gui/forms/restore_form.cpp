#include "gui/forms/restore_form.h"

#include "gui/forms/status_form.h"

#include "backup/live_namespaces.h"
#include "backup/new_namespace_note.h"
#include "backup/propagation_note.h"
#include "backup/restore_preparation.h"
#include "directory/domain_sids.h"
#include "gui/forms/message_box.h"
#include "gui/forms/restore_place.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>

namespace kestrune {
namespace {

constexpr std::chrono::milliseconds kMessagePassInterval(5);

} // namespace

TfRestore::TfRestore(const Controls& controls, Context context)
    : CheckListBox1(controls.CheckListBox1), RestoreButton(controls.RestoreButton),
      CloseButton(controls.CloseButton), SelectAllButton(controls.SelectAllButton),
      DeselectAllButton(controls.DeselectAllButton), chkAnotherPlace(controls.chkAnotherPlace),
      pnlAnotherPlace(controls.pnlAnotherPlace), eRestoreInto(controls.eRestoreInto),
      eServerNames(controls.eServerNames), window(controls.window), FContext(std::move(context)) {
    pnlAnotherPlace->SetVisible(chkAnotherPlace->Checked());
}

void TfRestore::LoadLines(std::vector<AnsiString> lines) {
    std::vector<WideString> items;
    items.reserve(lines.size());
    for (const AnsiString& line : lines)
        items.push_back(AnsiToWide(line));
    FLines = std::move(lines);
    CheckListBox1->SetItems(items);
}

void TfRestore::SelectAllButtonClick() {
    CheckListBox1->SetAllChecked(true);
}

void TfRestore::DeselectAllButtonClick() {
    CheckListBox1->SetAllChecked(false);
}

void TfRestore::chkAnotherPlaceClick() {
    pnlAnotherPlace->SetVisible(chkAnotherPlace->Checked());
}

namespace {

// The check list as the run reads it: marks at the moment the run reaches them, over the
// items there were when the run started.
class CheckListSelection : public RestoreSelection {
  public:
    CheckListSelection(const CheckList& list, const std::vector<BackupRecord>& records)
        : list_(list), records_(std::span(records).first(std::min(
                           records.size(), static_cast<size_t>(std::max(list.Count(), 0))))) {}
    std::span<const BackupRecord> Records() const override { return records_; }
    // The list's lines do not change while it runs: its count is the records' (a Win32 list
    // answers each question by a message).
    bool Checked(int index) const override {
        return index >= 0 && static_cast<size_t>(index) < records_.size() && list_.Checked(index);
    }

  private:
    const CheckList& list_;
    const std::span<const BackupRecord> records_;
};

} // namespace

void TfRestore::RestoreButtonClick() {
    if (FRunning) return; // one run at a time
    RestoreDestination destination;
    if (chkAnotherPlace->Checked()) {
        Expected<RestoreDestination> fields =
            DestinationOfFields(eRestoreInto->Text(), eServerNames->Text());
        if (!fields) {
            ShowMessageBox(window, MessageKind::Error, "Kestrune", fields.error().text);
            return;
        }
        destination = std::move(*fields);
    }
    Run(destination);
}

void TfRestore::Run(const RestoreDestination& destination) {
    // The run reads the lines as they are now, each parsed once and moved to the destination;
    // the list keeps showing the file's own lines, the log says where each went.
    std::vector<BackupRecord> records = ParseBackupRecords(FLines);
    if (Expected<void> moved = Retarget(records, destination); !moved) {
        ShowMessageBox(window, MessageKind::Error, "Kestrune",
                       "Restore into: " + AnsiToUtf8(moved.error().text));
        return;
    }
    FRunning = true;
    CloseButton->SetCaption(u"Cancel");
    // The caption and the running state come back however the run ends.
    struct Idle {
        TfRestore* form;
        ~Idle() {
            form->CloseButton->SetCaption(u"Close");
            form->FRunning = false;
        }
    } idle{this};

    FCancelRequested = false;
    PlaceLogBeside();
    RestoreRun run(*FContext.dfs, *FContext.status, FCancelRequested);
    run.noSlashes = FContext.noSlashes();
    run.backupFile = FContext.backupFile();
    // Once a line, as a pass of the message loop keeps the Status window painted and lets a
    // Cancel click be seen; but not more often than every few milliseconds: a pass costs tens
    // of microseconds even when nothing waits, as much as a line restored into memory, and a
    // click or a repaint seen 5 ms later looks the same. The run hands the function to each
    // line by copy, so the time of the last pass is kept here, not in the copies.
    std::optional<std::chrono::steady_clock::time_point> lastPass;
    run.processMessages = [this, &lastPass] {
        const auto now = std::chrono::steady_clock::now();
        if (lastPass && now - *lastPass < kMessagePassInterval) return;
        window->ProcessMessages();
        lastPass = std::chrono::steady_clock::now();
    };
    // The links as they are tell which targets are there already, and which links a line
    // creates: a link that is there keeps its own properties.
    RestorePreparation preparation;
    preparation.input = run.backupFile;
    preparation.destination = destination;
    preparation.readDomainSids = ReadDomainSids;
    preparation.warn = [this](AnsiString warning) {
        warning[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(warning[0])));
        FContext.status->AddLine(warning, clYellow);
    };
    PreparedRestore prepared(*FContext.dfs, records, preparation);
    prepared.Equip(run);
    const RestoreRunResult result = run.Run(CheckListSelection(*CheckListBox1, records));
    if (FContext.writesIntoDirectory && FContext.writesIntoDirectory()) {
        const std::vector<AnsiString>& roots = result.changedNamespaces;
        CreatedNamespaces created;
        for (const RestoredLine& line : result.lines)
            if (line.outcome == RestoredLine::Outcome::Restored)
                created.Restored(*records[line.index].Parts(), line.createdNamespace);
        if (!roots.empty())
            FContext.status->AddLine(PropagationNote(roots, FContext.dfs), clYellow);
        // A namespace made in the directory alone is served by no server yet.
        for (const AnsiString& note : NewNamespaceNotes(created.All()))
            FContext.status->AddLine(note, clYellow);
    }
}

int LeftBeside(const ScreenRect& anchor, int width, const ScreenRect& room) {
    int x = anchor.Right();
    if (x + width > room.Right()) x = anchor.left - width;
    if (x < room.left)
        x = room.Right() - anchor.Right() > anchor.left - room.left ? room.Right() - width
                                                                    : room.left;
    return x;
}

void TfRestore::PlaceLogBeside() {
    FormWindow* log = FContext.status->window;
    const ScreenRect mine = window->Frame();
    const ScreenRect theirs = log->Frame();
    if (!theirs.Intersects(mine)) return;
    log->MoveTo(LeftBeside(mine, theirs.width, window->WorkArea()), mine.top);
}

void TfRestore::CloseButtonClick() {
    if (CloseButton->Caption() == u"Cancel") FCancelRequested = true;
    if (CloseButton->Caption() == u"Close") window->Close();
}

bool TfRestore::FormCloseQuery() {
    if (FRunning) {
        FCancelRequested = true;
        return false;
    }
    return true;
}

} // namespace kestrune
