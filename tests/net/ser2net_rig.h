// A real ser2net for the tests, on loopback only: its configuration written here, one connection
// per pseudo-terminal (RFC 2217 or raw TCP accepter), the TCP ports chosen free; and
// corvane-devsim as a child process.
#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace corvane::testing {

// ser2net's path, or empty when it is not installed.
QString Ser2netProgram();

// A TCP port on 127.0.0.1 that nobody listened on a moment ago.
int FreeTcpPort();

class Ser2net {
 public:
  struct Serve {
    QString pty;
    bool rfc2217 = true;
    QString lineSettings = "115200n81";  // what ser2net puts the line to when it opens it
    // ser2net's default: bytes from the line are held until it has been quiet for a while
    // (about 20 character times, 1 to 20 ms), so a frame tends to go out whole.
    bool charDelay = true;
  };
  ~Ser2net();
  // Starts it serving each of `serves`; returns the port URLs in the same order once every
  // accepter listens, or nothing with `error` set.
  QStringList Start(const std::vector<Serve>& serves, QString* error);
  void Kill();  // SIGKILL: its connections drop at once
  QString Log() const;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<QProcess> process_;
};

// corvane-devsim with `arguments`: the controllers' pseudo-terminals (its first lines), and what
// it prints later.
class Devsim {
 public:
  ~Devsim();
  QStringList Start(const QStringList& arguments, int count, QString* error);
  // Waits until `count` lines holding `text` were printed after the paths (stops it first when
  // `stop`); returns those lines.
  QStringList WaitForLines(const QString& text, int count, bool stop);

 private:
  std::unique_ptr<QProcess> process_;
  QString output_;
};

}  // namespace corvane::testing
