// Win32-shaped scalar types for the portable core. They live in namespace
// marnel so that a Windows back end can include <windows.h> beside them
// without clashing with the real typedefs and macros.
#pragma once

#include <cstdint>

namespace marnel {

using BOOL = int;            // non-zero for success, as the Win32 API returns it
using DWORD = std::uint32_t;
using HANDLE = void*;

// The platform's "no handle" value: all bits set, as INVALID_HANDLE_VALUE.
inline HANDLE InvalidHandle() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

// A font or icon a user-interface back end made; null means none.
using FontHandle = void*;
using IconHandle = void*;

// The few system error codes the core tells apart.
constexpr DWORD kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
constexpr DWORD kErrorMoreData = 234;            // ERROR_MORE_DATA
constexpr DWORD kErrorNoMoreItems = 259;         // ERROR_NO_MORE_ITEMS

}  // namespace marnel
