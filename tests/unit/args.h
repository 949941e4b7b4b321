// The argument vector of a run, with the program name first; the strings live as long as it.
#pragma once

#include <string>
#include <vector>

struct Args {
    std::vector<std::string> text;
    std::vector<char *> argv;
    explicit Args(const std::vector<std::string> &args) : text(args)
    {
        text.insert(text.begin(), "glimpwatch");
        for (std::string &s : text)
            argv.push_back(&s[0]);
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(text.size()); }
};
