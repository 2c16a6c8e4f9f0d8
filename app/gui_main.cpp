// quillon-gui: the windowed program. `quillon` without a command starts it.
#include <clocale>

#include "app/windowed.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  return quillon::RunWindowedProgram(argc, argv);
}
