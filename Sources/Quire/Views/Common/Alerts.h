#pragma once

#include <QMessageBox>

// Message boxes laid out as the desktop lays out its own: a short window title
// (the program's name, or the action that could not be done), the headline as
// the box's bold primary text and the explanation below it. Buttons are added
// with their roles (QMessageBox::addButton), so that the style orders them.
namespace Alerts {

// A window-modal box over the parent's window, not yet shown. The box is
// always a window of its own: parented to a pane it would still be placed
// over the whole window, never inside the pane.
QMessageBox* create(QMessageBox::Icon icon, const QString& headline, const QString& explanation,
                    QWidget* parent, const QString& title = {});

// The program's name, the title of alerts that name no action.
QString defaultTitle();

} // namespace Alerts
