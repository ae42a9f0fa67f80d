// The answer lines the engine writes to the manager. Each is written whole and flushed at once,
// so a manager reading the pipe sees every line as soon as it is complete.
#pragma once

#include <ostream>
#include <string_view>

namespace tarn {

// Error messages shared by several commands.
inline constexpr std::string_view NotInitializedMessage =
    "This command can be performed only after the initialization";
inline constexpr std::string_view WrongCommandSyntaxMessage = "Wrong command syntax";

// One line of text, then the line end, then a flush.
void WriteLine(std::ostream& out, std::string_view text);

// "ERROR " followed by the message.
void ErrorLine(std::ostream& out, std::string_view message);

// The answer to a command word that is not in the command table; it has no "ERROR " prefix.
void UnknownCommandLine(std::ostream& out, std::string_view upperCasedWord);

// "DEBUG " followed by the text.
void DebugLine(std::ostream& out, std::string_view text);

}  // namespace tarn
