#include "ntrip/mount_point_login.h"

#include <array>
#include <utility>

#include "common/strings.h"
#include "common/text.h"
#include "common/wide.h"
#include "net/caster_connection.h"
#include "net/tls_options.h"
#include "ntrip/requests.h"

namespace quillon {
namespace {

MountPointLogin& Failed(MountPointLogin& result, LoginFailure failure, std::u16string text,
                        std::u16string detail = {}) {
  result.failure = failure;
  result.text = std::move(text);
  result.detail = std::move(detail);
  return result;
}

}  // namespace

std::string MountPointRequest(const SettingsRecord& settings, LoginRole role,
                              std::string_view host) {
  if (role == LoginRole::kClient && settings.noAuthentication != 0) return {};
  std::array<char, kCredentialTextSize> user{};
  std::array<char, kCredentialTextSize> password{};
  std::array<char, kCredentialTextSize> mountPoint{};
  WideToEightBit(FieldText(settings.userName), user.data(), user.size());
  WideToEightBit(FieldText(settings.password), password.data(), password.size());
  WideToEightBit(FieldText(settings.mountPoint), mountPoint.data(), mountPoint.size());
  // The whole request goes out: cutting it to a fixed buffer would cut the credentials of long
  // multi-byte names in half.
  const bool client = role == LoginRole::kClient;
  if (settings.protocol.version == NtripVersion::k2) {
    const CasterHost caster{host, settings.port, settings.protocol.tls};
    const BasicLogin login{user.data(), password.data()};
    return client ? BuildVersion2ClientRequest(caster, mountPoint.data(), login)
                  : BuildVersion2ServerRequest(caster, mountPoint.data(), login);
  }
  return client ? BuildClientRequest(user.data(), password.data(), mountPoint.data())
                : BuildServerRequest(mountPoint.data(), password.data());
}

MountPointLogin JudgeLogin(CasterLogin login, NtripVersion version, LoginRole role,
                           std::string_view address) {
  MountPointLogin result;
  result.login = std::move(login);
  const CasterLogin& done = result.login;
  switch (done.end) {
    case LoginEnd::kStopped:
      return result;
    case LoginEnd::kNotConnected: {
      const ConnectStep step = done.connect.step;
      ConnectFailure said = DescribeConnectFailure(done.connect, address);
      const bool noSocket = step == ConnectStep::kNoSocket || step == ConnectStep::kInvalidAddress;
      return Failed(result, noSocket ? LoginFailure::kNoSocket : LoginFailure::kConnectFailed,
                    std::move(said.text), std::move(said.detail));
    }
    case LoginEnd::kSendFailed:
      return Failed(result, LoginFailure::kIoFailed, LoadString(kStrAuthenticationIo));
    case LoginEnd::kReadFailed:
    case LoginEnd::kTlsFailed:
      return Failed(result, LoginFailure::kIoFailed, LoadString(kStrAuthenticationIo),
                    EightBitToWide(DescribeLoginReply(done)));
    case LoginEnd::kConnected:
    case LoginEnd::kReplied:
    case LoginEnd::kClosed:
    case LoginEnd::kSilent:
      break;
  }
  result.verdict = JudgeLoginReply(done, version, role);
  if (result.verdict.accepted) {
    result.failure = LoginFailure::kNone;
    return result;
  }
  return Failed(result, LoginFailure::kRefused, LoadString(kStrCredentialsRejected),
                EightBitToWide(result.verdict.detail));
}

MountPointLogin LogInToMountPoint(const SettingsRecord& settings, LoginRole role,
                                  CasterSocket& socket, Clock& clock, const StopRequested& stop,
                                  bool insecureTls) {
  std::array<char, kAddressTextSize> address{};
  WideToEightBit(FieldText(settings.address), address.data(), address.size());
  const CasterProtocol& protocol = settings.protocol;
  CasterLogin login = LogInToCaster(
      address.data(), settings.port, MountPointRequest(settings, role, address.data()), socket,
      clock, stop, LookUpHostName,
      protocol.version == NtripVersion::k2 ? ReplyExtent::kHead : ReplyExtent::kFirstLine,
      TlsFor(protocol, insecureTls));
  return JudgeLogin(std::move(login), protocol.version, role, address.data());
}

}  // namespace quillon
