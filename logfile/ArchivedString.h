#pragma once

#include <string>
#include <string_view>

class ByteReader;

// Strings in a binary log, in the length-prefixed form other readers of the
// format expect. They are written as UTF-16LE: the byte 0xFF, the tag FE FF,
// then the length in code units (one byte up to 254; else 0xFF and a uint16 up
// to 0xFFFD; else 0xFF, 0xFFFF and a uint32) and the code units. The empty
// string is FF FE FF 00.
void appendArchivedString(std::string &out, std::string_view utf8);

// Reads a string in either archived form, single-byte or UTF-16, with every
// length escape, as UTF-8. Fails, without reading any further, when the
// length or the characters run past the end of the buffer.
bool readArchivedString(ByteReader &in, std::string &utf8);
