// The start-up sequence, run once on the first tick of Timer1 after the window is shown.
#include "base/case_fold.h"
#include "base/ini_file.h"
#include "gui/forms/main_form.h"
#include "gui/forms/message_box.h"
#include "gui/forms/session.h"

namespace kestrune {
namespace {

// The combo box's own exact-entry search, which ignores case.
int FindExact(const ComboBox& box, const WideString& text) {
    const std::u16string wanted = FoldCase(text);
    for (int i = 0; i < box.Count(); ++i)
        if (FoldCase(box.Item(i)) == wanted) return i;
    return -1;
}

} // namespace

void TForm1::Timer1Timer() {
    Timer1->SetEnabled(false);
    std::string settingsProblem;
    if (!FSettingsFile.empty())
        ePath->SetText(AnsiToWide(
            ReadIniString(FSettingsFile, "General", "Outputpath", "", &settingsProblem)));
    if (!settingsProblem.empty())
        ShowMessageBox(window, MessageKind::Warning, "Kestrune",
                       AnsiToUtf8(settingsProblem) + " The settings it holds are not used.");
    NTADS1.DetectDirectory();

    if (FArguments.empty() && NTADS1.LastError() == 999) {
        ShowErrorMessage(window, "Error", "Active Directory is not available");
        BitBtn1->SetEnabled(false);
        BitBtn3->SetEnabled(false);
        // Ends the program without closing the window, so no settings are written.
        FTerminating = true;
        if (ExitStatus() == 0) SetExitStatus(1);
        window->Terminate(ExitStatus());
        return;
    }

    if (ePath->Text().empty()) ePath->SetText(AnsiToWide(FAppFolder));
    EndPathWithDelimiter();

    if (!FArguments.empty()) {
        ePrefix->SetText(FArguments[0]);
        ePath->SetText(FArguments.size() >= 2 ? FArguments[1] : WideString());
        cbDomains->SetText(FArguments.size() == 3
                               ? FArguments[2]
                               : AnsiToWide(NTADS1.ToDotname(WideToAnsi(NTADS1.Domain()))));
    } else {
        std::unique_ptr<TStringList> domains(NTADS1.GetDomains("", false));
        for (int i = 0; i < domains->Count(); ++i)
            cbDomains->AddItem(AnsiToWide((*domains)[i]));
        int own = FindExact(*cbDomains, NTADS1.Domain());
        cbDomains->SetItemIndex(own);
        if (own < 0) cbDomains->SetText(WideString());
    }

    RefreshNamespaces();

    if (!FArguments.empty()) {
        ListBox1->SelectAll();
        BitBtn1Click();
    }
}

} // namespace kestrune
