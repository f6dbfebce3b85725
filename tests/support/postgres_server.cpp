#include "postgres_server.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "history/postgres_connection.h"

namespace {

const std::string kBin = "/usr/lib/postgresql/15/bin/";

bool AsRoot() {
  return geteuid() == 0;
}

// Runs the command (as the server's user when we are root) with its output in `log`; its
// exit status.
int Run(std::vector<std::string> argv, const std::string& log) {
  if (AsRoot()) {
    argv.insert(argv.begin(), {"runuser", "-u", PostgresServer::kUser, "--"});
  }
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> args;
    for (std::string& arg : argv) {
      args.push_back(arg.data());
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string Contents(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// As root: the user the server runs as, and the folder and file handed to it.
void PrepareUser(const std::string& folder) {
  if (!AsRoot()) {
    return;
  }
  if (!getpwnam(PostgresServer::kUser) &&
      std::system("useradd --system --no-create-home --shell /usr/sbin/nologin kqmtest") != 0 &&
      !getpwnam(PostgresServer::kUser)) {
    throw std::runtime_error("cannot make the user kqmtest for the PostgreSQL server");
  }
  const passwd* user = getpwnam(PostgresServer::kUser);
  if (chown(folder.c_str(), user->pw_uid, user->pw_gid) != 0) {
    throw std::runtime_error("cannot hand " + folder + " to kqmtest");
  }
}

// Waits until the pipe's other end closes, then stops the server and removes the folder.
[[noreturn]] void Guard(int pipe, const std::string& folder) {
  setsid();
  char ignored;
  while (read(pipe, &ignored, 1) != 0) {
  }
  Run({kBin + "pg_ctl", "stop", "-D", folder + "/data", "-m", "immediate", "-w"}, "/dev/null");
  std::filesystem::remove_all(folder);
  _exit(0);
}

}  // namespace

PostgresServer::PostgresServer() {
  char pattern[] = "/tmp/kqm-pg-XXXXXX";
  if (!mkdtemp(pattern)) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  folder_ = pattern;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    throw std::runtime_error("cannot make a pipe");
  }
  guardPid_ = fork();
  if (guardPid_ == 0) {
    close(ends[1]);
    Guard(ends[0], folder_);
  }
  close(ends[0]);
  guard_ = ends[1];
  PrepareUser(folder_);
  const std::string log = folder_ + "/setup.log";
  std::ofstream(folder_ + "/password") << kPassword;
  if (AsRoot()) {
    const passwd* user = getpwnam(kUser);
    if (chown((folder_ + "/password").c_str(), user->pw_uid, user->pw_gid) != 0) {
      throw std::runtime_error("cannot hand the password file to kqmtest");
    }
  }
  const bool made = Run({kBin + "initdb", "-D", folder_ + "/data", "-U", kUser,
                         "--pwfile=" + folder_ + "/password", "-A", "scram-sha-256", "-E", "UTF8",
                         "--locale=C", "--no-sync"},
                        log) == 0;
  if (!made ||
      Run({kBin + "pg_ctl", "start", "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-w",
           "-t", "60", "-o", "-c listen_addresses='' -k " + folder_ + " -c fsync=off"},
          log) != 0) {
    const std::string text = Contents(log) + Contents(folder_ + "/server.log");
    Stop();
    throw std::runtime_error("the PostgreSQL server did not start:\n" + text);
  }
}

PostgresServer::~PostgresServer() {
  Stop();
}

void PostgresServer::Stop() {
  if (guard_ >= 0) {
    close(guard_);
    guard_ = -1;
    waitpid(guardPid_, nullptr, 0);
  }
}

std::string PostgresServer::Url(const std::string& database) const {
  return std::string("postgresql://") + kUser + ":" + kUrlPassword + "@/" + database +
         "?host=" + folder_;
}

std::string PostgresServer::CreateDatabase() {
  const std::string name = "line_" + std::to_string(++databases_);
  history::PgConnection admin(Url("postgres"));
  admin.Exec("CREATE DATABASE " + name);
  return name;
}
