#include "ser2net_rig.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::testing {

namespace {

constexpr int kStartDeadlineMs = 20000;

// Whether something listens on 127.0.0.1:`port` (the kernel's table; no connection is made,
// since a connection makes ser2net open its device).
bool Listening(int port) {
  QFile table("/proc/net/tcp");
  if (!table.open(QIODevice::ReadOnly)) return false;
  const QString local = QString("0100007F:%1").arg(port, 4, 16, QChar('0')).toUpper();
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() > 3 && QString::fromLatin1(fields[1]) == local && fields[3] == "0A") return true;
  }
  return false;
}

}  // namespace

QString Ser2netProgram() {
  QString path = QStandardPaths::findExecutable("ser2net");
  if (path.isEmpty()) path = QStandardPaths::findExecutable("ser2net", {"/usr/sbin", "/sbin", "/usr/local/sbin"});
  return path;
}

int FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

Ser2net::~Ser2net() {
  if (!process_ || process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (!process_->waitForFinished(5000)) {
    process_->kill();
    process_->waitForFinished();
  }
}

QStringList Ser2net::Start(const std::vector<Serve>& serves, QString* error) {
  QStringList urls;
  std::vector<int> ports;
  QString config;
  for (std::size_t i = 0; i < serves.size(); ++i) {
    const int port = FreeTcpPort();
    ports.push_back(port);
    const Serve& serve = serves[i];
    config += QString("connection: &line%1\n  accepter: %2tcp,127.0.0.1,%3\n  connector: serialdev,%4,%5,local\n")
                  .arg(i)
                  .arg(serve.rfc2217 ? "telnet(rfc2217)," : "")
                  .arg(port)
                  .arg(serve.pty, serve.lineSettings);
    if (!serve.charDelay) config += "  options:\n    chardelay: false\n";
    urls << QString("%1://127.0.0.1:%2").arg(serve.rfc2217 ? "rfc2217" : "socket").arg(port);
  }
  QFile file(dir_.filePath("ser2net.yaml"));
  if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) != config.toUtf8().size()) {
    *error = "cannot write the configuration";
    return {};
  }
  file.close();
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::MergedChannels);
  process_->start(Ser2netProgram(), {"-n", "-d", "-c", file.fileName(), "-P", dir_.filePath("ser2net.pid")});
  if (!process_->waitForStarted()) {
    *error = "ser2net did not start";
    return {};
  }
  const QDeadlineTimer deadline(kStartDeadlineMs);
  for (const int port : ports) {
    while (!Listening(port)) {
      if (deadline.hasExpired() || process_->state() == QProcess::NotRunning) {
        *error = "ser2net does not listen on " + QString::number(port) + ": " + Log();
        return {};
      }
      process_->waitForFinished(10);  // a short pause that ends early when it exits
    }
  }
  return urls;
}

void Ser2net::Kill() {
  if (!process_) return;
  process_->kill();
  process_->waitForFinished();
}

QString Ser2net::Log() const { return process_ ? QString::fromUtf8(process_->readAll()) : QString(); }

Devsim::~Devsim() {
  if (!process_ || process_->state() == QProcess::NotRunning) return;
  process_->terminate();
  if (!process_->waitForFinished(5000)) process_->kill();
  process_->waitForFinished();
}

QStringList Devsim::Start(const QStringList& arguments, int count, QString* error) {
  process_ = std::make_unique<QProcess>();
  process_->start(CORVANE_DEVSIM_PATH, arguments + QStringList{"--count", QString::number(count)});
  QStringList paths;
  const QDeadlineTimer deadline(kStartDeadlineMs);
  while (paths.size() < count) {
    if (process_->canReadLine()) {
      paths << QString::fromUtf8(process_->readLine()).trimmed();
      continue;
    }
    if (deadline.hasExpired() || !process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      *error = "corvane-devsim printed no paths: " + QString::fromUtf8(process_->readAllStandardError());
      return {};
    }
  }
  return paths;
}

QStringList Devsim::WaitForLines(const QString& text, int count, bool stop) {
  if (stop) {
    process_->terminate();
    process_->waitForFinished(kStartDeadlineMs);
  }
  const QDeadlineTimer deadline(kStartDeadlineMs);
  while (true) {
    output_ += QString::fromUtf8(process_->readAllStandardOutput());
    QStringList found;
    for (const QString& line : output_.split('\n'))
      if (line.contains(text)) found << line;
    if (found.size() >= count || deadline.hasExpired() || process_->state() == QProcess::NotRunning) return found;
    process_->waitForReadyRead(50);
  }
}

}  // namespace corvane::testing
