// What the application object does the same on every backend.
#include "toolkit/application.h"
#include "toolkit/native.h"

namespace toolkit {

std::vector<std::string> ProgramArguments(const std::vector<std::string>& words) {
    std::vector<std::string> arguments;
    arguments.reserve(words.size());
    for (const std::string& word : words)
        arguments.push_back(
            word.size() >= 2 && word.front() == '"' && word.back() == '"' ? word.substr(1, word.size() - 2) : word);
    return arguments;
}

} // namespace toolkit
