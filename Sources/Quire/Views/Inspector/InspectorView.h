#pragma once

#include "QuireCore/InspectorLayout.h"
#include "QuireCore/TagField.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class ArtworkPanel;
class CustomItemsSection;
class DocumentViewModel;
class EditableTagSet;
class QLabel;
class QScrollArea;
class QStackedLayout;
class QToolButton;
class QVBoxLayout;
class TagFieldBox;

// The inspector pane beside the file list: a placeholder without a selection; otherwise a header naming
// the selection with the layout menu (the layout chosen is kept in the settings), a note when a selected
// file's tags could be read only in part, the artwork panel, the tags card with one box per field of the
// current layout, the card of the selection's other (custom) items, and for a single file its audio
// properties.
//
// It shows the document's edit state, which the document keeps in step with the selected files through
// every change (edits, undo, redo, batch operations).
class InspectorView : public QWidget {
    Q_OBJECT
public:
    explicit InspectorView(DocumentViewModel* document, QWidget* parent = nullptr);

    bool showsPlaceholder() const;
    QWidget* placeholder() const { return m_placeholder; }
    QString titleText() const;
    QString subtitleText() const;
    QToolButton* layoutButton() const { return m_layoutButton; }
    const InspectorLayout& currentLayout() const { return m_layout; }
    void setCurrentLayout(const InspectorLayout& layout);
    ArtworkPanel* artworkPanel() const { return m_artworkPanel; }
    QWidget* audioCard() const { return m_audioCard; }
    // The value beside an audio row's label ("Duration", "Codec", ...).
    QString audioValue(const QString& label) const;
    // The boxes of the tags card, row by row.
    QList<QList<TagFieldBox*>> rows() const { return m_rows; }
    // The first box of a field, if the layout has one.
    TagFieldBox* box(const FieldKey& field) const;
    CustomItemsSection* customItems() const { return m_customItems; }
    // The note on files read only in part; empty when it is hidden.
    QString readInPartNote() const;

private:
    QWidget* buildPlaceholder();
    QWidget* buildHeader();
    QWidget* buildAudioCard();
    QWidget* buildReadInPartNote();
    void watchEditState();
    void rebuildRows();
    void refreshLayoutMenu();
    void refreshSelection();
    void showField(TagField field);
    void showAllFields();
    void showCustomItems();

    QPointer<DocumentViewModel> m_document;
    InspectorLayout m_layout;
    QMetaObject::Connection m_editStateConnection;
    QMetaObject::Connection m_customConnection;
    QStackedLayout* m_stack = nullptr;
    QWidget* m_placeholder = nullptr;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QString m_fullTitle;
    QToolButton* m_layoutButton = nullptr;
    ArtworkPanel* m_artworkPanel = nullptr;
    QWidget* m_tagsCard = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QList<QList<TagFieldBox*>> m_rows;
    CustomItemsSection* m_customItems = nullptr;
    QWidget* m_readInPart = nullptr;
    QLabel* m_readInPartText = nullptr;
    QWidget* m_audioCard = nullptr;
    QList<std::pair<QString, QLabel*>> m_audioValues;
};
