#include "companion.h"

#include <QCoreApplication>
#include <QFile>

#include "tarvik/text.h"

const char kTerminalProgram[] = "Terminal.exe";
const char kDiagProgram[] = "Diag.exe";
const char kModbusRtuProgram[] = "HOLLIN.EXE";
const char kModbusTcpProgram[] = "VARDEK.EXE";

std::string ProgramPathBeside(const std::string& exePath, const char* fileName) {
  const size_t slash = exePath.rfind('/');
  if (slash == std::string::npos) return fileName;
  return exePath.substr(0, slash + 1) + fileName;
}

bool ProgramPathBeside(const std::string& exePath, const char* fileName, char* path,
                       size_t size) {
  const std::string full = ProgramPathBeside(exePath, fileName);
  if (full.size() + 1 > size) {
    if (size > 0) path[0] = '\0';
    return false;
  }
  tarvik::CopyText(path, size, full.c_str());
  return true;
}

std::string OwnExecutablePath() {
  return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}
