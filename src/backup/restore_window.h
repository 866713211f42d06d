// TfRestore: the lines of a backup file as a check list, restored one after the other.
#pragma once

#include "backup/restore_run.h"
#include "base/string_list.h"

#include <QDialog>
#include <filesystem>
#include <functional>
#include <vector>

class QFrame;
class QListWidget;
class QPushButton;

namespace kestrune {

class TfRestore : public QDialog {
  public:
    struct Context {
        TOXLDFS* dfs;                                      // the main window's component
        std::function<bool()> noSlashes;                   // the main window's "No Slashes"
        std::function<std::filesystem::path()> backupFile; // the file that was loaded
        RestoreLog* log;                                   // the status window
    };

    TfRestore(Context context, QWidget* parent = nullptr);

    QListWidget* CheckListBox1;
    QFrame* ButtonPanel;
    QPushButton* RestoreButton;
    QPushButton* CloseButton;
    QPushButton* SelectAllButton;
    QPushButton* DeselectAllButton;

    // Replaces the items with the lines, unchecked; the bytes of each line are kept as read.
    void LoadLines(const std::vector<AnsiString>& lines);

    void SelectAllButtonClick();
    void DeselectAllButtonClick();
    void RestoreButtonClick();
    void CloseButtonClick();

    bool Running() const { return FRunning; }

  protected:
    // Esc and the frame's close button during a run ask the run to stop; the window stays.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void SetAllChecks(bool checked);
    // Moves the status window out from under this one, so the progress stays in sight.
    void PlaceLogBeside();
    AnsiString LineOf(int index) const;

    Context FContext;
    bool FCancelRequested = false;
    bool FRunning = false;
};

} // namespace kestrune
