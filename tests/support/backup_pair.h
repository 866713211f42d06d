// Writes a backup file and the properties file that belongs to it (recording its SHA-256).
#pragma once

#include "backup/backup_history.h"
#include "backup/properties_file.h"
#include "base/file_io.h"
#include "base/sha256.h"
#include "support/test_files.h"

#include <filesystem>
#include <string>

namespace kestrune::testing {

inline void WriteBackupPair(const std::filesystem::path& txt, const std::string& text,
                            NamespaceProperties properties) {
    OrThrowFileError(ReplaceFileContents(txt, text));
    properties.backupFileSha256 = Sha256Hex(text);
    OrThrowFileError(ReplaceFileContents(PropertiesFileOf(txt), FormatPropertiesFile(properties)));
}

} // namespace kestrune::testing
