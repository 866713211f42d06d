#include "platform/netdfs_over_store/netapi_status.h"

#include "base/file_io.h"
#include "base/win_errors.h"
#include "netdfs/netdfs.h"
#include "platform/store/win32_error_of_result.h"

namespace kestrune {

using store::ResultCode;
using store::Win32ErrorOf;

uint32_t NetApiStatusOf(const store::Status& status) {
    switch (status.code) {
    case ResultCode::Success:
        return NERR_Success;
    case ResultCode::InsufficientAccessRights:
        return ERROR_ACCESS_DENIED;
    case ResultCode::EntryAlreadyExists:
    case ResultCode::AttributeOrValueExists:
        return ERROR_FILE_EXISTS;
    case ResultCode::NoSuchObject:
        return ERROR_NOT_FOUND;
    case ResultCode::Unavailable:
        if (status.systemError != 0 && IsWriteRefused({status.systemError, {}}))
            return ERROR_ACCESS_DENIED;
        if (status.systemError != 0 && IsDiskFull({status.systemError, {}})) return ERROR_DISK_FULL;
        return RPC_S_SERVER_UNAVAILABLE;
    case ResultCode::ServerDown:
    case ResultCode::ConnectError:
        return RPC_S_SERVER_UNAVAILABLE;
    case ResultCode::InvalidCredentials:
    case ResultCode::Timeout:
    case ResultCode::Busy:
    case ResultCode::ConstraintViolation:
    case ResultCode::StrongAuthRequired:
    case ResultCode::ConfidentialityRequired:
    case ResultCode::TimeLimitExceeded:
        return Win32ErrorOf(status.code);
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

DfsStatus NetDfsFailureOf(const store::Status& status) {
    return {NetApiStatusOf(status), status.ok() ? std::string() : status.message};
}

} // namespace kestrune
