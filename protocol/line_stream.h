// Reading the command stream: whole lines from the manager, and the arguments of one line.
#pragma once

#include <cstdint>
#include <istream>
#include <sstream>
#include <string>

namespace tarn {

// Reads the next line of the command stream into `line` without its line feed, and drops one
// carriage return standing just before that line feed, so CRLF input reads like LF input on
// every platform. A last line without a line feed still counts as a line. Returns false only
// when no line at all could be read.
bool ReadCommandLine(std::istream& in, std::string& line);

// A stream over a copy of one line, extracting in the classic "C" locale whatever the
// process's global locale is, so numbers and white space read the same everywhere.
std::istringstream MakeLineStream(const std::string& line);

// ASCII case changes byte by byte; other bytes (including 128-255) stay as they are.
void ToUpperAscii(std::string& text);
void ToLowerAscii(std::string& text);

// The line has been read to its end and every extraction on it succeeded: after the command
// word, nothing at all follows it, not even a blank; after numbers, the last one was read and
// nothing follows it.
bool CleanlyAtLineEnd(const std::istream& args);

// Reads `count` signed 32-bit numbers separated by commas ("x,y", "x,y,who"). White space,
// control characters and bytes 128-255 may stand around a comma. Any failure (a missing
// number, one beyond 32 bits, another separator) sets the fail flag and every later read on
// the line fails too, so one CleanlyAtLineEnd test afterwards covers the whole line.
void ReadNumberList(std::istream& args, int32_t* numbers, int count);

// Reads an INFO value: a signed decimal number. Returns false, leaving `value` alone, when only
// white space is left on the line. Otherwise a text that does not start with a number gives 0, a
// number beyond the range of `value` gives the nearest limit of that range, and whatever follows
// the number is left unread. Most settings are 32-bit; a node count takes 64.
bool ReadSettingNumber(std::istream& args, int64_t& value);
bool ReadSettingNumber(std::istream& args, int32_t& value);

}  // namespace tarn
