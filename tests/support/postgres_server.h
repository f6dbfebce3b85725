#pragma once
#include <sys/types.h>

#include <string>

// A PostgreSQL server of its own for the tests and the benchmark: a new cluster in a temporary
// folder, listening on a Unix socket in that folder only, with a password. It runs as an
// unprivileged user (kqmtest, made when missing, when the program runs as root). A guard
// process in its own session stops the server and removes the folder when this object goes,
// and also when the program dies without its destructors (a crash, kill -9, a time-out).
class PostgresServer {
 public:
  static constexpr const char* kUser = "kqmtest";
  // Characters that URLs must encode and that libpq may echo.
  static constexpr const char* kPassword = "s3cr3t-Kq#m 9";
  static constexpr const char* kUrlPassword = "s3cr3t-Kq%23m%209";

  // Throws std::runtime_error with the server's log when it will not start.
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  const std::string& SocketDirectory() const { return folder_; }
  // "postgresql://kqmtest:...@/DATABASE?host=FOLDER".
  std::string Url(const std::string& database) const;
  // A new, empty database; its name.
  std::string CreateDatabase();

 private:
  // Tells the guard to stop the server and remove the folder, and waits for it.
  void Stop();

  std::string folder_;
  int guard_ = -1;  // the pipe whose end tells the guard to clean up
  pid_t guardPid_ = -1;
  int databases_ = 0;
};
