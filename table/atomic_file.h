#pragma once
// Whole-file reads and crash-safe whole-file writes. A write goes to a temporary file in the same
// folder, is flushed to disk and renamed over the target, so the target holds either its old or
// its new content, never a mix; a failure at any step leaves the old file and reports false.
#include <optional>
#include <string>
#include <string_view>

std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteFileAtomically(const std::string& path, std::string_view data);
// Writes like a text-mode stream of the desktop the file kinds come from: every LF, also one
// inside a value, reaches the disk as CR LF.
bool WriteTextFileAtomically(const std::string& path, std::string_view text);
