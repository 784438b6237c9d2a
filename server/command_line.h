// The program's commands and their options ("--name value" or
// "--name=value"; every option takes a value).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tipserver {

struct CommandLine {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;                // the last value of each
    std::map<std::string, std::vector<std::string>> repeated;  // every value, in order

    std::string Get(const std::string& name, const std::string& fallback) const {
        const auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::vector<std::string> All(const std::string& name) const {
        const auto it = repeated.find(name);
        return it == repeated.end() ? std::vector<std::string>() : it->second;
    }
};

// Reads argv[first..]; false with a message on an unknown option or a
// missing value.
bool ParseCommandLine(int argc, char** argv, int first, const std::set<std::string>& known, CommandLine& out,
                      std::string& error);

// Reads a whole number in [min, max]; false when the text is anything else.
bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long& out);

int RunServe(int argc, char** argv);
int RunCheck(int argc, char** argv);
int RunQuery(int argc, char** argv);

}  // namespace tipserver
