#include "protocol/output_lines.h"

#include <string>

namespace tarn {

void WriteLine(std::ostream& out, std::string_view text) {
    out << text << '\n' << std::flush;
}

void ErrorLine(std::ostream& out, std::string_view message) {
    WriteLine(out, std::string("ERROR ").append(message));
}

void UnknownCommandLine(std::ostream& out, std::string_view upperCasedWord) {
    WriteLine(out, std::string("UNKNOWN command (").append(upperCasedWord).append(")"));
}

void DebugLine(std::ostream& out, std::string_view text) {
    WriteLine(out, std::string("DEBUG ").append(text));
}

}  // namespace tarn
