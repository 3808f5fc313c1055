#!/usr/bin/env python3
"""The editor's window driven as a screen reader drives it: a file added
through the Add Files dialog, selected in the file list, a title typed into
the inspector, saved, and the file checked with mutagen, a reader independent
of the editor's own."""

import mutagen
import pyatspi

from desktop_session import Editor, copy_fixture, find, press, wait_for


def title_of(path):
    return mutagen.File(path, easy=True).get("title")


opened = copy_fixture("tagged.flac", "opened.flac")
added = copy_fixture("tagged.mp3", "added.mp3")
titles_before = {path: title_of(path) for path in (opened, added)}

editor = Editor(opened)
wait_for("the opened file in the list", lambda: editor.table.nRows == 1)
assert editor.cell("opened.flac", "Title") == titles_before[opened][0]

# Add a second file through the Add Files dialog: type its path, press Add.
press(find(editor.window, pyatspi.ROLE_PUSH_BUTTON, "Add Files"))
dialog = editor.dialog("the Add Files dialog")
name_field = wait_for("the dialog's file name field", lambda: find(dialog, pyatspi.ROLE_TEXT))
name_field.queryEditableText().setTextContents(added)
press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Add"))
wait_for("the added file in the list", lambda: editor.table.nRows == 2)

# Select it, read its title in the inspector, and type a new one.
editor.select("added.mp3")
title = wait_for("the inspector's Title field", lambda: find(editor.window, pyatspi.ROLE_TEXT, "Title"))
wait_for("the inspector to show the file's title",
         lambda: [title.queryText().getText(0, -1)] == titles_before[added])
editor.type_into_inspector("Title", "Read Aloud")
wait_for("the new title in the list", lambda: editor.cell("added.mp3", "Title") == "Read Aloud")

save = find(editor.window, pyatspi.ROLE_PUSH_BUTTON, "Save")
assert save.getState().contains(pyatspi.STATE_ENABLED), "Save is not enabled after an edit"
press(save)
wait_for("the save to finish", lambda: not save.getState().contains(pyatspi.STATE_ENABLED))

assert title_of(added) == ["Read Aloud"], f"the file holds {title_of(added)}"
assert title_of(opened) == titles_before[opened], "the other file changed too"
editor.quit()
print("screen reader session: opened, added, edited, saved and read back")
