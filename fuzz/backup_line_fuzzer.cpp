// Backup lines: splitting any line as comma text and as a backup line, and the backup file
// format: every line the backup writes reads back as the fields it was written from.
// Input: a line to split; after a tab, path, share and comment to write (tab separated).
#include "backup/backup_file.h"
#include "backup/backup_line.h"
#include "base/file_io.h"
#include "fuzz_input.h"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    SplitCommaText(text);
    std::vector<AnsiString> fields = SplitBackupLine(text);
    for (const AnsiString& field : fields)
        SplitTargetField(field);

    fuzz::FuzzInput input(data, size);
    std::vector<std::string> f;
    if (!input.NextLine(f) || f.size() < 4) return 0;
    const std::string &path = f[1], &share = f[2], &comment = f[3];
    // What the format can carry: no quote in a path or share, nothing that ends a line.
    auto fits = [](const std::string& s, bool quotes) {
        return s.find_first_of(quotes ? std::string("\r\n\0", 3) : std::string("\"\r\n\0", 4)) ==
               std::string::npos;
    };
    if (!fits(path, false) || !fits(share, false) || !fits(comment, true)) return 0;
    for (int32_t index : {0, 1}) {
        AnsiString line = FormatBackupLine(path, share, comment, index);
        std::vector<AnsiString> back = SplitBackupLine(line);
        std::vector<AnsiString> expected{"dfscmd", index == 0 ? "/map" : "/add", path,
                                         "\\\\" + share, comment};
        if (back != expected) fuzz::Broken("a written line reads back differently: " + line);
    }
    TStringList lines;
    lines.Add(FormatBackupLine(path, share, comment, 0));
    lines.Add(FormatBackupLine(path, share, comment, 1));
    std::filesystem::path file = fuzz::ScratchFolder() / "backup.txt";
    WriteBackupFile(file, lines);
    std::string written = OrThrowFileError(ReadWholeFile(file));
    if (written != lines[0] + "\r\n" + lines[1] + "\r\n")
        fuzz::Broken("the backup file is not its sorted lines, each with CR LF");
    return 0;
}
