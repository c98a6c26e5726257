#pragma once
// Whole-file reads and crash-safe whole-file writes, for every file the program keeps. A write
// goes to a temporary file in the target's folder, is flushed to disk and renamed over the target,
// so the target holds either its old or its new content, never a mix; a failure at any step
// (a full disk included) leaves the old file and reports false. A target that is the user's own
// symbolic link is written through to the file it names; temporary files left by a killed write
// are removed by the next one. Plain C++: the table library writes its files with it too.
#include <optional>
#include <string>
#include <string_view>

std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, std::string_view data);
// Writes like a text-mode stream of the desktop the file kinds come from: an LF, also one inside
// a value, reaches the disk as CR LF, unless a CR already stands before it.
bool WriteTextFileAtomically(const std::string& path, std::string_view text);
// The bytes WriteTextFileAtomically puts on the disk for `text`.
std::string TextFileBytes(std::string_view text);
