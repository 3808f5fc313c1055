<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- English: the singular and plural forms of the texts with a count (%n). Every other text is
     shown as written in the source. -->
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>AppDelegate</name>
    <message numerus="yes">
        <source>Unsaved changes to %n files from %1</source>
        <translation>
            <numerusform>Unsaved changes to %n file from %1</numerusform>
            <numerusform>Unsaved changes to %n files from %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files changed on disk since their changes were made, which were therefore not restored. They are kept in “%1”.</source>
        <translation>
            <numerusform>%n file changed on disk since its changes were made, which were therefore not restored. They are kept in “%1”.</numerusform>
            <numerusform>%n files changed on disk since their changes were made, which were therefore not restored. They are kept in “%1”.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ArtworkOperations</name>
    <message numerus="yes">
        <source>%n files will get artwork</source>
        <translation>
            <numerusform>%n file will get artwork</numerusform>
            <numerusform>%n files will get artwork</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n without an image</source>
        <translation>
            <numerusform>%n without an image</numerusform>
            <numerusform>%n without an image</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Set artwork on %n files</source>
        <translation>
            <numerusform>Set artwork on %n files</numerusform>
            <numerusform>Set artwork on %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Remove artwork from %n files</source>
        <translation>
            <numerusform>Remove artwork from %n files</numerusform>
            <numerusform>Remove artwork from %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Optimize artwork on %n files</source>
        <translation>
            <numerusform>Optimize artwork on %n files</numerusform>
            <numerusform>Optimize artwork on %n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ArtworkOptimizeSheet</name>
    <message numerus="yes">
        <source>Applies to %n selected files.</source>
        <translation>
            <numerusform>Applies to %n selected file.</numerusform>
            <numerusform>Applies to %n selected files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>BatchArtworkExportSheet</name>
    <message numerus="yes">
        <source>Export embedded artwork from all %n loaded files to a folder.</source>
        <translation>
            <numerusform>Export embedded artwork from all %n loaded file to a folder.</numerusform>
            <numerusform>Export embedded artwork from all %n loaded files to a folder.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Export embedded artwork from all %n shown files to a folder.</source>
        <translation>
            <numerusform>Export embedded artwork from all %n shown file to a folder.</numerusform>
            <numerusform>Export embedded artwork from all %n shown files to a folder.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files have artwork.</source>
        <translation>
            <numerusform>%n file has artwork.</numerusform>
            <numerusform>%n files have artwork.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>✅ Exported %n artwork images.</source>
        <translation>
            <numerusform>✅ Exported %n artwork image.</numerusform>
            <numerusform>✅ Exported %n artwork images.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>BatchArtworkImportSheet</name>
    <message numerus="yes">
        <source>✅ Applied artwork to %n files.</source>
        <translation>
            <numerusform>✅ Applied artwork to %n file.</numerusform>
            <numerusform>✅ Applied artwork to %n files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>cadenza-cli</name>
    <message numerus="yes">
        <source>%n loaded files are named “%1”; use select instead.</source>
        <translation>
            <numerusform>%n loaded files are named “%1”; use select instead.</numerusform>
            <numerusform>%n loaded files are named “%1”; use select instead.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Moved %1 of %n files.</source>
        <translation>
            <numerusform>Moved %1 of %n files.</numerusform>
            <numerusform>Moved %1 of %n files.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Would save %n modified files (dry run).</source>
        <translation>
            <numerusform>Would save %n modified files (dry run).</numerusform>
            <numerusform>Would save %n modified files (dry run).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Saved %1 of %n modified files.</source>
        <translation>
            <numerusform>Saved %1 of %n modified files.</numerusform>
            <numerusform>Saved %1 of %n modified files.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) have unsaved changes; add -c save to write them.</source>
        <translation>
            <numerusform>%n file(s) have unsaved changes; add -c save to write them.</numerusform>
            <numerusform>%n file(s) have unsaved changes; add -c save to write them.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Applied to %n files.</source>
        <translation>
            <numerusform>Applied to %n file.</numerusform>
            <numerusform>Applied to %n files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CopyFieldToFieldSheet</name>
    <message numerus="yes">
        <source>Copy the value of one tag field to another across all %n selected files.</source>
        <translation>
            <numerusform>Copy the value of one tag field to another across all %n selected file.</numerusform>
            <numerusform>Copy the value of one tag field to another across all %n selected files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DocumentViewModel</name>
    <message numerus="yes">
        <source>Import %n files</source>
        <translation>
            <numerusform>Import %n files</numerusform>
            <numerusform>Import %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Rename %n files</source>
        <translation>
            <numerusform>Rename %n files</numerusform>
            <numerusform>Rename %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Remove %n files from list</source>
        <translation>
            <numerusform>Remove %n file from list</numerusform>
            <numerusform>Remove %n files from list</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FileFilterBar</name>
    <message numerus="yes">
        <source>%1 of %n files</source>
        <translation>
            <numerusform>%1 of %n file</numerusform>
            <numerusform>%1 of %n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FileListView</name>
    <message numerus="yes">
        <source>%n of the selected files have unsaved tag changes, which will be discarded. The files on disk aren't touched.</source>
        <translation>
            <numerusform>%n of the selected files has unsaved tag changes, which will be discarded. The files on disk aren't touched.</numerusform>
            <numerusform>%n of the selected files have unsaved tag changes, which will be discarded. The files on disk aren't touched.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>FindReplaceSheet</name>
    <message numerus="yes">
        <source>%n matches found</source>
        <translation>
            <numerusform>%n match found</numerusform>
            <numerusform>%n matches found</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>✅ Replaced in %n fields.</source>
        <translation>
            <numerusform>✅ Replaced in %n field.</numerusform>
            <numerusform>✅ Replaced in %n fields.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ImportProgressOverlay</name>
    <message numerus="yes">
        <source>Importing %1 of %n files</source>
        <translation>
            <numerusform>Importing %1 of %n files</numerusform>
            <numerusform>Importing %1 of %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files loaded</source>
        <translation>
            <numerusform>%n files loaded</numerusform>
            <numerusform>%n files loaded</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>InspectorView</name>
    <message numerus="yes">
        <source>%n Files Selected</source>
        <translation>
            <numerusform>%n Files Selected</numerusform>
            <numerusform>%n Files Selected</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n with unsaved changes</source>
        <translation>
            <numerusform>%n with unsaved changes</numerusform>
            <numerusform>%n with unsaved changes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LookupSheet</name>
    <message numerus="yes">
        <source>Find the release the %n selected files belong to on MusicBrainz and take its tags.</source>
        <translation>
            <numerusform>Find the release the selected file belongs to on MusicBrainz and take its tags.</numerusform>
            <numerusform>Find the release the %n selected files belong to on MusicBrainz and take its tags.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n releases found.</source>
        <translation>
            <numerusform>%n release found.</numerusform>
            <numerusform>%n releases found.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n files match a track.</source>
        <translation>
            <numerusform>%1 of %n file matches a track.</numerusform>
            <numerusform>%1 of %n files match a track.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message numerus="yes">
        <source>Save %n Files</source>
        <translation>
            <numerusform>Save %n File</numerusform>
            <numerusform>Save %n Files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cadenza — %n files</source>
        <translation>
            <numerusform>Cadenza — %n files</numerusform>
            <numerusform>Cadenza — %n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QuitDecision</name>
    <message numerus="yes">
        <source>%n files have unsaved tag changes. Save them before quitting?</source>
        <translation>
            <numerusform>%n file has unsaved tag changes. Save them before quitting?</numerusform>
            <numerusform>%n files have unsaved tag changes. Save them before quitting?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RenameFromPatternSheet</name>
    <message numerus="yes">
        <source>⚠️ Renamed %1 of %n files; these were left as they were:</source>
        <translation>
            <numerusform>⚠️ Renamed %1 of %n file; these were left as they were:</numerusform>
            <numerusform>⚠️ Renamed %1 of %n files; these were left as they were:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Rename %n selected files using tokens. Applies to the actual files on disk.</source>
        <translation>
            <numerusform>Rename %n selected file using tokens. Applies to the actual files on disk.</numerusform>
            <numerusform>Rename %n selected files using tokens. Applies to the actual files on disk.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>✅ Renamed %n files.</source>
        <translation>
            <numerusform>✅ Renamed %n file.</numerusform>
            <numerusform>✅ Renamed %n files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Sheet</name>
    <message numerus="yes">
        <source>⚠️ Filled tags in %1 of %n files; these were skipped:</source>
        <translation>
            <numerusform>⚠️ Filled tags in %1 of %n file; these were skipped:</numerusform>
            <numerusform>⚠️ Filled tags in %1 of %n files; these were skipped:</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>StatusBarView</name>
    <message numerus="yes">
        <source>%1 of %n files</source>
        <translation>
            <numerusform>%1 of %n file</numerusform>
            <numerusform>%1 of %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files selected</source>
        <translation>
            <numerusform>%n file selected</numerusform>
            <numerusform>%n files selected</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n file</numerusform>
            <numerusform>%n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TagClipboardModel</name>
    <message numerus="yes">
        <source>Paste to %n files</source>
        <translation>
            <numerusform>Paste to %n files</numerusform>
            <numerusform>Paste to %n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TagOperations</name>
    <message numerus="yes">
        <source>Find &amp; replace in %n files</source>
        <translation>
            <numerusform>Find &amp; replace in %n files</numerusform>
            <numerusform>Find &amp; replace in %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Apply %1 to %n files</source>
        <translation>
            <numerusform>Apply %1 to %n files</numerusform>
            <numerusform>Apply %1 to %n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TagsFromFilenameSheet</name>
    <message numerus="yes">
        <source>Extract tag values from filenames using {field} tokens. Applies to %n selected files.</source>
        <translation>
            <numerusform>Extract tag values from filenames using {field} tokens. Applies to %n selected file.</numerusform>
            <numerusform>Extract tag values from filenames using {field} tokens. Applies to %n selected files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TagsFromPathSheet</name>
    <message numerus="yes">
        <source>Extract tag values from directory structure using /-separated {field} tokens. Applies to %n selected files.</source>
        <translation>
            <numerusform>Extract tag values from directory structure using /-separated {field} tokens. Applies to %n selected file.</numerusform>
            <numerusform>Extract tag values from directory structure using /-separated {field} tokens. Applies to %n selected files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TextTransformSheet</name>
    <message numerus="yes">
        <source>Apply a text transform to selected fields across %n files.</source>
        <translation>
            <numerusform>Apply a text transform to selected fields across %n file.</numerusform>
            <numerusform>Apply a text transform to selected fields across %n files.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TrackNumberingSheet</name>
    <message numerus="yes">
        <source>and %n more</source>
        <translation>
            <numerusform>and %n more</numerusform>
            <numerusform>and %n more</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Replaces %n track numbers that are not numbers (such as “A1”)</source>
        <translation>
            <numerusform>Replaces %n track number that is not a number (“A1”)</numerusform>
            <numerusform>Replaces %n track numbers that are not numbers (such as “A1”)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Assign sequential track numbers to %n selected files in their current sort order.</source>
        <translation>
            <numerusform>Assign sequential track numbers to %n selected file in their current sort order.</numerusform>
            <numerusform>Assign sequential track numbers to %n selected files in their current sort order.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>BatchPreview</name>
    <message numerus="yes">
        <source>%n files will change</source>
        <translation>
            <numerusform>%n file will change</numerusform>
            <numerusform>%n files will change</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>(%n fields)</source>
        <translation>
            <numerusform>(%n field)</numerusform>
            <numerusform>(%n fields)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unchanged</source>
        <translation>
            <numerusform>%n unchanged</numerusform>
            <numerusform>%n unchanged</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n skipped</source>
        <translation>
            <numerusform>%n skipped</numerusform>
            <numerusform>%n skipped</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n files will be renamed</source>
        <translation>
            <numerusform>%n file will be renamed</numerusform>
            <numerusform>%n files will be renamed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n keep their names</source>
        <translation>
            <numerusform>%n keeps its name</numerusform>
            <numerusform>%n keep their names</numerusform>
        </translation>
    </message>
</context>
</TS>
