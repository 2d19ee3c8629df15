// tarvikctl export and import, run as a script would run them.

#include <string>

#include "config_file_test_support.h"
#include "program_run.h"

#ifndef TARVIKCTL_PATH
#error "TARVIKCTL_PATH must name the tarvikctl program"
#endif

using namespace cfgfile;

namespace cfgtest {
namespace {

struct CtlRun {
  int exitCode;
  std::string out;  // stdout and stderr together
};

CtlRun Tarvikctl(const std::string& args) {
  const tarvik::ProgramRun run =
      tarvik::RunProgram(TARVIKCTL_PATH, tarvik::SplitWords(args), {"", true});
  return {run.code, run.out};
}

class TarvikctlFiles : public ConfigFileTest {};

TEST_F(TarvikctlFiles, ExportOfAnEmptyStoreFailsWithTheUtilityText) {
  const CtlRun run = Tarvikctl("export " + Folder() + "/out.xml");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "status: 2\nError:2, Configuration exporting failed!\n"
            "tarvikctl: status 2: the store holds no server, so there is nothing to export\n");
}

TEST_F(TarvikctlFiles, ExportWritesTheFile) {
  auto set = NewSet();
  AddServer(set.get(), "3147", 0x0500000A);
  WriteStore(set.get());
  const CtlRun run = Tarvikctl("export " + Folder() + "/out.xml");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "status: 0\nExporting operation is completed!\n");
  EXPECT_NE(ReadFile(Folder() + "/out.xml").find("<ServerName>3147</ServerName>"), std::string::npos);
}

TEST_F(TarvikctlFiles, FailedImportNamesTheServerOrTheLine) {
  CtlRun run = Tarvikctl("import " + FixturePath("code28_port_before_name.xml"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "\nstatus: 28\nposition: 1\ndriver failed: 0\nErrorCode:28, Server:1; import operation is canceled!\n"
            "tarvikctl: status 28: a port name the server's port layout does not have\n");
  run = Tarvikctl("import " + FixturePath("code20_no_version.cfg"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out,
            "\n>line:1, str:[IP=10.0.0.VAR]"
            "\nstatus: 20\nposition: 1\ndriver failed: 0\nErrorCode:20, LineNum:1; import operation is canceled!\n"
            "tarvikctl: status 20: the text file's VERSION line is missing, misplaced or not 1.1\n");
}

TEST_F(TarvikctlFiles, ImportWithoutADriverServiceWarnsAndCompletes) {
  const CtlRun run = Tarvikctl("import " + FixturePath("ok_two_servers.xml"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out,
            "\nstatus: 1\nposition: 2\ndriver failed: 1\nWarning: Driver is not installed!\n"
            "Import operation is completed!\n");
  EXPECT_EQ(ReadStore()->Servers, 2u);
}

TEST_F(TarvikctlFiles, WrongArgumentsGiveTheUsage) {
  EXPECT_EQ(Tarvikctl("import").exitCode, 1);
  EXPECT_EQ(Tarvikctl("export a b").out, "tarvikctl: usage: tarvikctl export FILE\n");
}

}  // namespace
}  // namespace cfgtest
