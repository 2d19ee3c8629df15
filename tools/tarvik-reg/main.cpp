#include <iostream>
#include <string>
#include <vector>

#include "reg_commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return tarvikreg::RunTarvikReg(args, std::cout, std::cerr);
}
