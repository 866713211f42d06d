#include "platform/directory_errors.h"

#include "base/win_errors.h"
#include "netdfs/netdfs.h"

#include <cerrno>

namespace kestrune {
namespace {

using store::ResultCode;

// The Win32 directory error of an LDAP result, as Windows' LDAP client maps them.
uint32_t Win32Of(ResultCode code) {
    switch (code) {
    case ResultCode::Success:
        return ERROR_SUCCESS;
    case ResultCode::OperationsError:
        return ERROR_DS_OPERATIONS_ERROR;
    case ResultCode::ProtocolError:
        return ERROR_DS_PROTOCOL_ERROR;
    case ResultCode::TimeLimitExceeded:
        return ERROR_DS_TIMELIMIT_EXCEEDED;
    case ResultCode::SizeLimitExceeded:
        return ERROR_DS_SIZELIMIT_EXCEEDED;
    case ResultCode::AuthMethodNotSupported:
        return ERROR_DS_AUTH_METHOD_NOT_SUPPORTED;
    case ResultCode::StrongAuthRequired:
        return ERROR_DS_STRONG_AUTH_REQUIRED;
    case ResultCode::Referral:
        return ERROR_DS_REFERRAL;
    case ResultCode::AdminLimitExceeded:
        return ERROR_DS_ADMIN_LIMIT_EXCEEDED;
    case ResultCode::ConfidentialityRequired:
        return ERROR_DS_CONFIDENTIALITY_REQUIRED;
    case ResultCode::NoSuchAttribute:
        return ERROR_DS_NO_ATTRIBUTE_OR_VALUE;
    case ResultCode::UndefinedAttributeType:
        return ERROR_DS_ATTRIBUTE_TYPE_UNDEFINED;
    case ResultCode::ConstraintViolation:
        return ERROR_DS_CONSTRAINT_VIOLATION;
    case ResultCode::AttributeOrValueExists:
        return ERROR_DS_ATTRIBUTE_OR_VALUE_EXISTS;
    case ResultCode::InvalidAttributeSyntax:
        return ERROR_DS_INVALID_ATTRIBUTE_SYNTAX;
    case ResultCode::NoSuchObject:
        return ERROR_DS_NO_SUCH_OBJECT;
    case ResultCode::InvalidDnSyntax:
        return ERROR_DS_INVALID_DN_SYNTAX;
    case ResultCode::InappropriateAuthentication:
        return ERROR_DS_INAPPROPRIATE_AUTH;
    case ResultCode::InvalidCredentials:
        return ERROR_LOGON_FAILURE;
    case ResultCode::InsufficientAccessRights:
        return ERROR_ACCESS_DENIED;
    case ResultCode::Busy:
        return ERROR_DS_BUSY;
    case ResultCode::Unavailable:
        return ERROR_DS_UNAVAILABLE;
    case ResultCode::UnwillingToPerform:
        return ERROR_DS_UNWILLING_TO_PERFORM;
    case ResultCode::NamingViolation:
        return ERROR_DS_NAMING_VIOLATION;
    case ResultCode::ObjectClassViolation:
        return ERROR_DS_OBJ_CLASS_VIOLATION;
    case ResultCode::NotAllowedOnNonLeaf:
        return ERROR_DS_CANT_ON_NON_LEAF;
    case ResultCode::EntryAlreadyExists:
        return ERROR_OBJECT_ALREADY_EXISTS;
    case ResultCode::ServerDown:
    case ResultCode::ConnectError:
        return ERROR_DS_SERVER_DOWN;
    case ResultCode::Timeout:
        return ERROR_TIMEOUT;
    case ResultCode::AuthUnknown:
        return ERROR_DS_AUTH_UNKNOWN;
    case ResultCode::FilterError:
        return ERROR_DS_FILTER_UNKNOWN;
    case ResultCode::LocalError:
        return ERROR_DS_LOCAL_ERROR;
    default:
        return ERROR_DS_OPERATIONS_ERROR;
    }
}

} // namespace

adsi::HRESULT AdsiResultOf(const store::Status& status) {
    if (status.ok()) return adsi::S_OK;
    // The simulated domain's file could not be written: a local failure, not the server's.
    if (status.code == ResultCode::Unavailable && status.systemError != 0)
        return adsi::HR_SERVER_NOT_OPERATIONAL;
    return adsi::H(0x80070000u | Win32Of(status.code));
}

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
        if (status.systemError == EACCES || status.systemError == EPERM ||
            status.systemError == EROFS)
            return ERROR_ACCESS_DENIED;
        if (status.systemError == ENOSPC) return ERROR_DISK_FULL;
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
        return Win32Of(status.code);
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

uint32_t NetDfsFailureOf(const store::Status& status) {
    if (!status.ok() && !status.message.empty()) SetNetDfsErrorDetail(status.message);
    return NetApiStatusOf(status);
}

} // namespace kestrune
