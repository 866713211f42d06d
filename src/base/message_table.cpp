#include "base/message_table.h"

#include "base/ascii.h"

#include <unordered_map>

namespace kestrune {
namespace {

const std::unordered_map<uint32_t, const char*>& Table() {
    static const std::unordered_map<uint32_t, const char*> table = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {13, "The data is invalid."},
        {14, "Not enough memory resources are available to complete this operation."},
        {29, "The system cannot write to the specified device."},
        {32, "The process cannot access the file because it is being used by another process."},
        {50, "The request is not supported."},
        {51, "Windows cannot find the network path. Verify that the network path is correct "
             "and the destination computer is not busy or turned off. If Windows still cannot "
             "find the network path, contact your network administrator."},
        {53, "The network path was not found."},
        {59, "An unexpected network error occurred."},
        {64, "The specified network name is no longer available."},
        {65, "Network access is denied."},
        {67, "The network name cannot be found."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {112, "There is not enough space on the disk."},
        {122, "The data area passed to a system call is too small."},
        {123, "The filename, directory name, or volume label syntax is incorrect."},
        {124, "The system call level is not correct."},
        {183, "Cannot create a file when that file already exists."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {259, "No more data is available."},
        {1168, "Element not found."},
        {1222, "The network is not present or not started."},
        {1225, "The remote computer refused the network connection."},
        {1231, "The network location cannot be reached. For information about network "
               "troubleshooting, see Windows Help."},
        {1237, "The operation could not be completed. A retry should be performed."},
        {1311, "We can't sign you in with this credential because your domain isn't available. "
               "Make sure your device is connected to your organization's network and try "
               "again. If you previously signed in on this device with another credential, "
               "you can sign in with that credential."},
        {1338, "The security descriptor structure is invalid."},
        {1359, "An internal error occurred."},
        {1355, "The specified domain either does not exist or could not be contacted."},
        {1722, "The RPC server is unavailable."},
        {2310, "This shared resource does not exist."},
        {11001, "No such host is known."},
        {11002, "This is usually a temporary error during hostname resolution and means that "
                "the local server did not receive a response from an authoritative server."},
        {2662, "There is no DFS name whose entry path matches the input Entry Path."},
        {2663, "A root or link with the given name already exists."},
        {2690, "The operation is not valid on this platform."},
        {2694, "The DFS operation is not valid on the specified path."},
        {5010, "The object already exists."},
        {8213, "The operation cannot be performed because child objects exist. This operation "
               "can only be performed on a leaf object."},
        {8212, "The requested operation did not satisfy one or more constraints associated "
               "with the class of the object."},
        {8227, "The size limit for this request was exceeded."},
        {8240, "There is no such object on the server."},
        {8345, "The object cannot be added because the parent is not on the list of possible "
               "superiors."},
        {0x80005000, "An invalid directory pathname was passed."},
        {0x80005004, "An unknown directory object was requested."},
        {0x8000500D, "The directory property cannot be found in the cache."},
        {8250, "The server is not operational."},
        {1326, "The user name or password is incorrect."},
        {1460, "This operation returned because the timeout period expired."},
        {8202, "The specified directory service attribute or value does not exist."},
        {8203, "The attribute syntax specified to the directory service is invalid."},
        {8204, "The attribute type specified to the directory service is not defined."},
        {8205, "The specified directory service attribute or value already exists."},
        {8206, "The directory service is busy."},
        {8207, "The directory service is unavailable."},
        {8212, "The requested operation did not satisfy one or more constraints associated "
               "with the class of the object."},
        {8224, "An operations error occurred."},
        {8225, "A protocol error occurred."},
        {8226, "The time limit for this request was exceeded."},
        {8227, "The size limit for this request was exceeded."},
        {8228, "The administrative limit for this request was exceeded."},
        {8231, "The authentication method is not supported."},
        {8232, "A more secure authentication method is required for this server."},
        {8233, "Inappropriate authentication."},
        {8234, "The authentication mechanism is unknown."},
        {8235, "A referral was returned from the server."},
        {8237, "Confidentiality is required for this operation."},
        {8239, "A constraint violation occurred."},
        {8242, "An invalid dn syntax has been specified."},
        {8245, "The server is unwilling to process the request."},
        {8247, "A naming violation has occurred."},
        {8251, "A local error has occurred."},
        {8254, "The search filter cannot be recognized."},
    };
    return table;
}

} // namespace

std::string FormatSystemMessage(uint32_t code) {
    // HRESULT_FROM_WIN32: severity bit, facility 7, the Win32 code in the low word.
    if ((code & 0xFFFF0000u) == 0x80070000u) code &= 0xFFFFu;
    auto it = Table().find(code);
    if (it == Table().end()) return std::string();
    return std::string(it->second) + "\r\n";
}

std::string SystemMessageText(uint32_t code) {
    std::string text = FormatSystemMessage(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string StatusText(uint32_t status) {
    std::string text = FormatSystemMessage(status);
    // The system's buffer holds at most 1023 characters before its terminating zero.
    if (text.size() > 1023) text.resize(1023);
    return std::string(TrimControls(std::to_string(static_cast<int32_t>(status)) + ": " + text));
}

} // namespace kestrune
