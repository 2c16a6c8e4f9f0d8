// Whether a caster accepted a login, judged as the NTRIP version of the request asks, and how
// what follows the reply is read. Both session workers call it after LogInToCaster.
#pragma once

#include <string>

#include "common/caster_protocol.h"
#include "ntrip/caster_login.h"
#include "ntrip/reply_body.h"

namespace quillon {

enum class LoginRole {
  kClient,  // the Rover: GET of a mount point, then the caster's stream
  kServer,  // the Base: SOURCE or POST, then the upload
};

struct LoginVerdict {
  bool accepted = false;
  // Refused: what the reply tells the user, as one sentence (see DescribeLoginReply).
  std::string detail;
  // Accepted: decodes what the caster sends next (the client's stream; for the server, nothing
  // it reads).
  ReplyBody body;
  // Accepted client: the stream's first payload, which came in the same reads as the reply; when
  // those reads already broke the framing, what came before the break, and `body` has failed.
  std::string payload;
};

// Judges `login`, whose request was of NTRIP `version`; a version 2 login must have gathered
// its reply with ReplyExtent::kHead.
// - A login that sent no request (kConnected) is accepted, its stream every byte until the
//   close.
// - Version 1 goes by the token alone, which every version 1 caster sends: the client is
//   accepted on "ICY 200 OK\r\n" in the reply's first line, the server on "OK\r\n" there (also
//   inside "ICY 200 OK" and an HTTP status line that ends in "OK"), but not on a source table's
//   "SOURCETABLE 200 OK"; the stream is read as a version 1 stream.
// - Version 2: the client is accepted on a whole "HTTP/1.x 200" head that announces no source
//   table (Content-Type gnss/sourcetable) and no text page (text/...), in no transfer coding but
//   chunked; its stream is framed as the head says. A version 1 caster's "ICY 200 OK\r\n" is
//   accepted as well, with a version 1 stream. The server is accepted on a whole head of status
//   200 to 299 that announces no source table. A head that did not end, a 401, a 404 or any other
//   status is refused with its reason.
LoginVerdict JudgeLoginReply(const CasterLogin& login, NtripVersion version, LoginRole role);

}  // namespace quillon
