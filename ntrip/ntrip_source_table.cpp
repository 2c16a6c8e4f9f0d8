#include "ntrip/ntrip_source_table.h"

#include <algorithm>

#include "common/guard.h"
#include "common/settings_record.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/wide.h"
#include "net/address.h"
#include "net/caster_connection.h"
#include "net/caster_socket.h"
#include "net/caster_stream_connect.h"
#include "ntrip/reply.h"
#include "ntrip/requests.h"

namespace quillon {
namespace {

constexpr std::string_view kSourceFile = "ntripsourcetable";

void SetProblem(TableFetch& fetch, TableProblem problem, std::u16string text = {},
                std::u16string detail = {}) {
  fetch.problem = problem;
  fetch.text = std::move(text);
  fetch.detail = std::move(detail);
}

// The version 1 request text as sent: with the login's authorization header when there is one.
std::string RequestText(std::string_view request, const TableQuery& query) {
  if (!query.login) return std::string(request);
  return WithBasicAuthorization(request, query.login->user, query.login->password);
}

std::string Version2Request(const CasterHost& caster, const TableQuery& query) {
  std::optional<BasicLogin> login;
  if (query.login) login = BasicLogin{query.login->user, query.login->password};
  return BuildVersion2SourceTableRequest(caster, login);
}

std::u16string LoginNeededText(bool loginSent) {
  return loginSent ? u"The caster refused the user name and password for its source table."
                   : u"The caster's source table needs a login (a user name and password).";
}

// C0 and DEL: a name that holds one could not go into a request line. (Bytes from 0x80 on
// belong to multi-byte characters.)
bool HasControlByte(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

}  // namespace

CNtripSourceTable::CNtripSourceTable() = default;

TableFetch CNtripSourceTable::GetSourceTable(const SettingsRecord& settings, Clock& clock) {
  TableQuery query;
  query.protocol = settings.protocol;
  return GetSourceTable(FieldText(settings.address), settings.port, clock, query);
}

TableFetch CNtripSourceTable::GetSourceTable(std::u16string_view address, std::int32_t port,
                                             Clock& clock, const TableQuery& query,
                                             std::string* reply) {
  TableFetch fetch;
  // What a fault inside leaves to be said.
  SetProblem(fetch, TableProblem::kNoTable, LoadString(kStrAuthenticationIo));
  CasterSocket connection;
  StreamConnect connected;
  char text[kAddressTextSize] = {};
  Guarded(kSourceFile, __LINE__, [&] {
    WideToEightBit(address, text, sizeof text);
    connected = ConnectCasterStream(text, port, TlsFor(query.protocol, query.insecure), connection,
                                    clock, kTableWindowMs, query.stop);
    if (connected.Stopped()) {
      SetProblem(fetch, TableProblem::kStopped);
    } else if (connected.connect.step != ConnectStep::kConnected) {
      ConnectFailure said = DescribeConnectFailure(connected.connect, text);
      SetProblem(fetch, TableProblem::kNotConnected, std::move(said.text), std::move(said.detail));
    } else if (!connected.stream) {
      SetProblem(fetch, TableProblem::kTlsFailed, EightBitToWide(connected.problem));
    }
  });
  if (!connected.stream) return fetch;

  std::string store;
  Guarded(kSourceFile, __LINE__, [&] {
    const bool version2 = query.protocol.version == NtripVersion::k2;
    const CasterHost caster{text, port, query.protocol.tls};
    std::string fault;
    const std::string request =
        version2 ? Version2Request(caster, query) : RequestText(kSourceTableRequest, query);
    TableRead result =
        ReadSourceTable(*connected.stream, store, request,
                        version2 ? TableStatus::kSourceTableOrHttp : TableStatus::kSourceTable,
                        clock, kReplyStoreLimit, &fault, query.stop);
    // Version 1 casters that do not know the plain request often answer this one. A table that
    // came, whole or not, is never asked for twice.
    if (!version2 && !TableArrived(result) && result != TableRead::kStopped) {
      connected.stream->Close();
      const CasterConnect again = ConnectToAddress(connected.connect.peer, port, connection, clock,
                                                   kTableWindowMs, query.stop);
      if (again.step == ConnectStep::kStopped) result = TableRead::kStopped;
      if (again.step == ConnectStep::kConnected) {
        PlainCasterStream fallback(connection);
        result = ReadSourceTable(
            fallback, store, RequestText(BuildFallbackSourceTableRequest(caster), query),
            TableStatus::kSourceTableOrHttp, clock, kReplyStoreLimit, &fault, query.stop);
      }
    }
    connected.stream->Close();
    connection.Close();
    Conclude(fetch, result, store, fault, query.login.has_value());
  });
  if (fetch.Listed() && reply != nullptr) *reply = std::move(store);
  return fetch;
}

void CNtripSourceTable::Conclude(TableFetch& fetch, TableRead result, std::string_view store,
                                 std::string_view fault, bool loginSent) {
  fetch.read = result;
  const std::string problem = DescribeTableRead(result, store, kReplyStoreLimit, fault);
  if (result == TableRead::kStopped) return SetProblem(fetch, TableProblem::kStopped);
  if (result == TableRead::kLoginNeeded) {
    return SetProblem(fetch, TableProblem::kLoginNeeded, LoginNeededText(loginSent));
  }
  if (TableArrived(result)) {
    ParseSourceTable(store);
    if (result != TableRead::kComplete) fetch.ending = problem;
  }
  // Names are what the windowed program takes; without any, a bad ending is a failure.
  if (result == TableRead::kComplete || (TableArrived(result) && count_ > 0)) {
    SetProblem(fetch, TableProblem::kNone);
  } else {
    SetProblem(fetch, TableProblem::kNoTable, LoadString(kStrAuthenticationIo),
               EightBitToWide(problem));
  }
}

MountPointSlot* CNtripSourceTable::GetMountPoint(int index, MountPointSlot* buffer) const {
  if (buffer == nullptr) return nullptr;
  buffer->fill('\0');
  // Only filled slots are copied: an index equal to the count gives the empty text, and no
  // index can reach past the table.
  if (index >= 0 && index < count_) *buffer = names_[static_cast<std::size_t>(index)];
  return buffer;
}

bool CNtripSourceTable::ParseSourceTable(std::string_view store) {
  Guarded(kSourceFile, __LINE__, [&] {
    names_ = {};
    count_ = 0;
    const std::string_view text = store.substr(0, std::min(store.find('\0'), store.size()));
    std::size_t found = text.find(kSourceTableRecordMarker);
    while (found != std::string_view::npos) {
      const std::size_t begin = found + kSourceTableRecordMarker.size();
      const std::size_t end = std::min(text.find_first_of(";\r\n", begin), text.size());
      const std::string_view name = text.substr(begin, end - begin);
      if (name.size() < kMountPointSlotSize && !HasControlByte(name)) {
        std::copy(name.begin(), name.end(), names_[static_cast<std::size_t>(count_)].begin());
        if (++count_ == kMaxSourceTableNames) break;
      }
      found = text.find(kSourceTableRecordMarker, end);
    }
  });
  return true;
}

}  // namespace quillon
