#pragma once

#include "Quire/ViewModels/BatchPreview.h"
#include "QuireCore/AudioFile.h"
#include "QuireCore/TagField.h"

#include <QAbstractButton>
#include <QDialog>
#include <QList>
#include <QSet>
#include <QSize>
#include <QUrl>

class QFileDialog;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

// The parts every batch-operation sheet is made of: the frame, the result
// line and the row of field chips.
namespace SheetParts {

// Small text in the secondary colour.
QLabel* secondaryLabel(const QString& text, QWidget* parent);
// Small monospaced text, for names and paths.
QLabel* monospacedLabel(const QString& text, QWidget* parent);
// A section's caption above its controls.
QLabel* sectionCaption(const QString& text, QWidget* parent);

enum class Tone { success, warning, failure, secondary };
// Colours that read on light and dark palettes.
void setTone(QLabel* label, Tone tone);
// The text fields, then the custom items the files hold, by name.
QList<FieldKey> textFieldsAndCustomItems(const QList<AudioFile>& files);

} // namespace SheetParts

// A sheet over the main window: the title, a description and a divider, the
// sheet's own controls, an optional result line, and the buttons. Escape
// dismisses it and Return presses the prominent button. Window-modal, built
// fresh each time it is shown; it deletes itself when closed.
class Sheet : public QDialog {
    Q_OBJECT
public:
    QString titleText() const;
    QString descriptionText() const;
    // Empty while no result is shown; the message as given, with its status mark.
    QString resultText() const;
    // The lines under the result (the files left alone, with why); empty while none are shown.
    QStringList resultDetails() const;
    QPushButton* dismissButton() const { return m_dismiss; }
    QPushButton* primaryButton() const { return m_primary; }

protected:
    // `frame` is the sheet's size; it may grow with its contents.
    Sheet(const QString& title, const QString& dismissText, const QString& primaryText, QSize frame,
          QWidget* parent);

    void setDescription(const QString& text);
    // The layout between the divider and the result line.
    QVBoxLayout* body() const { return m_body; }
    // Adds a captioned group of widgets to the body.
    void addSection(const QString& caption, const QList<QWidget*>& widgets);
    // `details` are listed under the text, in a scrollable box.
    void showResult(const QString& text, SheetParts::Tone tone, const QStringList& details = {});
    // After an operation that fills tags: closes the sheet when no file was
    // skipped, else stays open listing the skipped files with why.
    void closeOrListSkipped(const BatchReport& report);
    // The tab order follows the layout, top to bottom, and the first control
    // takes the focus.
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void growToFit();

    QLabel* m_title;
    QLabel* m_description;
    QVBoxLayout* m_body;
    QWidget* m_resultRow;
    QLabel* m_resultIcon;
    QLabel* m_result;
    QString m_resultMessage;
    QPlainTextEdit* m_details;
    QPushButton* m_dismiss;
    QPushButton* m_primary;
    bool m_focusArranged = false;
};

// Toggle chips, one per offered field or custom item, labelled with the names
// users see ("Album Artist", "CATALOGNUMBER"); chosen chips are highlighted. They wrap into as
// many rows as they need.
class FieldChips : public QWidget {
    Q_OBJECT
public:
    FieldChips(const QList<FieldKey>& offered, const FieldKeySet& chosen, QWidget* parent);
    FieldKeySet chosen() const { return m_chosen; }
    QAbstractButton* chip(const FieldKey& field) const;

signals:
    void chosenChanged();

private:
    FieldKeySet m_chosen;
    QList<QAbstractButton*> m_chips;
    QList<FieldKey> m_fields;
};

// A row naming a chosen folder, with the button that opens the folder chooser.
class FolderChoice : public QWidget {
    Q_OBJECT
public:
    FolderChoice(const QString& caption, QWidget* parent);
    QUrl folder() const { return m_folder; }
    void setFolder(const QUrl& folder);
    QPushButton* chooseButton() const { return m_choose; }
    QString shownPath() const;

    // Opens the folder chooser over the sheet; the choice becomes the folder.
    // Returns the chooser while it is open.
    QFileDialog* openChooser(bool allowNewFolders, const QString& confirmText);

signals:
    void folderChanged();

private:
    QUrl m_folder;
    QLabel* m_path;
    QPushButton* m_choose;
};

// What a batch operation will do, file by file: a line for each of the first
// few files (what it gets, or why it is left alone, in a warning colour) and a
// summary with the counts over all of them.
class PreviewList : public QWidget {
    Q_OBJECT
public:
    explicit PreviewList(QWidget* parent);
    void setPreview(const BatchPreview& preview);
    // Each shown line as "name text".
    QStringList lines() const;
    QString summary() const;

private:
    static QString shownText(const PreviewLine& line);

    QGridLayout* m_rows;
    QLabel* m_summary;
    BatchPreview m_shown;
};

namespace SheetParts {
// A warning under a pattern (a token that fills nothing, or one the operation
// does not know), hidden while it has no text.
QLabel* patternNote(QWidget* parent);
void showPatternNote(QLabel* note, const QString& text);
} // namespace SheetParts
