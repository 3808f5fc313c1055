#pragma once

#include <QByteArray>

// Identical picture bytes held once. An album's tracks usually carry the same
// cover, and a library of thousands of tracks would otherwise hold thousands
// of copies of a few hundred pictures. Returns a copy that shares its bytes
// with every earlier picture of equal bytes still in use somewhere. Safe to
// call from several threads at once.
QByteArray internPicture(const QByteArray& data);
