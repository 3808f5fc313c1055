#pragma once

#include <QString>

class DocumentViewModel;
class Sheet;
class QWidget;

namespace Sheets {
// The sheet that a command name asks for (showRenameSheet, showBatchArtworkImport, …), built fresh over
// `parent` and not yet shown; none for any other name.
Sheet* create(const QString& command, DocumentViewModel* document, QWidget* parent);
} // namespace Sheets
