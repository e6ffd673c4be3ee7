// Conversions between the core's byte strings and Qt strings. Values and message texts are
// in the ANSI code page (the system's on Windows, Windows-1250 elsewhere); paths are in the
// file system's own encoding.
#pragma once

#include <QString>

#include <string>

// text, in the ANSI code page, as a Qt string.
QString FromAnsi(const std::string &text);

// Converts text to the ANSI code page into ansi; false when a character has no place in it.
bool ToAnsi(const QString &text, std::string &ansi);

// A path from the core as a Qt string.
QString FromNativePath(const std::string &path);

// A Qt path as the core takes it.
std::string ToNativePath(const QString &path);
