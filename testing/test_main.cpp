// Test entry point: the suites run in a UTF-8 locale, as the program does on a desktop; the
// program's own text is UTF-8 in any locale (ntrip/requests_test checks the C locale).
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
