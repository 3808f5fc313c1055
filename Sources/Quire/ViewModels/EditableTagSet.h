#pragma once

#include "QuireCore/TagSet.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <array>

// The merged, editable view of the selection's tags that the inspector shows:
// for each field the value all selected files share, as text, and whether the
// files disagree ("varies"). A varying field holds empty text. Numbers are
// held as their decimal text. Observers are told of every assignment.
class EditableTagSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool compilation READ compilation WRITE setCompilation NOTIFY fieldChanged)
    Q_PROPERTY(bool compilationVaries READ compilationVaries WRITE setCompilationVaries NOTIFY fieldChanged)

public:
    explicit EditableTagSet(QObject* parent = nullptr);

    // Overwrites every field from the merged tags and the set of varying fields.
    void syncFromBatch(const TagSet& merged, const QSet<TagField>& varies);

    // For compilation these work on the flag: "1" or "0", and "1"/"true" sets it.
    QString stringValue(TagField field) const;
    void setString(const QString& text, TagField field);
    bool varies(TagField field) const;
    void clearVaries(TagField field);

    bool compilation() const { return m_compilation; }
    void setCompilation(bool value);
    bool compilationVaries() const { return m_varies[index(TagField::compilation)]; }
    void setCompilationVaries(bool value);

signals:
    // Emitted after every assignment to a field's text, flag or varies mark.
    void fieldChanged(TagField field);

private:
    static constexpr std::size_t index(TagField field) { return static_cast<std::size_t>(field); }
    void setVaries(TagField field, bool value);

    std::array<QString, 16> m_text;  // by field; the compilation slot is unused
    std::array<bool, 16> m_varies{}; // by field
    bool m_compilation = false;
};
