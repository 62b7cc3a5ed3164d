// Times whole processes: each command is started, waited for and timed as one wall-clock
// span, with its standard output sent to /dev/null. The commands take turns (A, B, C, A, B,
// C, ...) so that a change in the machine's load falls on all of them alike. After the warm-up
// rounds every run is kept, and for each command one line is printed:
//
//   command=I runs=N median_us=.. min_us=.. max_us=.. peak_rss_kib=.. failed_runs=N
//   runs_us=T1,T2,... argv0=PATH
//
// runs_us lists every kept run in the order they were made, so that run k of one command can
// be set against run k of another (paired runs).
// peak_rss_kib is the largest maximum resident set size the kernel reports for the command's
// runs. The kernel counts the launching process's own resident memory at the moment of exec
// in that figure, which is why this program is kept small and linked statically.
//
//   hlext_process_timer [--runs N] [--warmup N] -- COMMAND [ARGS...] [:: COMMAND [ARGS...]]...
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

struct Command {
  std::vector<char*> argv;  // null-terminated
  std::vector<double> micros;
  long peakKib = 0;
  int failedRuns = 0;
};

struct Run {
  double micros = 0;
  long maxRssKib = 0;
  bool succeeded = false;
};

Run runOnce(const Command& command, posix_spawn_file_actions_t& actions) {
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, command.argv[0], &actions, nullptr, command.argv.data(), environ) != 0)
    return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  const auto stop = std::chrono::steady_clock::now();
  run.micros = std::chrono::duration<double, std::micro>(stop - start).count();
  run.maxRssKib = usage.ru_maxrss;
  run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int usage() {
  std::fprintf(stderr,
               "usage: hlext_process_timer [--runs N] [--warmup N] -- COMMAND [ARGS...] "
               "[:: COMMAND [ARGS...]]...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 21;
  int warmup = 3;
  int arg = 1;
  for (; arg < argc; ++arg) {
    const std::string_view option = argv[arg];
    if (option == "--") {
      ++arg;
      break;
    }
    if (arg + 1 >= argc) return usage();
    if (option == "--runs")
      runs = std::atoi(argv[++arg]);
    else if (option == "--warmup")
      warmup = std::atoi(argv[++arg]);
    else
      return usage();
  }
  if (runs < 1 || warmup < 0) return usage();

  std::vector<Command> commands(1);
  for (; arg < argc; ++arg) {
    if (std::string_view(argv[arg]) == "::") {
      commands.emplace_back();
      continue;
    }
    commands.back().argv.push_back(argv[arg]);
  }
  for (Command& command : commands) {
    if (command.argv.empty()) return usage();
    command.argv.push_back(nullptr);
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  for (int round = 0; round < warmup + runs; ++round) {
    for (Command& command : commands) {
      const Run run = runOnce(command, actions);
      if (round < warmup) continue;
      if (!run.succeeded) ++command.failedRuns;
      command.micros.push_back(run.micros);
      command.peakKib = std::max(command.peakKib, run.maxRssKib);
    }
  }
  posix_spawn_file_actions_destroy(&actions);

  bool allSucceeded = true;
  for (std::size_t index = 0; index < commands.size(); ++index) {
    const Command& command = commands[index];
    const auto [low, high] = std::minmax_element(command.micros.begin(), command.micros.end());
    std::printf(
        "command=%zu runs=%zu median_us=%.1f min_us=%.1f max_us=%.1f peak_rss_kib=%ld "
        "failed_runs=%d runs_us=",
        index + 1, command.micros.size(), median(command.micros), *low, *high, command.peakKib,
        command.failedRuns);
    for (std::size_t run = 0; run < command.micros.size(); ++run)
      std::printf("%s%.1f", run == 0 ? "" : ",", command.micros[run]);
    std::printf(" argv0=%s\n", command.argv[0]);
    allSucceeded = allSucceeded && command.failedRuns == 0;
  }
  return allSucceeded ? 0 : 1;
}
