#include "ntrip/login_verdict.h"

#include "common/printable_text.h"
#include "ntrip/reply.h"
#include "ntrip/reply_head.h"

namespace quillon {
namespace {

constexpr int kHttpOk = 200;
constexpr int kHttpUnauthorized = 401;
constexpr int kHttpNotFound = 404;

LoginVerdict Refused(std::string detail) {
  LoginVerdict verdict;
  verdict.detail = std::move(detail);
  return verdict;
}

// Accepted, with `first` (what came behind the reply) decoded as `body` frames it. A first part
// that breaks the framing leaves the login accepted: the caster said yes, and what was good
// before the break is the stream's.
LoginVerdict Accepted(ReplyBody body, std::string_view first) {
  LoginVerdict verdict;
  verdict.body = std::move(body);
  verdict.body.Feed(first, verdict.payload);
  verdict.accepted = true;
  return verdict;
}

// Why a version 2 reply's head did not come whole.
std::string HeadNotEnded(const CasterLogin& login) {
  switch (login.end) {
    case LoginEnd::kReplied:
      return "The caster's reply headers did not end within " + std::to_string(kLoginReplyLimit) +
             " bytes.";
    case LoginEnd::kClosed:
      return "The caster closed the connection inside its reply headers.";
    case LoginEnd::kSilent:
      return "The caster's reply headers did not end within " +
             std::to_string(kLoginReplyWindowMs / 1000) + " seconds.";
    default:
      return DescribeLoginReply(login);
  }
}

bool IsSourceTable(const ReplyHead& head) { return head.contentType == "gnss/sourcetable"; }

bool AnnouncesAStream(const ReplyHead& head) {
  return head.status == kHttpOk && !IsSourceTable(head) && !head.contentType.starts_with("text/") &&
         head.otherCoding.empty();
}

std::string DescribeRefusedHead(const ReplyHead& head) {
  if (head.status == kHttpUnauthorized) return DescribeRefusedReply(head.statusLine);
  if (head.status == kHttpNotFound) {
    return "The caster does not know the mount point: it replied " +
           QuotedFirstLine(head.statusLine) + ".";
  }
  if (head.status == kHttpOk && !head.otherCoding.empty()) {
    return "The caster sent its reply in a transfer coding this program does not read: \"" +
           PrintableText(head.otherCoding) + "\".";
  }
  if (head.status / 100 == 2 && IsSourceTable(head)) {
    return std::string(kSourceTableAnswerText);
  }
  if (head.status == kHttpOk) {
    return "The caster answered with a page (\"" + PrintableText(head.contentType) +
           "\"), not a data stream.";
  }
  return DescribeCasterReply(head.statusLine);
}

LoginVerdict JudgeVersion2(const CasterLogin& login, LoginRole role) {
  const std::string_view line = login.StatusLine();
  // Version 1 casters answer a version 2 request as they answer any other.
  if (role == LoginRole::kClient && ReplyContains(line, kClientSuccessToken)) {
    return Accepted(ReplyBody::IcyStream(), login.AfterStatusLine());
  }
  if (HttpStatusCode(line) == 0) return Refused(DescribeLoginReply(login));
  const std::optional<ReplyHead> head = ParseReplyHead(login.Reply());
  if (!head) return Refused(HeadNotEnded(login));
  if (role == LoginRole::kServer) {
    // A caster that does not take uploads to this mount point may answer with its table.
    if (head->status / 100 != 2 || IsSourceTable(*head)) return Refused(DescribeRefusedHead(*head));
    return Accepted(ReplyBody::UntilClose(), {});
  }
  if (!AnnouncesAStream(*head)) return Refused(DescribeRefusedHead(*head));
  return Accepted(ReplyBody::For(*head), login.Reply().substr(head->size));
}

}  // namespace

LoginVerdict JudgeLoginReply(const CasterLogin& login, NtripVersion version, LoginRole role) {
  if (login.end == LoginEnd::kConnected) return Accepted(ReplyBody::UntilClose(), {});
  if (version == NtripVersion::k2) return JudgeVersion2(login, role);
  const std::string_view line = login.StatusLine();
  const std::string_view token =
      role == LoginRole::kClient ? kClientSuccessToken : kServerSuccessToken;
  // "SOURCETABLE 200 OK\r\n" holds the server's token, but it says there is no such mount point.
  if (!ReplyContains(line, token) || ReplyContains(line, kSourceTableSuccessToken)) {
    return Refused(DescribeLoginReply(login));
  }
  if (role == LoginRole::kServer) return Accepted(ReplyBody::UntilClose(), {});
  return Accepted(ReplyBody::IcyStream(), login.AfterStatusLine());
}

}  // namespace quillon
