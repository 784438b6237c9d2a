#include "command_line.h"

namespace tipserver {

bool ParseCommandLine(int argc, char** argv, int first, const std::set<std::string>& known, CommandLine& out,
                      std::string& error) {
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            out.positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = "--" + name + " needs a value";
            return false;
        }
        if (known.count(name) == 0) {
            error = "unknown option --" + name;
            return false;
        }
        out.options[name] = value;
        out.repeated[name].push_back(value);
    }
    return true;
}

bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long& out) {
    if (text.empty() || text.size() > 20) return false;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    out = value;
    return true;
}

}  // namespace tipserver
