// What every command handler looks like: it works on the session, reads its arguments from the
// line stream (placed just after the command word), may read further lines from the command
// stream (BOARD does), writes its own answer lines and tells the loop whether to go on.
#pragma once

#include <istream>
#include <ostream>

#include "protocol/session.h"

namespace tarn {

enum class AfterCommand { Continue, EndProcess };

using CommandHandler = AfterCommand (*)(Session& session, std::istream& args, std::istream& in,
                                        std::ostream& out);

}  // namespace tarn
