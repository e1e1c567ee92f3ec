// Distribution sets: reading a .nds file of LZW subsets into one merged configuration with its
// files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "io/archive.h"
#include "model/extension.h"
#include "model/platform_symbols.h"

namespace nebcm {

// The result of reading a set: the merged configuration and the file of every distinct path it
// names. The entries decode their data from the set file on demand, and keep the file open
// (readable by others, not writable) until the last of them goes.
class DistributionSet {
public:
    DistributionSet(std::unique_ptr<Configuration> merged,
                    std::vector<std::unique_ptr<ArchiveEntry>> entries);
    ~DistributionSet();
    DistributionSet(const DistributionSet&) = delete;
    DistributionSet& operator=(const DistributionSet&) = delete;

    // The merged configuration itself, not a copy.
    Configuration& MergedConfiguration() { return *merged_; }
    const Configuration& MergedConfiguration() const { return *merged_; }
    // The entry of a '/'-separated path (exact case), or null.
    const ArchiveEntry* FindEntry(const std::string& path) const;
    // Every entry's '/'-separated path with its size.
    std::map<std::string, std::uint64_t> EntrySizes() const;
    std::size_t EntryCount() const { return entries_.size(); }
    const ArchiveEntry& EntryAt(std::size_t i) const { return *entries_.at(i); }

private:
    std::unique_ptr<Configuration> merged_;
    std::vector<std::unique_ptr<ArchiveEntry>> entries_;
    std::map<std::string, const ArchiveEntry*> index_;
};

// The two progress windows of reading a set: one while its subsets are read and checked, one while
// they are folded together. The program shows dialogs; tests and tools record or ignore.
class SetReadingProgress {
public:
    virtual ~SetReadingProgress() = default;
    // The reading window appears, showing the set's absolute path.
    virtual void BeginReading(const std::string& path) = 0;
    // The reading window goes and the folding window appears.
    virtual void BeginFolding(const std::string& path) = 0;
    // Moves the current window's bar (0..100).
    virtual void SetProgress(int percent) = 0;
    // Whichever window is shown goes (at the end, or on failure).
    virtual void End() = 0;
};

// Reads the database text of one subset as the set reader does: in the current dialect through the
// preprocessor (with the given symbols, or the machine's), and when that fails in the 1.0
// dialect. When neither accepts it, appends 12110, the current reader's messages, 12109 and the
// 1.0 reader's messages, all naming the set by setPath, and returns null.
std::unique_ptr<Configuration> ReadSubsetDatabase(const std::vector<std::uint8_t>& text,
                                                  const std::string& setPath,
                                                  const PlatformSymbols* symbols,
                                                  ErrorList& errors);
// The same for a database read through streams: `open` gives a new one from its start for each
// attempt.
std::unique_ptr<Configuration>
ReadSubsetDatabase(const std::function<std::unique_ptr<DataInputStream>()>& open,
                   const std::string& setPath, const PlatformSymbols* symbols, ErrorList& errors);

// Whether two definitions of one extension in one version are the same: description, copyright,
// package, the core's Java dispatcher or a component's service class, the set of file paths, and
// every file's bytes as each subset's archive holds them. One message per difference is appended
// to messages; true when there was none.
bool CompareDefinitions(const Extension& f, const Extension& e, const Archive& archiveF,
                        const Archive& archiveE, ErrorList& messages);

// Reads, checks and folds a distribution set. On failure returns null after appending at least one
// message; messages name the set by its absolute path. Databases are read with the given platform
// symbols, or the machine's when none are given. A set that cannot be opened is reported like
// any other failure; memory running out gets a message of its own, as does a set file that
// changes while it is read; nothing is thrown.
std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path, ErrorList& errors,
                                                     SetReadingProgress* progress = nullptr,
                                                     const PlatformSymbols* symbols = nullptr);

} // namespace nebcm
