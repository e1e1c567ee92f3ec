// Distribution sets in nebpack: packing subset directories into a set, checking a set as the
// configuration manager reads it, and extracting its files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model/platform_symbols.h"

namespace nebpack {

// Exit codes of the set verbs.
enum SetExit { SetDone = 0, SetRejected = 1, SetFailed = 2 };

// The arguments of a set verb: the words that are not options, and the platform symbol sets of
// every "--symbols A,B,C" (or "--symbols=A,B,C"). False, with a reason, for an unknown option
// or a missing list.
struct SetArguments {
    std::vector<std::string> words;
    std::vector<nebcm::PlatformSymbols> symbols;
};
bool ParseSetArguments(const std::vector<std::string>& args, SetArguments& parsed,
                       std::string& error);

// The set verbs print their result on `out`: the configuration, or every message the
// configuration manager gives when it rejects the set, one per line, in order, repeats included.
// Failures (a file that cannot be opened, read or written) go to `err`.

// Reads the set as the configuration manager does, with the given symbols (null: the machine's).
// Rejected: every message on out, and 1; a set that cannot be opened at all: its message on err,
// and 2. Accepted: the merged configuration on out as the database writer writes it, with LF
// line ends, and 0.
int CheckSet(const std::string& set, const nebcm::PlatformSymbols* symbols, std::FILE* out,
             std::FILE* err);

// Writes every file of the accepted set below dir (created if missing, its parent must exist),
// at the paths the databases give, with their time stamps. Refuses, writing nothing, when the set
// is rejected (1), when a path would leave dir or two paths collide (1; why, on out), or when
// something in dir stands in the way: a link, a directory where a file goes, a file where a
// directory goes (2). Other I/O failures: 2, after removing the files and directories this run
// created (files it replaced stay replaced).
int ExtractSet(const std::string& set, const std::string& dir,
               const nebcm::PlatformSymbols* symbols, std::FILE* out, std::FILE* err);

// Packs one subset per directory (its "neb.cdb" and every file below it) into the set `out`.
// Before anything is written, each database is read as the configuration manager reads it, once
// per symbol set (none given: the machine's), and every file it names must be in its
// directory; otherwise every message goes to results and the result is 1. The written set is
// then read back whole with each symbol set; if the configuration manager would reject it, out
// is removed, the messages go to results, and the result is 1 (so do files that an archive
// cannot hold). I/O failures: 2, reported on err, and no out is left.
int PackSet(const std::string& out, const std::vector<std::string>& dirs,
            const std::vector<nebcm::PlatformSymbols>& symbols, std::FILE* results, std::FILE* err);

} // namespace nebpack
