// The test authority of a set of test certificates in a PEM file of its own, as --ca-file names
// it, removed with its folder afterwards.
#pragma once

#include <string>

#include "testing/temp_folder.h"
#include "testing/test_certificates.h"

namespace quillon::testing {

class AuthorityFile {
 public:
  explicit AuthorityFile(const TestCertificates& made) { WritePem(Path(), made.authority); }
  std::string Path() const { return (folder_.Path() / "authority.pem").string(); }

 private:
  TempFolder folder_;
};

}  // namespace quillon::testing
