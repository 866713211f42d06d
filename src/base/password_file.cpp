#include "base/password_file.h"

#include "base/file_io.h"

namespace kestrune {

Expected<std::string> ReadPasswordFile(const std::string& file) {
    Expected<std::string> password = ReadWholeFile(file);
    if (!password)
        return Error{0, "cannot read the password file KESTRUNE_BIND_PASSWORD_FILE=" + file + ": " +
                            password.error().text};
    if (!password->empty() && password->back() == '\n') password->pop_back();
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return password;
}

} // namespace kestrune
