#pragma once

#include "Quire/ViewModels/DocumentChange.h"
#include "Quire/Views/FileList/FileListColumns.h"
#include "QuireCore/AudioFile.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QUuid>

class DocumentViewModel;

// The document's shown files (all of them unless a filter is on) as table
// rows, computed cell by cell on demand.
//
// The model mirrors the document's file list by following its change events:
// removed files are removed rows, added files inserted rows, a new order is a
// layout change that carries the selection and the current row along, and
// changed files are changed rows; the model is never reset, so the view keeps
// its selection and scroll position (a new filter text that hides or shows
// rows all over a large list is the exception). While a cell editor is open the rows stay
// as they are, so that the edited row does not move under the editor; the
// document's changes are applied when the last editor closes.
//
// Committing a cell goes through the document (setData), which checks the
// typed text and may refuse it.
//
// After the fixed columns come the extra columns the user chose: any other
// field or custom item, shown and edited as text.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        FileIdRole = Qt::UserRole + 1,
        SuffixRole, // text shown after the edited text (the file name's extension)
    };

    explicit FileListModel(DocumentViewModel* document, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Commits an in-place edit through the document; false when refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    QUuid fileId(int row) const;
    // The extra columns, after the fixed ones, in order.
    const QList<FieldKey>& extraColumns() const { return m_extraColumns; }
    void setExtraColumns(const QList<FieldKey>& keys);
    // The field of an extra column; none for a fixed one.
    std::optional<FieldKey> extraColumnAt(int column) const;
    const QList<AudioFile>& rows() const { return m_rows; }

    // A cell editor opened or closed; the document's changes wait while one is open.
    void beginCellEdit();
    void endCellEdit();
    bool isEditing() const { return m_openEditors > 0; }

signals:
    // The document refused what was typed into a cell; `message` says why.
    void inputRefused(const QModelIndex& index, const QString& message);
    // Around the row changes that follow one change of the document; not sent
    // for a change whose rows only change in place.
    void followingStarted();
    void followingFinished();

private:
    void follow(const DocumentChange& change);
    // Brings the rows to `files` by `change`, which turns the rows into them.
    void apply(const DocumentChange& change, const QList<AudioFile>& files, bool mayReset = false);
    // Catches up with the document's shown files (after cell editors held the
    // rows still, or for a new filter text).
    void syncFiles(bool newFilter = false);
    QString displayText(const AudioFile& file, FileColumn column) const;
    QVariant extraData(const AudioFile& file, const FieldKey& key, int role) const;
    // The marks of a number field that holds text; invalid when none applies.
    QVariant numberMark(const AudioFile& file, std::optional<TagField> field, int role) const;

    QPointer<DocumentViewModel> m_document;
    QList<AudioFile> m_rows;
    QList<FieldKey> m_extraColumns;
    int m_openEditors = 0;
    bool m_needsSync = false;
    QFont m_numericFont;
    QFont m_textInNumberFont;
    QPixmap m_modifiedDot;
    QPixmap m_readInPartMark;
};
