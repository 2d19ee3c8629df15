// Companion programs: the terminal, the diagnostic tool and the two Modbus
// master tools live beside the utility's own executable under fixed file
// names, and are started through the shell hook with an argument text.
#pragma once
#include <cstddef>
#include <string>

extern const char kTerminalProgram[];   // "Terminal.exe"
extern const char kDiagProgram[];       // "Diag.exe"
extern const char kModbusRtuProgram[];  // "HOLLIN.EXE"
extern const char kModbusTcpProgram[];  // "VARDEK.EXE"

// The path of fileName in the folder of exePath. Whatever the executable is
// called, the companions are looked for beside it.
std::string ProgramPathBeside(const std::string& exePath, const char* fileName);

// The same into path[size]; a path that does not fit gives an empty text
// (a cut path would name some other file). Returns false then.
bool ProgramPathBeside(const std::string& exePath, const char* fileName, char* path,
                       size_t size);

// The running program's own file.
std::string OwnExecutablePath();
