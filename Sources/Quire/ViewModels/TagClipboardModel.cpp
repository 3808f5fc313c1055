#include "Quire/ViewModels/TagClipboardModel.h"

#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

TagClipboardModel::TagClipboardModel(DocumentViewModel& document)
    : m_document(document) {}

void TagClipboardModel::copyFromSelected() {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = m_document.selectedAudioFiles();
    if (selected.isEmpty())
        return;
    const AudioFile& source = selected.first();
    // The pictures travel with their bytes: the files they are pasted onto do not hold them. One file's
    // pictures, read on this thread, as a copy is expected to be done when the action returns.
    const Result<QList<Artwork>, TagReaderError> pictures =
        m_document.pictureSource(source).store->holding(source.artwork(), source.url());
    if (!pictures) {
        m_document.notices().post(
            Notice::Kind::pictures,
            tr("The tags of %1 weren’t copied: %2.").arg(source.filename(), pictures.error().description()),
            {source.path()});
        return;
    }
    const TagClipboard copied{source.tags(), pictures.value(), Platform::lastPathComponent(source.url())};
    if (copied == m_contents)
        return;
    m_contents = copied;
    emit contentsChanged();
}

void TagClipboardModel::pasteToSelected(bool tags, bool artwork, std::optional<FieldKey> singleField) {
    ASSERT_GUI_THREAD();
    const qsizetype count = m_document.selectedAudioFiles().size();
    if (count == 0)
        return;
    const TagClipboard clipboard = m_contents;
    m_document.commitSelected(tr("Paste to %n files", nullptr, int(count)), [&](AudioFile& file) {
        if (tags && clipboard.tags) {
            if (singleField) {
                TagSet edited = file.tags();
                edited.setValue(clipboard.tags->value(*singleField), *singleField);
                file.setTags(edited);
            } else {
                file.setTags(*clipboard.tags);
            }
        }
        if (artwork && clipboard.artwork)
            file.setArtwork(*clipboard.artwork);
    });
}
