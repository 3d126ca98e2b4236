#pragma once

#include <string>
#include <string_view>

// The conversions between the program's text (UTF-8) and the encodings of the
// log files. The narrow code page of the logs is ISO 8859-1: every byte is one
// character, so a text log read and written again keeps every byte.

// Appends single-byte text as UTF-8.
void appendLatin1AsUtf8(std::string &out, std::string_view latin1);

// Appends UTF-8 text as single-byte text; a character that has no single
// byte, or a byte that is no valid UTF-8, becomes '?'.
void appendUtf8AsLatin1(std::string &out, std::string_view utf8);

// Appends UTF-16LE code units (two bytes each; a trailing odd byte is ignored)
// as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16LeAsUtf8(std::string &out, std::string_view utf16le);

// UTF-8 text as UTF-16LE code units; a byte that is no valid UTF-8 becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
