#include "gui/forms/status_form.h"

#include "base/file_io.h"
#include "base/time_stamp.h"

namespace kestrune {

TfStatus::TfStatus(const Controls& controls) : re1(controls.re1), window(controls.window) {}

void TfStatus::FormShow() {
    // One tab stop 100 points from the left edge, so messages line up after the time stamps.
    re1->SetTabStop(100.0);
}

void TfStatus::AddLine(const AnsiString& Msg, uint32_t Color) {
    const bool following = re1->Following();
    re1->AppendLine(StampOf(now()) + u'\t' + AnsiToWide(Msg), Color);
    if (following) re1->ScrollToEnd();
}

const WideString& TfStatus::StampOf(std::time_t moment) {
    if (FStampedAt != moment) {
        FStamp = LocalTimeStamp(moment);
        FStampedAt = moment;
    }
    return FStamp;
}

void TfStatus::ClearLines() {
    re1->Clear();
}

void TfStatus::ShowLog() {
    window->Show();
    window->BringToFront();
}

void TfStatus::SaveLinesToFile(const std::filesystem::path& file) {
    if (!FPlainText) {
        OrThrowFileError(ReplaceFileContents(file, re1->RichText()));
        return;
    }
    // Each line ends in CR LF, as a string list saves it. The room is made once: grown line by
    // line, a long log's text would be copied again at each doubling.
    const size_t count = re1->LineCount();
    size_t size = 0;
    for (size_t i = 0; i < count; ++i)
        size += re1->LineAt(i).size() + 2;
    AnsiString text;
    text.reserve(size);
    for (size_t i = 0; i < count; ++i) {
        text += WideToAnsi(re1->LineAt(i));
        text += "\r\n";
    }
    OrThrowFileError(ReplaceFileContents(file, text));
}

} // namespace kestrune
