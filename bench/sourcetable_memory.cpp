// Peak resident memory of the real `quillon sourcetable` executable while it lists a large table
// from the demo caster, next to the same run for a table of one stream. The caster runs in this
// process, so each figure is the executable's own.
//
//   sourcetable_memory [QUILLON] [OPTIONS...]
//     (default: the quillon built with this program; OPTIONS go to the command, such as --long
//      or --format json)
#include <sys/resource.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "demo/demo_caster.h"
#include "ntrip/source_table_text.h"

namespace quillon {
namespace {

// The table's size: the 3 MB, as large public casters send.
constexpr std::size_t kTableBytes = 3u << 20;

struct Options {
  std::string executable = QUILLON_EXECUTABLE;
  std::vector<std::string> commandOptions;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (i == 1 && !word.starts_with("-")) {
      options.executable = word;
    } else {
      options.commandOptions.push_back(word);
    }
  }
  return options;
}

// A table of at least `bytes` bytes, of records as long as real casters' (about 150 bytes).
std::string TableOf(std::size_t bytes) {
  StrFields fields;
  fields.identifier = "Potsdam Telegrafenberg";
  fields.formatDetails = "1004(1),1006(10),1008(10),1012(1),1033(10),1230(10)";
  std::string table;
  for (int i = 0; table.size() < bytes; ++i) {
    table += MakeStrRecord("MOUNT" + std::to_string(i), fields);
    table += "\r\n";
  }
  return table;
}

struct Run {
  int exitStatus = -1;
  double peakMegabytes = 0.0;
};

// Runs `quillon sourcetable` against `caster` with its listing thrown away.
Run RunCommand(const Options& options, const DemoCaster& caster) {
  std::vector<std::string> words = {options.executable, "sourcetable",
                                    "127.0.0.1:" + std::to_string(caster.Port())};
  words.insert(words.end(), options.commandOptions.begin(), options.commandOptions.end());
  const pid_t pid = bench::StartQuietly(std::move(words));
  Run run;
  if (pid < 0) return run;
  rusage usage{};
  int status = 0;
  if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
    run.exitStatus = WEXITSTATUS(status);
  }
  run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  std::setlocale(LC_ALL, "");
  const Options options = ParseOptions(argc, argv);
  DemoCasterConfig small;
  small.sourceTable = TableOf(1);
  DemoCaster smallCaster(small);
  const Run baseline = RunCommand(options, smallCaster);

  DemoCasterConfig large;
  large.sourceTable = TableOf(kTableBytes);
  const double tableMegabytes = static_cast<double>(large.sourceTable.size()) / (1 << 20);
  DemoCaster largeCaster(large);
  const Run measured = RunCommand(options, largeCaster);

  if (baseline.exitStatus != 0 || measured.exitStatus != 0) {
    std::fprintf(stderr, "%s sourcetable failed (exit status %d and %d)\n",
                 options.executable.c_str(), baseline.exitStatus, measured.exitStatus);
    return 1;
  }
  std::printf(
      "quillon sourcetable, a %.1f MB table: peak resident memory %.1f MB (%.1f MB with a "
      "table of one stream: %.1f MB for the table)\n",
      tableMegabytes, measured.peakMegabytes, baseline.peakMegabytes,
      measured.peakMegabytes - baseline.peakMegabytes);
  return 0;
}
