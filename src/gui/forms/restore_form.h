// TfRestore: the lines of a backup file as a check list, restored one after the other, where
// they came from or into another namespace and onto renamed servers.
#pragma once

#include "backup/restore_destination.h"
#include "backup/restore_run.h"
#include "gui/forms/controls.h"

#include <filesystem>
#include <functional>
#include <vector>

namespace kestrune {

class TfStatus;

class TfRestore {
  public:
    struct Controls {
        CheckList* CheckListBox1;
        Button* RestoreButton;
        Button* CloseButton;
        Button* SelectAllButton;
        Button* DeselectAllButton;
        // "Restore into another place", and the strip it shows with its two fields.
        CheckBox* chkAnotherPlace;
        Panel* pnlAnotherPlace;
        TextControl* eRestoreInto;
        TextControl* eServerNames;
        FormWindow* window;
    };
    // What the run takes from the other windows.
    struct Context {
        TOXLDFS* dfs;                                      // the main window's component
        std::function<bool()> noSlashes;                   // the main window's "No Slashes"
        std::function<std::filesystem::path()> backupFile; // the file that was loaded
        TfStatus* status;                                  // the status window
        // Whether restored links are written straight into the directory, where namespace
        // servers find them only at their next poll; unset: they are not.
        std::function<bool()> writesIntoDirectory = nullptr;
    };

    TfRestore(const Controls& controls, Context context);

    CheckList* const CheckListBox1;
    Button* const RestoreButton;
    Button* const CloseButton;
    Button* const SelectAllButton;
    Button* const DeselectAllButton;
    CheckBox* const chkAnotherPlace;
    Panel* const pnlAnotherPlace;
    TextControl* const eRestoreInto;
    TextControl* const eServerNames;
    FormWindow* const window;

    // Replaces the items with the lines, unchecked; the bytes of each line are kept as read.
    void LoadLines(std::vector<AnsiString> lines);
    const std::vector<AnsiString>& Lines() const { return FLines; }

    void SelectAllButtonClick();
    void DeselectAllButtonClick();
    // Shows the fields of another place while the box is checked; unchecked, they are not used.
    void chkAnotherPlaceClick();
    // Restores the checked lines. With another place, fields that do not say one are refused
    // in the error box, and nothing runs.
    void RestoreButtonClick();
    void CloseButtonClick();
    // Asked before the window closes (Esc, the frame): during a run it asks the run to stop
    // and keeps the window.
    bool FormCloseQuery();
    void ShowModal() { window->ShowModal(); }

    bool Running() const { return FRunning; }

  private:
    // Restores the file's lines, moved to the destination (empty: where they came from).
    void Run(const RestoreDestination& destination);
    // Moves the status window out from under this one, so the progress stays in sight.
    void PlaceLogBeside();

    Context FContext;
    std::vector<AnsiString> FLines;
    bool FCancelRequested = false;
    bool FRunning = false;
};

// Where a window of size `size` goes beside `anchor` within `room`: right of it, else left of
// it; on a small screen as far aside as it goes, so that at least part of it shows.
int LeftBeside(const ScreenRect& anchor, int width, const ScreenRect& room);

} // namespace kestrune
