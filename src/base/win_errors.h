// Windows and network status codes that the platform layers return.
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
constexpr uint32_t ERROR_INVALID_SECURITY_DESCR = 1338;
constexpr uint32_t ERROR_NETWORK_UNREACHABLE = 1231;
constexpr uint32_t ERROR_NO_NETWORK = 1222;
constexpr uint32_t ERROR_NO_SUCH_DOMAIN = 1355;
constexpr uint32_t RPC_S_SERVER_UNAVAILABLE = 1722;
constexpr uint32_t NERR_NetNameNotFound = 2310;
constexpr uint32_t NERR_DfsNoSuchVolume = 2662;
constexpr uint32_t NERR_DfsVolumeAlreadyExists = 2663;

} // namespace kestrune
