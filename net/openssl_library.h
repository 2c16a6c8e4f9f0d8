// OpenSSL's libssl, loaded only when a TLS connection is made: linked in, it and libcrypto cost
// a plain session about 2 MB of resident memory at start-up for nothing. Every function is
// resolved by name into a pointer of the type OpenSSL's own header declares, so the compiler
// checks each call as if the library were linked.
#pragma once

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <string>

#include "net/tls_options.h"

namespace quillon {

// What this program calls, libssl's and libcrypto's functions alike.
#define QUILLON_OPENSSL_FUNCTIONS(F)  \
  F(TLS_client_method)                \
  F(SSL_CTX_new)                      \
  F(SSL_CTX_free)                     \
  F(SSL_CTX_ctrl)                     \
  F(SSL_CTX_set_options)              \
  F(SSL_CTX_set_verify)               \
  F(SSL_CTX_set_default_verify_paths) \
  F(SSL_CTX_load_verify_locations)    \
  F(SSL_new)                          \
  F(SSL_free)                         \
  F(SSL_set_fd)                       \
  F(SSL_ctrl)                         \
  F(SSL_set1_host)                    \
  F(SSL_set_hostflags)                \
  F(SSL_get0_param)                   \
  F(SSL_connect)                      \
  F(SSL_read)                         \
  F(SSL_write)                        \
  F(SSL_pending)                      \
  F(SSL_get_error)                    \
  F(SSL_get_verify_result)            \
  F(SSL_shutdown)                     \
  F(X509_VERIFY_PARAM_set1_ip_asc)    \
  F(X509_verify_cert_error_string)    \
  F(ERR_get_error)                    \
  F(ERR_error_string_n)               \
  F(ERR_clear_error)

struct OpenSsl {
#define QUILLON_OPENSSL_POINTER(name) decltype(&::name) name = nullptr;
  QUILLON_OPENSSL_FUNCTIONS(QUILLON_OPENSSL_POINTER)
#undef QUILLON_OPENSSL_POINTER
};

// The library `name` (kOpenSslLibrary; the tests name one that is missing), loaded at the
// first call and kept for the life of the process: OpenSSL cannot be unloaded safely. nullptr
// when it cannot be loaded or lacks a function; `problem` then says why in one line, at this
// call and every later one for the same name (it is tried once). Thread-safe.
const OpenSsl* LoadOpenSsl(const std::string& name, std::string& problem);

}  // namespace quillon
