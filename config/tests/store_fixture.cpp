#include "store_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "reg_commands.h"
#include "tarvik/registry.h"

#ifndef TKC_FIXTURE_DIR
#error "TKC_FIXTURE_DIR must name the fixture folder"
#endif

namespace tkctest {

// Fixtures go into the store the way an administrator would load them:
// through tarvik-reg's import, which applies a file all or nothing.
bool LoadRegText(const std::string& text, std::string* error) {
  const std::string header = "Windows Registry Editor Version 5.00";
  const std::string body = text.rfind(header, 0) == 0 ? text : header + "\n\n" + text;
  char path[] = "/tmp/tarvikcfg-fixture-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) {
    *error = "cannot make a temporary file";
    return false;
  }
  const bool written = ::write(fd, body.data(), body.size()) == ssize_t(body.size());
  ::close(fd);
  std::ostringstream out, err;
  const int rc = written ? tarvikreg::RunTarvikReg({"import", path}, out, err) : 1;
  ::unlink(path);
  if (rc != 0) {
    *error = written ? err.str() : "cannot write a temporary file";
    return false;
  }
  return true;
}

bool LoadRegFixture(const std::string& name, std::string* error) {
  std::ifstream file(std::string(TKC_FIXTURE_DIR) + "/" + name);
  if (!file) {
    *error = "cannot open fixture " + name;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (!LoadRegText(text.str(), error)) {
    *error = name + ": " + *error;
    return false;
  }
  return true;
}

void StoreTest::SetUp() {
  ASSERT_FALSE(root_.Path().empty());
  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n");
}

void StoreTest::Load(const std::string& fixture) {
  std::string error;
  ASSERT_TRUE(LoadRegFixture(fixture, &error)) << error;
}

void StoreTest::LoadText(const std::string& text) {
  std::string error;
  ASSERT_TRUE(LoadRegText(text, &error)) << error;
}

SetBox::SetBox() : set(new TkcConfigSet()) { set->SizeStamp = TKC_SET_SIZE; }
SetBox::~SetBox() { delete set; }

}  // namespace tkctest
