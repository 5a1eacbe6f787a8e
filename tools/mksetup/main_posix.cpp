#include <iostream>

#include "tools/mksetup/pack.h"

int main(int argc, char** argv) {
  return mksetup::Main(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
