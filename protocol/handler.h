// What every command handler looks like: it works on the session, reads its arguments from the
// line stream (placed just after the command word), may read further lines from the command
// stream (BOARD does), writes its own answer lines and tells the loop whether to go on.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/line_stream.h"
#include "protocol/output_lines.h"
#include "protocol/session.h"

namespace tarn {

enum class AfterCommand { Continue, EndProcess };

using CommandHandler = AfterCommand (*)(Session& session, std::istream& args, std::istream& in,
                                        std::ostream& out);

// Whether the arguments read so far end the line cleanly. When they do not (an argument missing,
// malformed or one too many, even a trailing blank), answers the syntax error every command
// gives for that, and the handler changes nothing.
inline bool ArgumentsEndTheLine(const std::istream& args, std::ostream& out) {
    if (CleanlyAtLineEnd(args)) return true;
    ErrorLine(out, WrongCommandSyntaxMessage);
    return false;
}

}  // namespace tarn
