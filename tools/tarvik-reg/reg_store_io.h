// The .reg entries against the registry store: import applies them in one
// transaction, export writes keys in the order they were created.
#pragma once
#include <string>
#include <vector>

#include "reg_file.h"
#include "tarvik/win_errors.h"

namespace tarvikreg {

// Applies every entry or none. On failure returns false with the line of
// the entry that failed and the store's error.
bool ImportRegEntries(const std::vector<RegFileEntry>& entries, RegFileError* error);

// The key path (below HKEY_LOCAL_MACHINE; "" for the whole store) and its
// subkeys as .reg text with header, from one consistent snapshot.
tarvik::LSTATUS ExportRegTree(const std::string& path, std::string* text);

// Deletes a key with its subkeys; 87 for the root of the store.
tarvik::LSTATUS DeleteRegTree(const std::string& path);

// A registry error code as a short text ("2 (not found)").
std::string RegErrorText(tarvik::LSTATUS status);

}  // namespace tarvikreg
