#include "json_parse.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <stdexcept>

namespace sorvane::testing {
namespace {

// Qt's parser: independent of the writer under test.
Json FromQt(const QJsonValue& v) {
  Json j;
  switch (v.type()) {
    case QJsonValue::Bool:
      j.type = Json::Type::kBool;
      j.boolean = v.toBool();
      break;
    case QJsonValue::Double:
      j.type = Json::Type::kNumber;
      j.number = v.toDouble();
      break;
    case QJsonValue::String:
      j.type = Json::Type::kString;
      j.string = v.toString().toStdString();
      break;
    case QJsonValue::Array:
      j.type = Json::Type::kArray;
      for (const QJsonValue& item : v.toArray()) j.array.push_back(FromQt(item));
      break;
    case QJsonValue::Object: {
      j.type = Json::Type::kObject;
      const QJsonObject o = v.toObject();
      for (auto it = o.begin(); it != o.end(); ++it) j.object[it.key().toStdString()] = FromQt(*it);
      break;
    }
    default:
      break;
  }
  return j;
}

}  // namespace

Json ParseJson(std::string_view text) {
  // Wrapped in an array, so that a document holding a lone value parses too.
  const QByteArray bytes = "[" + QByteArray(text.data(), static_cast<qsizetype>(text.size())) + "]";
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || doc.array().size() != 1) {
    throw std::runtime_error("not JSON at offset " + std::to_string(error.offset - 1) + ": " +
                             error.errorString().toStdString());
  }
  return FromQt(doc.array().at(0));
}

}  // namespace sorvane::testing
