#include "app/cli/sourcetable_command.h"

#include <array>
#include <string_view>

#include "app/cli/session_options.h"
#include "common/strings.h"
#include "common/text.h"
#include "ntrip/ntrip_source_table.h"

namespace quillon::cli {
namespace {

struct Column {
  const char* title;
  std::string StreamRecord::*field;
};

constexpr std::array<Column, 13> kColumns = {{
    {"MOUNTPOINT", &StreamRecord::mountPoint},
    {"IDENTIFIER", &StreamRecord::identifier},
    {"FORMAT", &StreamRecord::format},
    {"CARRIER", &StreamRecord::carrier},
    {"NAV-SYSTEM", &StreamRecord::navSystem},
    {"NETWORK", &StreamRecord::network},
    {"COUNTRY", &StreamRecord::country},
    {"LATITUDE", &StreamRecord::latitude},
    {"LONGITUDE", &StreamRecord::longitude},
    {"NMEA", &StreamRecord::nmea},
    {"AUTH", &StreamRecord::authentication},
    {"FEE", &StreamRecord::fee},
    {"BITRATE", &StreamRecord::bitrate},
}};

// Characters of a UTF-8 text: every byte but the continuation bytes.
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

void ShowError(MessageSink& messages, std::u16string text) {
  messages.Show(Message{std::move(text), LoadString(kStrError)});
}

}  // namespace

std::string FormatStreamTable(const std::vector<StreamRecord>& records) {
  std::array<std::size_t, kColumns.size()> widths{};
  for (std::size_t c = 0; c < kColumns.size(); ++c) {
    widths[c] = Characters(kColumns[c].title);
    for (const auto& record : records) {
      widths[c] = std::max(widths[c], Characters(record.*kColumns[c].field));
    }
  }
  std::string out;
  const auto addRow = [&](auto cell) {
    std::string line;
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
      const std::string_view text = cell(c);
      line += text;
      if (c + 1 < kColumns.size()) line.append(widths[c] - Characters(text) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + '\n';
  };
  addRow([](std::size_t c) { return std::string_view(kColumns[c].title); });
  for (const auto& record : records) {
    addRow([&](std::size_t c) { return std::string_view(record.*kColumns[c].field); });
  }
  return out;
}

int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock) {
  bool longListing = false;
  std::string target;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--long") {
      longListing = true;
    } else if (target.empty() && !args[i].starts_with("-")) {
      target = args[i];
    } else {
      std::fprintf(stderr, "quillon sourcetable: unexpected argument '%s'\n", args[i].c_str());
      return 2;
    }
  }
  if (target.empty()) {
    std::fputs("Usage: quillon sourcetable HOST[:PORT] [--long]\n", stderr);
    return 2;
  }

  std::string_view host;
  std::int32_t port = kDefaultCasterPort;
  if (!SplitCasterArgument(target, host, port) || port == 0) {
    ShowError(messages, LoadString(kStrPortInvalid));
    return 1;
  }
  if (host.empty()) {
    ShowError(messages, LoadString(kStrAddressEmpty));
    return 1;
  }

  CNtripSourceTable table;
  std::string reply;
  if (!table.GetSourceTable(messages, std::u16string(EightBitToWide(host)), port, clock, &reply)) return 1;

  if (longListing) {
    std::fputs(FormatStreamTable(ParseStreamRecords(reply)).c_str(), out);
  } else {
    for (int i = 0; i < table.GetCount(); ++i) {
      MountPointSlot name;
      std::fprintf(out, "%s\n", table.GetMountPoint(i, &name)->data());
    }
  }
  std::fflush(out);
  return 0;
}

}  // namespace quillon::cli
