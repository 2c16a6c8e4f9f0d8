// A pseudo-terminal pair for tests: the program opens the device path as its receiver link,
// and the test plays the receiver on the other end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::testing {

class PtyPair {
 public:
  PtyPair();  // fails the current test when no pty can be had
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // The device path the program opens, such as "/dev/pts/7".
  const std::string& DevicePath() const { return path_; }
  int ReceiverFd() const { return master_; }

  // Writes all bytes to the program (waiting for room); false when the program's side is gone.
  bool SendToProgram(const std::vector<std::uint8_t>& bytes);
  // Reads what the program wrote until `count` bytes have arrived or `realMs` real ms passed
  // without a byte.
  std::vector<std::uint8_t> ReceiveFromProgram(std::size_t count, int realMs = 2000);
  // The receiver is unplugged: the program's end hangs up.
  void Unplug();

 private:
  int master_ = -1;
  std::string path_;
};

}  // namespace quillon::testing
