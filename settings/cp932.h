#pragma once
// Code page 932 (Shift-JIS as Windows extends it): the encoding of names in the target list file
// and of the byte order the list sorts by. One converter serves the whole program. glibc's "CP932"
// is lenient where it matters: the wave dash and the other variants that Linux input methods
// produce map to the Windows code points.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace cp932 {
// Null when some character has no code page 932 form.
std::optional<std::string> encode(const QString& text);
// Bytes that are not valid code page 932 come out as U+FFFD.
QString decode(std::string_view bytes);
bool canEncode(const QString& text);
// Byte length of the code page 932 form; characters without one count as one byte each.
int byteLength(const QString& text);
}  // namespace cp932
