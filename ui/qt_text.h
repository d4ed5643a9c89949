// Conversions between the core's byte strings and Qt's strings. Texts use the local 8-bit
// encoding and paths the file system's, so names read from disk reach the core unchanged.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

namespace velodex {

inline QString FromBytes(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToBytes(const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

inline QString FromPathBytes(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

inline std::string ToPathBytes(const QString& path) {
  const QByteArray bytes = QFile::encodeName(path);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace velodex
