// tarvik-reg: the registry store of the state root from the command line.
//
//   tarvik-reg export [KEY] [FILE]   .reg text of KEY (default: everything)
//                                    to FILE (default or "-": standard output)
//   tarvik-reg import FILE           applies a .reg file, all of it or nothing
//   tarvik-reg query KEY [NAME]      the key's values, or one value's data
//   tarvik-reg set KEY NAME dword|sz VALUE
//   tarvik-reg delete KEY            the key and everything below it
//
// KEY is "HKEY_LOCAL_MACHINE\path", "HKLM\path" or the bare path. Exports
// are written with LF line ends, keys in the order they were created, so the
// same store always gives the same text. Exit code 0 on success, 1 on any
// failure after one line "tarvik-reg: ..." on standard error.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace tarvikreg {

int RunTarvikReg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarvikreg
