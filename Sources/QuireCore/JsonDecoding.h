#pragma once

#include "QuireCore/Result.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>
#include <utility>

// Decoding of the model's serialised (JSON) forms. Input may be anything: a
// malformed record is an error value naming the offending key, never a crash.

struct DecodeError {
    QString message;
};

template <typename T> using Decoded = Result<T, DecodeError>;

// Reads the members of one keyed record. The first problem (the value is not a
// record, a required key is missing, a value has the wrong type) is remembered;
// later reads then return defaults, and `finish` turns the record into an error.
class JsonRecord {
public:
    JsonRecord(const QJsonValue& value, const char* typeName);

    QString requiredString(const char* key);
    qint64 requiredInteger(const char* key);
    double requiredDouble(const char* key);
    bool requiredBool(const char* key);
    QUuid requiredUuid(const char* key);
    QByteArray requiredBase64(const char* key);
    QJsonValue requiredValue(const char* key);

    // A missing key or null gives no value; a present value of the wrong type is an error.
    std::optional<QString> optionalString(const char* key);
    std::optional<qint64> optionalInteger(const char* key);
    std::optional<bool> optionalBool(const char* key);
    std::optional<QJsonValue> optionalValue(const char* key);
    QByteArray optionalBase64(const char* key); // empty when missing

    // Decodes a nested value with T::fromJson, or a list of them.
    template <typename T> T required(const char* key) {
        const QJsonValue nested = requiredValue(key);
        if (failed())
            return T{};
        return adopt(T::fromJson(nested), key).value_or(T{});
    }
    template <typename T> QList<T> requiredList(const char* key);

    // Decodes a raw value into an enumeration through `parse` (raw string -> optional case).
    template <typename E, typename Parse> E requiredEnum(const char* key, Parse parse, E fallback) {
        const QString raw = requiredString(key);
        if (failed())
            return fallback;
        const std::optional<E> parsed = parse(raw);
        if (!parsed)
            fail(key, QStringLiteral("unknown value \"%1\"").arg(raw));
        return parsed.value_or(fallback);
    }

    void fail(const char* key, const QString& problem);
    bool failed() const { return m_error.has_value(); }

    template <typename T> Decoded<T> finish(T value) const {
        if (m_error)
            return *m_error;
        return value;
    }

private:
    template <typename T> std::optional<T> adopt(Decoded<T> nested, const char* key) {
        if (!nested.ok()) {
            fail(key, nested.error().message);
            return std::nullopt;
        }
        return std::move(nested).value();
    }

    QJsonObject m_object;
    const char* m_typeName;
    std::optional<DecodeError> m_error;
};

template <typename T> QList<T> JsonRecord::requiredList(const char* key) {
    const QJsonValue nested = requiredValue(key);
    if (failed())
        return {};
    if (!nested.isArray()) {
        fail(key, QStringLiteral("expected a list"));
        return {};
    }
    QList<T> items;
    const QJsonArray array = nested.toArray();
    items.reserve(array.size());
    for (const QJsonValue& element : array) {
        std::optional<T> item = adopt(T::fromJson(element), key);
        if (!item)
            return {};
        items.append(std::move(*item));
    }
    return items;
}

// Serialises a model value to compact JSON text.
template <typename T> QByteArray encodeJson(const T& value);
// Parses JSON text and decodes it as T; malformed text is an error.
template <typename T> Decoded<T> decodeJson(const QByteArray& text);

QByteArray jsonText(const QJsonObject& object);
Decoded<QJsonValue> parseJsonText(const QByteArray& text);
// The standard textual form (8-4-4-4-12 hexadecimal digits) and back.
QString uuidText(const QUuid& id);
std::optional<QUuid> uuidFromText(const QString& text);

template <typename T> QByteArray encodeJson(const T& value) {
    return jsonText(value.toJson());
}

template <typename T> Decoded<T> decodeJson(const QByteArray& text) {
    Decoded<QJsonValue> parsed = parseJsonText(text);
    if (!parsed.ok())
        return parsed.error();
    return T::fromJson(parsed.value());
}
