// Windows and network status codes that the platform layers return: every Win32 code the
// program names lives here (the directory contract's HRESULTs are built from them).
#pragma once

#include <cstdint>

namespace kestrune {

constexpr uint32_t NERR_Success = 0;
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERROR_INVALID_DATA = 13;
constexpr uint32_t ERROR_WRITE_FAULT = 29;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_BAD_NETPATH = 53;
constexpr uint32_t ERROR_BAD_NET_NAME = 67;
constexpr uint32_t ERROR_FILE_EXISTS = 80;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_INVALID_NAME = 123;
constexpr uint32_t ERROR_INVALID_LEVEL = 124;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_MORE_DATA = 234;
constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr uint32_t ERROR_NOT_FOUND = 1168;
constexpr uint32_t ERROR_NO_NETWORK = 1222;
constexpr uint32_t ERROR_NETWORK_UNREACHABLE = 1231;
constexpr uint32_t ERROR_RETRY = 1237;
constexpr uint32_t ERROR_LOGON_FAILURE = 1326;
constexpr uint32_t ERROR_INVALID_SECURITY_DESCR = 1338;
constexpr uint32_t ERROR_NO_SUCH_DOMAIN = 1355;
constexpr uint32_t ERROR_INTERNAL_ERROR = 1359;
constexpr uint32_t ERROR_TIMEOUT = 1460;
constexpr uint32_t RPC_S_SERVER_UNAVAILABLE = 1722;
constexpr uint32_t NERR_NetNameNotFound = 2310;
constexpr uint32_t NERR_DfsNoSuchVolume = 2662;
constexpr uint32_t NERR_DfsVolumeAlreadyExists = 2663;
constexpr uint32_t ERROR_OBJECT_ALREADY_EXISTS = 5010;
constexpr uint32_t ERROR_DS_NO_ATTRIBUTE_OR_VALUE = 8202;
constexpr uint32_t ERROR_DS_INVALID_ATTRIBUTE_SYNTAX = 8203;
constexpr uint32_t ERROR_DS_ATTRIBUTE_TYPE_UNDEFINED = 8204;
constexpr uint32_t ERROR_DS_ATTRIBUTE_OR_VALUE_EXISTS = 8205;
constexpr uint32_t ERROR_DS_BUSY = 8206;
constexpr uint32_t ERROR_DS_UNAVAILABLE = 8207;
constexpr uint32_t ERROR_DS_OBJ_CLASS_VIOLATION = 8212;
constexpr uint32_t ERROR_DS_CANT_ON_NON_LEAF = 8213;
constexpr uint32_t ERROR_DS_OPERATIONS_ERROR = 8224;
constexpr uint32_t ERROR_DS_PROTOCOL_ERROR = 8225;
constexpr uint32_t ERROR_DS_TIMELIMIT_EXCEEDED = 8226;
constexpr uint32_t ERROR_DS_SIZELIMIT_EXCEEDED = 8227;
constexpr uint32_t ERROR_DS_ADMIN_LIMIT_EXCEEDED = 8228;
constexpr uint32_t ERROR_DS_AUTH_METHOD_NOT_SUPPORTED = 8231;
constexpr uint32_t ERROR_DS_STRONG_AUTH_REQUIRED = 8232;
constexpr uint32_t ERROR_DS_INAPPROPRIATE_AUTH = 8233;
constexpr uint32_t ERROR_DS_AUTH_UNKNOWN = 8234;
constexpr uint32_t ERROR_DS_REFERRAL = 8235;
constexpr uint32_t ERROR_DS_CONFIDENTIALITY_REQUIRED = 8237;
constexpr uint32_t ERROR_DS_CONSTRAINT_VIOLATION = 8239;
constexpr uint32_t ERROR_DS_NO_SUCH_OBJECT = 8240;
constexpr uint32_t ERROR_DS_INVALID_DN_SYNTAX = 8242;
constexpr uint32_t ERROR_DS_UNWILLING_TO_PERFORM = 8245;
constexpr uint32_t ERROR_DS_NAMING_VIOLATION = 8247;
constexpr uint32_t ERROR_DS_SERVER_DOWN = 8250;
constexpr uint32_t ERROR_DS_LOCAL_ERROR = 8251;
constexpr uint32_t ERROR_DS_FILTER_UNKNOWN = 8254;
constexpr uint32_t ERROR_DS_ILLEGAL_SUPERIOR = 8345;

} // namespace kestrune
