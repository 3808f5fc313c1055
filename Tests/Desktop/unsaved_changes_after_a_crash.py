#!/usr/bin/env python3
"""Unsaved edits survive the editor being killed: after SIGKILL a second
start offers the changes, Restore brings them back unsaved (nothing written to
the file), a file changed on disk meanwhile is left as it is; changes
discarded (at the offer, or on quitting) are not offered again."""
import time

import mutagen
import pyatspi

from desktop_session import Editor, copy_fixture, find, press, press_opening_modal, wait_for


def label_texts(root):
    texts, queue = [], [root]
    while queue:
        for child in queue.pop(0):
            if child is not None:
                if child.getRole() == pyatspi.ROLE_LABEL:
                    texts.append(child.name or "")
                queue.append(child)
    return texts


def title_of(path):
    return mutagen.File(path, easy=True).get("title")


kept = copy_fixture("tagged.mp3", "kept.mp3")
changed = copy_fixture("tagged.flac", "changed.flac")
title_on_disk = title_of(kept)

editor = Editor(kept, changed)
wait_for("both files in the list", lambda: editor.table.nRows == 2)
for name in ("kept.mp3", "changed.flac"):
    editor.select(name)
    editor.type_into_inspector("Title", "Unsaved " + name)
    wait_for("the edit in the list", lambda: editor.cell(name, "Title") == "Unsaved " + name)
time.sleep(1.2)  # an edit more than a second old must survive
editor.kill()

# Another program rewrites one file meanwhile.
audio = mutagen.File(changed, easy=True)
audio["title"] = "Changed Elsewhere"
audio.save()

editor = Editor()
offer = editor.dialog("the offer to restore")
headline = "Unsaved changes to 2 files from " + time.strftime("%-d %B")
assert any(headline in text for text in label_texts(offer)), f"the offer says {label_texts(offer)}"
press(find(offer, pyatspi.ROLE_PUSH_BUTTON, "Restore"))
wait_for("the restored file", lambda: editor.row_of("kept.mp3") is not None)
wait_for("its restored title", lambda: editor.cell("kept.mp3", "Title") == "Unsaved kept.mp3")
assert editor.cell("changed.flac", "Title") == "Changed Elsewhere", "a file changed on disk got old changes"
assert title_of(kept) == title_on_disk, "the restore wrote to the file"
time.sleep(1.2)
editor.kill()

# Killed again: the restored changes are journaled anew, and offered once more.
editor = Editor()
offer = editor.dialog("the second offer")
press(find(offer, pyatspi.ROLE_PUSH_BUTTON, "Discard"))
wait_for("the offer to go", lambda: not editor.dialogs())
assert editor.table.nRows == 0
editor.quit()

# Discarded, and not offered again; then an edit whose changes the user
# discards on quitting leaves nothing to offer either.
editor = Editor(kept)
time.sleep(1.0)
assert not editor.dialogs(), "discarded changes offered again"
wait_for("the file in the list", lambda: editor.table.nRows == 1)
editor.select("kept.mp3")
editor.type_into_inspector("Title", "Discarded on quitting")
time.sleep(1.2)
wait_for("the edit in the list", lambda: editor.cell("kept.mp3", "Title") == "Discarded on quitting")
press_opening_modal(find(editor.window, pyatspi.ROLE_MENU_ITEM, "Quit"))
press(find(editor.dialog("the question on quitting"), pyatspi.ROLE_PUSH_BUTTON, "Discard"))
editor.process.wait(timeout=30)

editor = Editor()
time.sleep(1.0)
assert not editor.dialogs(), "changes discarded on quitting offered after all"
editor.quit()
print("unsaved changes after a crash: restored, left alone where the file changed, discarded")
