// The string table as data, so the core can show a string by its id without
// the resource module. The Windows program's script holds the same texts
// from the same header.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Types.h"
#include "res/Resource.h"

namespace marnel {

// <windows.h> maps LoadString to LoadStringA: declare the real name with the
// macro out of the way, and answer to the mapped name as well, so a file that
// includes both headers (in either order) still reaches this table.
struct StringEntry {
    DWORD id;
    const char* text;
};

// Every string of the table, sorted by id: the texts the resource script's
// string table must hold too.
const StringEntry* StringTableEntries(std::size_t* count);

#pragma push_macro("LoadString")
#undef LoadString

// The text of string `id`, or an empty string when the table has none.
std::string LoadString(DWORD id);

inline std::string LoadStringA(DWORD id) { return LoadString(id); }

// String `id` with every "%1" replaced by `argument`.
std::string FormatString1(DWORD id, const std::string& argument);

#pragma pop_macro("LoadString")

}  // namespace marnel
