#include "process_timer.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

double NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double CpuMs(const rusage& usage) {
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// One run; false when the command could not run or failed.
bool RunOnce(const TimedCommand& command, double& wallMs, double& cpuMs) {
  std::vector<char*> argv;
  for (const std::string& argument : command.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const double start = NowMs();
  const pid_t child = fork();
  if (child < 0)
    return false;
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child)
    return false;
  wallMs = NowMs() - start;
  cpuMs = CpuMs(usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<CommandTimings> TimeInterleaved(const std::vector<TimedCommand>& commands, int runs,
                                            int warmups) {
  std::vector<CommandTimings> timings(commands.size());
  const std::size_t count = commands.size();
  for (int round = -warmups; round < runs; ++round) {
    for (std::size_t turn = 0; turn < count; ++turn) {
      const std::size_t index = (turn + static_cast<std::size_t>(round + warmups)) % count;
      double wall = 0, cpu = 0;
      const bool ok = RunOnce(commands[index], wall, cpu);
      if (round < 0)
        continue;
      if (!ok) {
        ++timings[index].failures;
        continue;
      }
      timings[index].wallMs.push_back(wall);
      timings[index].cpuMs.push_back(cpu);
    }
  }
  return timings;
}
