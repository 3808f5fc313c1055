#pragma once

#include <QString>

// The error of both tag services, with the text the user is shown.
class TagReaderError {
public:
    enum class Kind { readError, invalidNumber, failedToOpen, writeFailed, tagsNotReadCompletely };

    static TagReaderError readError(const QString& message) { return {Kind::readError, message}; }
    static TagReaderError invalidNumber(const QString& fieldLabel) {
        return {Kind::invalidNumber, fieldLabel};
    }
    static TagReaderError failedToOpen() { return {Kind::failedToOpen, {}}; }
    static TagReaderError writeFailed() { return {Kind::writeFailed, {}}; }
    // The file's tags hold more than could be read, and a save would lose it;
    // the file is left as it is.
    static TagReaderError tagsNotReadCompletely() { return {Kind::tagsNotReadCompletely, {}}; }

    Kind kind() const { return m_kind; }
    // The read error's message or the invalid number's field label.
    const QString& payload() const { return m_payload; }
    QString description() const;

    bool operator==(const TagReaderError&) const = default;

private:
    TagReaderError(Kind kind, QString payload)
        : m_kind(kind)
        , m_payload(std::move(payload)) {}

    Kind m_kind;
    QString m_payload;
};
