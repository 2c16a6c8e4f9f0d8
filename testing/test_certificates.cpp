#include "testing/test_certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace quillon::testing {
namespace {

struct Free {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(X509* certificate) const { X509_free(certificate); }
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Certificate = std::unique_ptr<X509, Free>;

void Check(bool done, const char* what) {
  if (!done) throw std::runtime_error(std::string("making test certificates: ") + what);
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Check(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, value);
  X509_EXTENSION_free(extension);
}

// A certificate for `key` named `commonName`, signed by `issuerKey` as `issuer` (itself when
// null), with the extensions given as "nid value" pairs.
Certificate Make(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                 long serial, std::initializer_list<std::pair<int, const char*>> extensions) {
  Certificate certificate(X509_new());
  X509* made = certificate.get();
  Check(made != nullptr && X509_set_version(made, X509_VERSION_3) == 1, "version");
  ASN1_INTEGER_set(X509_get_serialNumber(made), serial);
  X509_gmtime_adj(X509_getm_notBefore(made), -3600);
  X509_gmtime_adj(X509_getm_notAfter(made), 2 * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(made);
  Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                                   0) == 1,
        "name");
  X509* signer = issuer != nullptr ? issuer : made;
  Check(X509_set_issuer_name(made, X509_get_subject_name(signer)) == 1, "issuer");
  Check(X509_set_pubkey(made, key) == 1, "public key");
  for (const auto& [nid, value] : extensions) AddExtension(made, signer, nid, value);
  Check(X509_sign(made, issuerKey, EVP_sha256()) > 0, "signature");
  return certificate;
}

template <typename Write>
std::string ToPem(Write write) {
  std::unique_ptr<BIO, Free> bio(BIO_new(BIO_s_mem()));
  Check(bio != nullptr && write(bio.get()) == 1, "PEM");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

KeyAndCertificate ServerCertificate(const char* commonName, const char* names, long serial,
                                    X509* authority, EVP_PKEY* authorityKey) {
  Key key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "server key");
  const Certificate certificate = Make(key.get(), commonName, authority, authorityKey, serial,
                                       {{NID_basic_constraints, "critical,CA:FALSE"},
                                        {NID_key_usage, "critical,digitalSignature"},
                                        {NID_ext_key_usage, "serverAuth"},
                                        {NID_subject_alt_name, names}});
  return {ToPem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); }),
          ToPem([&](BIO* bio) {
            return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
          })};
}

}  // namespace

TestCertificates MakeTestCertificates() {
  Key authorityKey(EVP_EC_gen("P-256"));
  Check(authorityKey != nullptr, "authority key");
  const Certificate authority =
      Make(authorityKey.get(), "Quillon test authority", nullptr, authorityKey.get(), 1,
           {{NID_basic_constraints, "critical,CA:TRUE"},
            {NID_key_usage, "critical,keyCertSign,cRLSign"},
            {NID_subject_key_identifier, "hash"}});
  TestCertificates made;
  made.authority = ToPem([&](BIO* bio) { return PEM_write_bio_X509(bio, authority.get()); });
  made.localhost = ServerCertificate("localhost", "DNS:localhost,IP:127.0.0.1,IP:::1", 2,
                                     authority.get(), authorityKey.get());
  made.wrongName = ServerCertificate("wrong.example", "DNS:wrong.example", 3, authority.get(),
                                     authorityKey.get());
  made.partialWildcard = ServerCertificate("w*.caster.example", "DNS:w*.caster.example", 4,
                                           authority.get(), authorityKey.get());
  return made;
}

void WritePem(const std::filesystem::path& file, const std::string& pem) {
  std::ofstream out(file, std::ios::binary);
  out << pem;
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace quillon::testing
