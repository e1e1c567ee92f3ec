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

// Reads the set as the configuration manager does, with the given symbols (null: the machine's).
// Rejected: every message on err, one per line, and 1 (2 when the set cannot be read at all).
// Accepted: the merged configuration on out as the database writer writes it, with LF line
// ends, and 0.
int CheckSet(const std::string& set, const nebcm::PlatformSymbols* symbols, std::FILE* out,
             std::FILE* err);

// Writes every file of the accepted set below dir (created if missing, its parent must exist),
// at the paths the databases give, with their time stamps. Refuses, writing nothing, when the set
// is rejected (1), when a path would leave dir or two paths collide (1), or when something in
// dir stands in the way: a link, a directory where a file goes, a file where a directory goes
// (2). Other I/O failures: 2, after removing the files and directories this run created (files
// it replaced stay replaced).
int ExtractSet(const std::string& set, const std::string& dir,
               const nebcm::PlatformSymbols* symbols, std::FILE* out, std::FILE* err);

// Packs one subset per directory (its "neb.cdb" and every file below it) into the set `out`.
// Before anything is written, each database is read as the configuration manager reads it, once
// per symbol set (none given: the machine's), and every file it names must be in its
// directory; otherwise every message goes to err and the result is 1. The written set is then
// read back whole with each symbol set; if the configuration manager would reject it, out is
// removed, the messages go to err, and the result is 1. I/O failures: 2, and no out is left.
int PackSet(const std::string& out, const std::vector<std::string>& dirs,
            const std::vector<nebcm::PlatformSymbols>& symbols, std::FILE* err);

} // namespace nebpack
