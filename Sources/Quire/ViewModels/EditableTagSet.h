#pragma once

#include "QuireCore/TagSet.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <array>

// The merged, editable view of the selection's tags that the inspector shows:
// for each field and each custom item the value all selected files share, as
// text, and whether the files disagree ("varies"). A varying field holds empty
// text. Numeric fields hold their text as stored. Observers are told of every
// assignment.
class EditableTagSet : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool compilation READ compilation WRITE setCompilation NOTIFY fieldChanged)
    Q_PROPERTY(bool compilationVaries READ compilationVaries WRITE setCompilationVaries NOTIFY fieldChanged)

public:
    explicit EditableTagSet(QObject* parent = nullptr);

    // Overwrites every field and custom item from the selected files' tags.
    void syncFromBatch(const QList<const TagSet*>& sets);

    // For compilation these work on the flag: "1" or "0", and "1"/"true" sets it.
    // A custom item the selection lacks is empty text.
    QString stringValue(const FieldKey& key) const;
    void setString(const QString& text, TagField field);
    bool varies(const FieldKey& key) const;
    void clearVaries(TagField field);
    // Whether a numeric field's shared value is text that is not a number
    // (TagSet::holdsTextForNumber): it is shown as stored and marked.
    bool holdsTextForNumber(TagField field) const { return m_holdsText[index(field)]; }
    // Every custom item any selected file holds, in name order.
    const QStringList& customNames() const { return m_customNames; }

    bool compilation() const { return m_compilation; }
    void setCompilation(bool value);
    bool compilationVaries() const { return m_varies[index(TagField::compilation)]; }
    void setCompilationVaries(bool value);

signals:
    // Emitted after every assignment to a field's text, flag or varies mark.
    void fieldChanged(TagField field);
    // Emitted after the custom items were assigned.
    void customItemsChanged();

private:
    static constexpr std::size_t index(TagField field) { return static_cast<std::size_t>(field); }
    void setVaries(TagField field, bool value);

    std::array<QString, 16> m_text;  // by field; the compilation slot is unused
    std::array<bool, 16> m_varies{}; // by field
    std::array<bool, 16> m_holdsText{};
    QStringList m_customNames;
    QMap<QString, QString> m_custom; // the shared values
    QSet<QString> m_customVaries;
    bool m_compilation = false;
};
