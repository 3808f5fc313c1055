#!/usr/bin/env python3
"""Drives the editor's window as a screen reader does, through the
accessibility bus: it opens a file through the Add Files dialog, selects rows
of the file list, types a title into the inspector, saves, and checks the file
with mutagen, a reader independent of the editor's own.

Run by run-screen-reader-session, which starts the display, the private
session bus, the accessibility bus and the editor; the library folder and the
file names to expect come as arguments.
"""
import os
import sys
import time

import mutagen
import pyatspi

TIMEOUT = 30.0


def wait_for(what, probe, timeout=TIMEOUT):
    """Polls probe() until it returns something true, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            found = probe()
        except Exception:  # an object may vanish while the window changes
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.2)


def find(root, role, name=None):
    """The first object of the role (and name) below root, breadth first."""
    queue = [root]
    while queue:
        acc = queue.pop(0)
        for child in acc:
            if child is None:
                continue
            if child.getRole() == role and (name is None or child.name == name):
                return child
            queue.append(child)
    return None


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "Press", "click"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    raise AssertionError(f"{acc.name!r} offers no press action, only {names}")


# Keys go through the accessibility registry to the X server, as a screen
# reader's own key commands do.
KEYSYMS = {"Return": 0xFF0D}


def press_key(name):
    pyatspi.Registry.generateKeyboardEvent(KEYSYMS[name], None, pyatspi.KEY_SYM)


def type_text(text):
    pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)


def table_column(table, header):
    for column in range(table.nColumns):
        cell = table.getColumnHeader(column)
        if cell is not None and cell.name == header:
            return column
    raise AssertionError(f"no column {header!r}")


def row_of(table, name_column, file_name):
    for row in range(table.nRows):
        if table.getAccessibleAt(row, name_column).name == file_name:
            return row
    return None


def main():
    library, opened_name, added_name = sys.argv[1:4]
    titles_before = {name: mutagen.File(os.path.join(library, name), easy=True)["title"]
                     for name in (opened_name, added_name)}
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for("the editor on the accessibility bus",
                   lambda: next((a for a in desktop if a is not None and a.name.lower() == "cadenza"), None))
    window = wait_for("the main window", lambda: find(app, pyatspi.ROLE_FRAME))
    files = wait_for("the file list", lambda: find(window, pyatspi.ROLE_TABLE, "Files"))
    table = files.queryTable()
    wait_for("the opened file in the list", lambda: table.nRows == 1)
    name_column = table_column(table, "Filename")
    assert table.getAccessibleAt(0, name_column).name == opened_name

    # Add a second file through the Add Files dialog: type its path, press Add.
    press(find(window, pyatspi.ROLE_PUSH_BUTTON, "Add Files"))
    dialog = wait_for("the Add Files dialog",
                      lambda: next((d for d in app if d is not None and d.getRole() == pyatspi.ROLE_DIALOG), None))
    name_field = wait_for("the dialog's file name field", lambda: find(dialog, pyatspi.ROLE_TEXT))
    name_field.queryEditableText().setTextContents(os.path.join(library, added_name))
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Add"))
    wait_for("the added file in the list", lambda: table.nRows == 2)

    # Select the added file and give it a new title in the inspector.
    row = row_of(table, name_column, added_name)
    assert row is not None, "the added file is not listed by its name"
    for selected in table.getSelectedRows():
        table.removeRowSelection(selected)
    table.addRowSelection(row)
    wait_for("the row to be selected", lambda: list(table.getSelectedRows()) == [row])
    title = wait_for("the inspector's Title field", lambda: find(window, pyatspi.ROLE_TEXT, "Title"))
    wait_for("the inspector to show the file's title",
             lambda: [title.queryText().getText(0, -1)] == titles_before[added_name])
    title.queryComponent().grabFocus()
    wait_for("the Title field to take the focus",
             lambda: title.getState().contains(pyatspi.STATE_FOCUSED))
    title.queryEditableText().setTextContents("")
    type_text("Read Aloud")
    press_key("Return")

    title_column = table_column(table, "Title")
    wait_for("the new title in the list",
             lambda: table.getAccessibleAt(row_of(table, name_column, added_name), title_column).name
             == "Read Aloud")

    save = find(window, pyatspi.ROLE_PUSH_BUTTON, "Save")
    assert save.getState().contains(pyatspi.STATE_ENABLED), "Save is not enabled after an edit"
    press(save)
    wait_for("the save to finish", lambda: not save.getState().contains(pyatspi.STATE_ENABLED))

    saved = mutagen.File(os.path.join(library, added_name), easy=True)
    assert saved is not None and saved.get("title") == ["Read Aloud"], f"the file holds {saved and saved.get('title')}"
    untouched = mutagen.File(os.path.join(library, opened_name), easy=True)
    assert untouched.get("title") == titles_before[opened_name], "the other file changed too"
    print("screen reader session: opened, added, edited, saved and read back")


if __name__ == "__main__":
    main()
