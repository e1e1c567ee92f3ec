// nebpack verbs: each verb's source file registers itself with a static VerbRegistration.
#pragma once

#include <string>
#include <vector>

namespace nebpack {

// Runs a verb with its own arguments (the verb word removed); returns the exit code.
using VerbFunction = int (*)(const std::vector<std::string>& args);

struct Verb {
    const char* name;
    const char* synopsis; // one line for the overview
    const char* help;     // the whole text shown by "nebpack VERB --help"
    VerbFunction run;
};

struct VerbRegistration {
    explicit VerbRegistration(const Verb& verb);
};

const std::vector<Verb>& Verbs();

} // namespace nebpack
