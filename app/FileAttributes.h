// The three file attributes that make Save refuse a file, worked out from the
// file system as it is now.
//
// read-only: no write permission bit set for anyone (mode & 0222 == 0). Not
//            access(), which says yes to root whatever the bits are.
// hidden:    the file's name starts with ".".
// system:    the file exists and is not a regular file (device, FIFO, socket,
//            folder). Links are followed: a link to a regular file is not one.
// A file that does not exist has none of them.
#pragma once

#include <QString>

namespace quenza {

bool FileExists(const QString& path);
bool FileIsReadOnly(const QString& path);
bool FileIsHidden(const QString& path);
bool FileIsSystem(const QString& path);

}  // namespace quenza
