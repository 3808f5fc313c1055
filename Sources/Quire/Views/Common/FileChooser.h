#pragma once

#include <QUrl>
#include <functional>

class QFileDialog;
class QObject;

// Calls `chosen` with the file or folder the user picked when `dialog` is
// accepted. Qt's own dialog (used where no desktop file-dialog integration is
// installed) and the desktop's portal dialog tell of the choice by different
// signals; both end in the dialog being accepted with its selection set.
void whenChosen(QFileDialog* dialog, const QObject* context, std::function<void(const QUrl&)> chosen);
