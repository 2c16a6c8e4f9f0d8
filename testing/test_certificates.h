// Certificates made at run time for the TLS tests and benchmarks, so that none ever expires:
// an authority of its own, a server certificate it signed for this machine's loopback names,
// and ones it signed for other names.
#pragma once

#include <filesystem>
#include <string>

namespace quillon::testing {

struct KeyAndCertificate {
  std::string certificate;  // PEM
  std::string key;          // PEM, unencrypted
};

struct TestCertificates {
  std::string authority;        // the authority's certificate, PEM
  KeyAndCertificate localhost;  // for "localhost", 127.0.0.1 and ::1
  KeyAndCertificate wrongName;  // for "wrong.example" only
  // For "w*.caster.example": a partial wildcard, which no name may match.
  KeyAndCertificate partialWildcard;
};

// Makes a fresh set (P-256 keys, valid from an hour ago for two days). Throws
// std::runtime_error when the library fails.
TestCertificates MakeTestCertificates();

// Writes `pem` to `file` (as for an authority file); throws std::runtime_error when it cannot.
void WritePem(const std::filesystem::path& file, const std::string& pem);

}  // namespace quillon::testing
