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
    const TagClipboard copied{source.tags(), source.artwork(), Platform::lastPathComponent(source.url())};
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
