#include "protocol/line_stream.h"

#include <limits>
#include <locale>

namespace tarn {

bool ReadCommandLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    const bool endedByLineFeed = !in.eof();
    if (endedByLineFeed && !line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::istringstream MakeLineStream(const std::string& line) {
    std::istringstream stream(line);
    stream.imbue(std::locale::classic());
    return stream;
}

void ToUpperAscii(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

void ToLowerAscii(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

bool CleanlyAtLineEnd(const std::istream& args) {
    return args.eof() && !args.fail() && !args.bad();
}

namespace {

// One signed decimal number in the 32-bit range; anything else sets the fail flag.
int32_t ReadInt32(std::istream& args) {
    long long wide = 0;
    args >> wide;
    if (args.fail()) return 0;
    if (wide < std::numeric_limits<int32_t>::min() || wide > std::numeric_limits<int32_t>::max()) {
        args.setstate(std::ios::failbit);
        return 0;
    }
    return static_cast<int32_t>(wide);
}

// The separator between two numbers: the first character that is neither white space nor
// below '!' as a signed byte must be a comma.
void ReadSeparator(std::istream& args) {
    char c = 0;
    args >> c;
    while (args.good() && static_cast<signed char>(c) < '!') args >> c;
    if (c != ',') args.setstate(std::ios::failbit);
}

}  // namespace

void ReadNumberList(std::istream& args, int32_t* numbers, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) ReadSeparator(args);
        numbers[i] = ReadInt32(args);
    }
}

bool ReadSettingNumber(std::istream& args, int64_t& value) {
    args >> std::ws;
    if (args.eof()) return false;
    // A failed extraction stores 0, and one beyond the range of long long its nearest limit.
    long long wide = 0;
    args >> wide;
    value = wide;
    return true;
}

bool ReadSettingNumber(std::istream& args, int32_t& value) {
    int64_t wide = 0;
    if (!ReadSettingNumber(args, wide)) return false;
    if (wide < std::numeric_limits<int32_t>::min()) {
        value = std::numeric_limits<int32_t>::min();
    } else if (wide > std::numeric_limits<int32_t>::max()) {
        value = std::numeric_limits<int32_t>::max();
    } else {
        value = static_cast<int32_t>(wide);
    }
    return true;
}

}  // namespace tarn
