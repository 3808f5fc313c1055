#pragma once

#include <QFont>

// The caption style: the given font at about 0.85 of its size.
QFont captionFont(const QFont& base);
