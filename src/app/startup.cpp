// The start-up sequence, run once on the first tick of Timer1 after the window is shown.
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/session.h"
#include "app/sorted_list_box.h"
#include "base/ini_file.h"
#include "base/paths.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace kestrune {

void TForm1::Timer1Timer() {
    Timer1->stop();
    ePath->setText(ToQString(ReadIniString(SettingsFile(), "General", "Outputpath", "")));
    NTADS1.DetectDirectory();

    const std::vector<AnsiString>& arguments = CommandLineArguments();
    if (arguments.empty() && NTADS1.LastError() == 999) {
        ShowErrorMessage(this, "Error", "Active Directory is not available");
        BitBtn1->setEnabled(false);
        BitBtn3->setEnabled(false);
        // Ends the program without closing the window, so no settings are written.
        FTerminating = true;
        if (ExitStatus() == 0) SetExitStatus(1);
        QCoreApplication::exit(ExitStatus());
        return;
    }

    if (ePath->text().isEmpty()) ePath->setText(ToQString(FAppFolder));
    ePath->setText(ToQString(IncludeTrailingPathDelimiter(ToAnsi(ePath->text()))));

    if (!arguments.empty()) {
        // Arguments come in the user's locale; the prefix and the folder keep every character.
        ePrefix->setText(QString::fromLocal8Bit(arguments[0]));
        ePath->setText(arguments.size() >= 2 ? QString::fromLocal8Bit(arguments[1]) : QString());
        cbDomains->setEditText(arguments.size() == 3
                                   ? QString::fromLocal8Bit(arguments[2])
                                   : ToQString(NTADS1.ToDotname(WideToAnsi(NTADS1.Domain()))));
    } else {
        std::unique_ptr<TStringList> domains(NTADS1.GetDomains("", false));
        for (int i = 0; i < domains->Count(); ++i)
            cbDomains->addItem(ToQString((*domains)[i]));
        // The combo box's own exact-entry search, which ignores case.
        int own =
            cbDomains->findText(QString::fromStdU16String(NTADS1.Domain()), Qt::MatchFixedString);
        cbDomains->setCurrentIndex(own);
        if (own < 0) cbDomains->setEditText(QString());
    }

    RefreshNamespaces();

    if (!arguments.empty()) {
        ListBox1->selectAll();
        BitBtn1Click();
    }
}

} // namespace kestrune
