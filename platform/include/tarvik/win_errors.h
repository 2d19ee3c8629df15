// Windows error codes and constants that the suite's platform layer returns,
// so that code written against the Windows calls keeps its meaning here.
#pragma once
#include <cstdint>

namespace tarvik {

using LSTATUS = long;

constexpr LSTATUS kErrorSuccess = 0;            // ERROR_SUCCESS
constexpr LSTATUS kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr LSTATUS kErrorPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
constexpr LSTATUS kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr LSTATUS kErrorInvalidHandle = 6;      // ERROR_INVALID_HANDLE
constexpr LSTATUS kErrorNotEnoughMemory = 8;    // ERROR_NOT_ENOUGH_MEMORY
constexpr LSTATUS kErrorInvalidData = 13;       // ERROR_INVALID_DATA
constexpr LSTATUS kErrorInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
constexpr LSTATUS kErrorInsufficientBuffer = 122;
constexpr LSTATUS kErrorBusy = 170;             // ERROR_BUSY
constexpr LSTATUS kErrorMoreData = 234;         // ERROR_MORE_DATA
constexpr LSTATUS kErrorNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS
constexpr LSTATUS kErrorBadPathname = 161;      // ERROR_BAD_PATHNAME
constexpr LSTATUS kErrorRegistryCorrupt = 1015; // ERROR_REGISTRY_CORRUPT
constexpr LSTATUS kErrorRegistryIoFailed = 1016;
constexpr LSTATUS kErrorKeyDeleted = 1018;      // ERROR_KEY_DELETED
constexpr LSTATUS kErrorKeyHasChildren = 1020;  // ERROR_KEY_HAS_CHILDREN

// Registry value types, with their Windows numbers.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

}  // namespace tarvik
