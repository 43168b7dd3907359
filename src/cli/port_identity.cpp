#include "port_identity.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include "port_path.h"

namespace corvane::cli {
namespace {

QString Canonical(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  return canonical.isEmpty() ? path : canonical;
}

QString ByIdLink(const QString& device) {
  const QDir byId(QStringLiteral("/dev/serial/by-id"));
  for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
    if (Canonical(link.absoluteFilePath()) == device) return link.absoluteFilePath();
  }
  return {};
}

QString UsbSerial(const QString& device) {
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (Canonical(info.systemLocation()) == device) return info.serialNumber();
  }
  return {};
}

}  // namespace

PortIdentity LookUpPortIdentity(const std::string& port) {
  const QString device = Canonical(QString::fromStdString(PortPath(port)));
  return {ByIdLink(device).toStdString(), UsbSerial(device).toStdString()};
}

}  // namespace corvane::cli
