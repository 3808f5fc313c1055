#include "Platform/FileSystem.h"
#include "Quire/ViewModels/DocumentViewModel.h"
#include "Quire/ViewModels/ThreadCheck.h"

void DocumentViewModel::copyTagsFromSelected() {
    ASSERT_GUI_THREAD();
    const QList<AudioFile> selected = selectedAudioFiles();
    if (selected.isEmpty())
        return;
    const AudioFile& source = selected.first();
    setTagClipboard({source.tags(), source.artwork(), Platform::lastPathComponent(source.url())});
}

void DocumentViewModel::pasteTagsToSelected(bool tags, bool artwork, std::optional<TagField> singleField) {
    ASSERT_GUI_THREAD();
    if (selectedAudioFiles().isEmpty())
        return;
    const TagClipboard clipboard = m_tagClipboard;
    commitSelected(tr("Paste to %n files", nullptr, int(m_selectedFiles.size())), [&](AudioFile& file) {
        if (tags && clipboard.tags) {
            if (singleField) {
                TagSet edited = file.tags();
                edited.setValue(clipboard.tags->value(*singleField), *singleField);
                file.setTags(edited);
            } else {
                file.setTags(*clipboard.tags);
            }
            file.setModified(true);
        }
        if (artwork && clipboard.artwork) {
            file.setArtwork(*clipboard.artwork);
            file.setModified(true);
        }
    });
}
