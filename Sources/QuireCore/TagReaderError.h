#pragma once

#include <QString>

// The error of both tag services, with the text the user is shown.
class TagReaderError {
public:
    enum class Kind {
        readError,
        invalidNumber,
        failedToOpen,
        writeFailed,
        tagsNotReadCompletely,
        duplicateTags,
        valueTooLarge,
        missing,
        noPermission,
        readOnlyFileSystem,
        unsupportedVariant,
        emptyFile,
        notAFile,
        notEnoughSpace,
        notANumber,
        picturesChanged,
    };

    static TagReaderError readError(const QString& message) { return {Kind::readError, message}; }
    static TagReaderError invalidNumber(const QString& fieldLabel) {
        return {Kind::invalidNumber, fieldLabel};
    }
    static TagReaderError failedToOpen() { return {Kind::failedToOpen, {}}; }
    static TagReaderError writeFailed() { return {Kind::writeFailed, {}}; }
    // The file's tags hold more than could be read, and a save would lose it;
    // the file is left as it is.
    static TagReaderError tagsNotReadCompletely() { return {Kind::tagsNotReadCompletely, {}}; }
    // The file holds two tags of the same kind (two ID3 chunks, say), which a
    // save cannot keep both of; the file is left as it is.
    static TagReaderError duplicateTags() { return {Kind::duplicateTags, {}}; }
    // A value above what the format can hold. Without a field label, the
    // format's writer refused a value it did not name.
    static TagReaderError valueTooLarge(const QString& fieldLabel, const QString& formatName, qint64 limit) {
        return {Kind::valueTooLarge, fieldLabel, formatName, limit};
    }
    static TagReaderError valueTooLarge() { return {Kind::valueTooLarge, {}}; }
    static TagReaderError missing() { return {Kind::missing, {}}; }
    // forWriting: the file may be read but not changed.
    static TagReaderError noPermission(bool forWriting) {
        return {Kind::noPermission, {}, {}, forWriting ? 1 : 0};
    }
    static TagReaderError readOnlyFileSystem() { return {Kind::readOnlyFileSystem, {}}; }
    // reason: the English sentence naming the variant, such as "RF64 WAV files
    // are not supported"; shown translated where a translation exists.
    static TagReaderError unsupportedVariant(const QString& reason) {
        return {Kind::unsupportedVariant, reason};
    }
    static TagReaderError emptyFile() { return {Kind::emptyFile, {}}; }
    // A folder, a device or a pipe has the file's name.
    static TagReaderError notAFile() { return {Kind::notAFile, {}}; }
    // The file system has too little room for the saved file.
    static TagReaderError notEnoughSpace() { return {Kind::notEnoughSpace, {}}; }
    // Text that is not a number ("A1") for a field the format keeps as a
    // number. Without a field label, the format's writer did not name it.
    static TagReaderError notANumber(const QString& fieldLabel = {}, const QString& formatName = {}) {
        return {Kind::notANumber, fieldLabel, formatName};
    }

    // The file no longer holds a picture that was read from it, whose bytes
    // were left on disk until needed: it changed since it was read.
    static TagReaderError picturesChanged() { return {Kind::picturesChanged, {}}; }

    Kind kind() const { return m_kind; }
    // The read error's message, the invalid or too large number's field label,
    // or the unsupported variant's reason.
    const QString& payload() const { return m_payload; }
    QString description() const;

    bool operator==(const TagReaderError&) const = default;

private:
    TagReaderError(Kind kind, QString payload, QString detail = {}, qint64 number = 0)
        : m_kind(kind)
        , m_payload(std::move(payload))
        , m_detail(std::move(detail))
        , m_number(number) {}

    Kind m_kind;
    QString m_payload;
    QString m_detail; // valueTooLarge: the format's name
    qint64 m_number;  // valueTooLarge: the limit; noPermission: 1 for writing
};
