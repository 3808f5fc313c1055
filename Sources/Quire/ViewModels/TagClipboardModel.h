#pragma once

#include "Quire/ViewModels/DocumentTypes.h"

#include <QObject>
#include <optional>

class DocumentViewModel;

// The tag clipboard: one file's tags and pictures, copied to paste onto others.
class TagClipboardModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(TagClipboard contents READ contents NOTIFY contentsChanged)

public:
    explicit TagClipboardModel(DocumentViewModel& document);

    const TagClipboard& contents() const { return m_contents; }
    // Copies the first selected file's tags and pictures.
    void copyFromSelected();
    // Pastes the tags (all, or one field) and the pictures onto every selected file; one undo step.
    void pasteToSelected(bool tags, bool artwork, std::optional<FieldKey> singleField = std::nullopt);

signals:
    void contentsChanged();

private:
    DocumentViewModel& m_document;
    TagClipboard m_contents;
};
