#include "QuireCore/JsonDecoding.h"

#include <QJsonDocument>
#include <QRegularExpression>

JsonRecord::JsonRecord(const QJsonValue& value, const char* typeName)
    : m_typeName(typeName) {
    if (value.isObject())
        m_object = value.toObject();
    else
        m_error = DecodeError{QStringLiteral("%1: expected a keyed record").arg(QLatin1String(typeName))};
}

void JsonRecord::fail(const char* key, const QString& problem) {
    if (!m_error)
        m_error = DecodeError{
            QStringLiteral("%1.%2: %3").arg(QLatin1String(m_typeName), QLatin1String(key), problem)};
}

QJsonValue JsonRecord::requiredValue(const char* key) {
    if (failed())
        return {};
    const auto it = m_object.constFind(QLatin1String(key));
    if (it == m_object.constEnd()) {
        fail(key, QStringLiteral("required key is missing"));
        return {};
    }
    return it.value();
}

std::optional<QJsonValue> JsonRecord::optionalValue(const char* key) {
    if (failed())
        return std::nullopt;
    const auto it = m_object.constFind(QLatin1String(key));
    if (it == m_object.constEnd() || it.value().isNull())
        return std::nullopt;
    return it.value();
}

namespace {

std::optional<qint64> integerOf(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    // toInteger answers the fallback for values that are not whole numbers in
    // range; two different fallbacks tell those apart from a genuine value.
    const qint64 a = value.toInteger(0);
    if (a != value.toInteger(1))
        return std::nullopt;
    return a;
}

} // namespace

QString JsonRecord::requiredString(const char* key) {
    const QJsonValue value = requiredValue(key);
    if (!failed() && !value.isString())
        fail(key, QStringLiteral("expected a string"));
    return failed() ? QString() : value.toString();
}

qint64 JsonRecord::requiredInteger(const char* key) {
    const QJsonValue value = requiredValue(key);
    if (failed())
        return 0;
    const std::optional<qint64> integer = integerOf(value);
    if (!integer)
        fail(key, QStringLiteral("expected an integer"));
    return integer.value_or(0);
}

double JsonRecord::requiredDouble(const char* key) {
    const QJsonValue value = requiredValue(key);
    if (!failed() && !value.isDouble())
        fail(key, QStringLiteral("expected a number"));
    return failed() ? 0.0 : value.toDouble();
}

bool JsonRecord::requiredBool(const char* key) {
    const QJsonValue value = requiredValue(key);
    if (!failed() && !value.isBool())
        fail(key, QStringLiteral("expected a boolean"));
    return !failed() && value.toBool();
}

QUuid JsonRecord::requiredUuid(const char* key) {
    const QString text = requiredString(key);
    if (failed())
        return {};
    const std::optional<QUuid> id = uuidFromText(text);
    if (!id)
        fail(key, QStringLiteral("expected a UUID"));
    return id.value_or(QUuid());
}

QByteArray JsonRecord::requiredBase64(const char* key) {
    const QString text = requiredString(key);
    if (failed())
        return {};
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(key, QStringLiteral("expected base64 data"));
    return decoded ? *decoded : QByteArray();
}

QByteArray JsonRecord::optionalBase64(const char* key) {
    const std::optional<QString> text = optionalString(key);
    if (!text)
        return {};
    auto decoded = QByteArray::fromBase64Encoding(text->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail(key, QStringLiteral("expected base64 data"));
    return decoded ? *decoded : QByteArray();
}

std::optional<QString> JsonRecord::optionalString(const char* key) {
    const std::optional<QJsonValue> value = optionalValue(key);
    if (!value)
        return std::nullopt;
    if (!value->isString()) {
        fail(key, QStringLiteral("expected a string"));
        return std::nullopt;
    }
    return value->toString();
}

std::optional<qint64> JsonRecord::optionalInteger(const char* key) {
    const std::optional<QJsonValue> value = optionalValue(key);
    if (!value)
        return std::nullopt;
    const std::optional<qint64> integer = integerOf(*value);
    if (!integer)
        fail(key, QStringLiteral("expected an integer"));
    return integer;
}

std::optional<bool> JsonRecord::optionalBool(const char* key) {
    const std::optional<QJsonValue> value = optionalValue(key);
    if (!value)
        return std::nullopt;
    if (!value->isBool()) {
        fail(key, QStringLiteral("expected a boolean"));
        return std::nullopt;
    }
    return value->toBool();
}

QByteArray jsonText(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Decoded<QJsonValue> parseJsonText(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return DecodeError{
            QStringLiteral("malformed JSON at offset %1: %2").arg(error.offset).arg(error.errorString())};
    if (document.isObject())
        return QJsonValue(document.object());
    return QJsonValue(document.array());
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces);
}

std::optional<QUuid> uuidFromText(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}
