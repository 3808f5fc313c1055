#pragma once

#include "QuireCore/InspectorLayout.h"

#include <QList>

// The inspector's rows for a layout's fields, in order: consecutive single-width fields pair up two to a
// row, a lone single-width field before a wide one takes a row by itself, and double-width fields take a
// whole row like full-width ones.
QList<QList<FieldConfig>> fieldRows(const QList<FieldConfig>& fields);
