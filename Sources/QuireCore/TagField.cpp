#include "QuireCore/TagField.h"

#include "QuireCore/RawValue.h"

#include <QCoreApplication>

QString rawValue(FieldComponent component) {
    switch (component) {
    case FieldComponent::text:
        return QStringLiteral("text");
    case FieldComponent::multiline:
        return QStringLiteral("multiline");
    case FieldComponent::number:
        return QStringLiteral("number");
    case FieldComponent::boolean:
        return QStringLiteral("bool");
    case FieldComponent::date:
        return QStringLiteral("date");
    case FieldComponent::artwork:
        return QStringLiteral("artwork");
    }
    Q_UNREACHABLE();
}

std::optional<FieldComponent> fieldComponentFromRawValue(QStringView raw) {
    return caseWithRawValue(allFieldComponents, raw);
}

QString rawValue(TagField field) {
    switch (field) {
    case TagField::title:
        return QStringLiteral("title");
    case TagField::artist:
        return QStringLiteral("artist");
    case TagField::album:
        return QStringLiteral("album");
    case TagField::albumArtist:
        return QStringLiteral("albumArtist");
    case TagField::composer:
        return QStringLiteral("composer");
    case TagField::genre:
        return QStringLiteral("genre");
    case TagField::year:
        return QStringLiteral("year");
    case TagField::trackNumber:
        return QStringLiteral("trackNumber");
    case TagField::trackTotal:
        return QStringLiteral("trackTotal");
    case TagField::discNumber:
        return QStringLiteral("discNumber");
    case TagField::discTotal:
        return QStringLiteral("discTotal");
    case TagField::bpm:
        return QStringLiteral("bpm");
    case TagField::comment:
        return QStringLiteral("comment");
    case TagField::lyrics:
        return QStringLiteral("lyrics");
    case TagField::grouping:
        return QStringLiteral("grouping");
    case TagField::compilation:
        return QStringLiteral("compilation");
    }
    Q_UNREACHABLE();
}

std::optional<TagField> tagFieldFromRawValue(QStringView raw) {
    return caseWithRawValue(allTagFields, raw);
}

QString displayName(TagField field) {
    switch (field) {
    case TagField::title:
        return QCoreApplication::translate("TagField", "Title");
    case TagField::artist:
        return QCoreApplication::translate("TagField", "Artist");
    case TagField::album:
        return QCoreApplication::translate("TagField", "Album");
    case TagField::albumArtist:
        return QCoreApplication::translate("TagField", "Album Artist");
    case TagField::composer:
        return QCoreApplication::translate("TagField", "Composer");
    case TagField::genre:
        return QCoreApplication::translate("TagField", "Genre");
    case TagField::year:
        return QCoreApplication::translate("TagField", "Year");
    case TagField::trackNumber:
        return QCoreApplication::translate("TagField", "Track Number");
    case TagField::trackTotal:
        return QCoreApplication::translate("TagField", "Track Total");
    case TagField::discNumber:
        return QCoreApplication::translate("TagField", "Disc Number");
    case TagField::discTotal:
        return QCoreApplication::translate("TagField", "Disc Total");
    case TagField::bpm:
        return QCoreApplication::translate("TagField", "BPM");
    case TagField::comment:
        return QCoreApplication::translate("TagField", "Comment");
    case TagField::lyrics:
        return QCoreApplication::translate("TagField", "Lyrics");
    case TagField::grouping:
        return QCoreApplication::translate("TagField", "Grouping");
    case TagField::compilation:
        return QCoreApplication::translate("TagField", "Compilation");
    }
    Q_UNREACHABLE();
}

FieldComponent component(TagField field) {
    switch (field) {
    case TagField::year:
    case TagField::trackNumber:
    case TagField::trackTotal:
    case TagField::discNumber:
    case TagField::discTotal:
    case TagField::bpm:
        return FieldComponent::number;
    case TagField::comment:
    case TagField::lyrics:
        return FieldComponent::multiline;
    case TagField::compilation:
        return FieldComponent::boolean;
    default:
        return FieldComponent::text;
    }
}
