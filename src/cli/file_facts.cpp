#include "file_facts.h"

#include <QByteArray>
#include <QCryptographicHash>

#include "update_file_check.h"

namespace corvane::cli {

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes) {
  QCryptographicHash hash(QCryptographicHash::Sha256);
  hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
  return hash.result().toHex().toStdString();
}

FileFacts DescribeFile(const std::string& path, TransferKind kind,
                       const std::shared_ptr<const std::vector<std::uint8_t>>& bytes) {
  FileFacts facts;
  facts.path = path;
  if (!bytes) return facts;
  facts.read = true;
  facts.size = bytes->size();
  facts.sha256 = Sha256Hex(*bytes);
  if (const auto header = DecodeUpdateHeader(kind, bytes->data(), bytes->size())) facts.version = header->version;
  return facts;
}

}  // namespace corvane::cli
