// Distribution sets in nebpack, through the configuration manager's own set and database readers:
// what nebpack accepts, the configuration manager accepts.
#include "set_tool.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "archive_build.h"
#include "common/constants.h"
#include "common/error_list.h"
#include "common/messages.h"
#include "dir_walk.h"
#include "distribution/distribution_set.h"
#include "io/streams.h"
#include "model/component_database_writer.h"
#include "model/path_rules.h"
#include "output_tree.h"
#include "platform/file_info.h"
#include "progress.h"

namespace nebpack {

namespace {

// Database text onto a C stream as it is, every line ended by LF alone.
class PlainText : public nebcm::TextOutputStream {
public:
    explicit PlainText(std::FILE* out) : out_(out) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override { std::fflush(out_); }
    void PrintV(const char* format, va_list args) override {
        const std::string text = nebcm::FormatTextV(format, args);
        std::fwrite(text.data(), 1, text.size(), out_);
    }

private:
    std::FILE* out_;
};

// Every message in the order it was given, repeats included, as the saved error log has them.
void PrintMessages(const nebcm::ErrorList& errors, std::FILE* stream) {
    for (const std::string& m : errors.Messages()) {
        std::fprintf(stream, "%s\n", m.c_str());
    }
}

// The set's rejection exit code: a set that cannot be read at all is an I/O failure.
int RejectionCode(const nebcm::ErrorList& errors, const std::string& set) {
    return errors.Count() == 1 && errors.At(0) == nebcm::Message(12104, nebcm::AbsolutePath(set))
               ? SetFailed
               : SetRejected;
}

// A rejected set's messages are the check's result and go to out; a set that cannot be opened
// is a failure, reported on err.
std::unique_ptr<nebcm::DistributionSet> ReadSet(const std::string& set,
                                                const nebcm::PlatformSymbols* symbols,
                                                std::FILE* out, std::FILE* err, int& code) {
    nebcm::ErrorList errors;
    std::unique_ptr<nebcm::DistributionSet> result =
        nebcm::ReadDistributionSet(set, errors, CurrentProgress(), symbols);
    if (!result) {
        code = RejectionCode(errors, set);
        PrintMessages(errors, code == SetFailed ? err : out);
    }
    return result;
}

std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        std::string::size_type slash = path.find('/', start);
        out.push_back(path.substr(start, slash == std::string::npos ? slash : slash - start));
        if (slash == std::string::npos) {
            return out;
        }
        start = slash + 1;
    }
}

std::string Native(std::string path) {
    std::replace(path.begin(), path.end(), '/', NativeSeparator());
    return path;
}

// How the file system tells names apart.
std::string NameKey(const std::string& path) {
    return NamesIgnoreCase() ? nebcm::PathIdentity(path) : path;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    data.clear();
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        data.insert(data.end(), buffer, buffer + n);
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

} // namespace

bool ParseSetArguments(const std::vector<std::string>& args, SetArguments& parsed,
                       std::string& error) {
    parsed = SetArguments();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--symbols" || a.rfind("--symbols=", 0) == 0) {
            std::string list;
            if (a == "--symbols") {
                if (i + 1 == args.size()) {
                    error = "--symbols needs a list of symbols, such as --symbols WinXP,Pentium";
                    return false;
                }
                list = args[++i];
            } else {
                list = a.substr(10);
            }
            parsed.symbols.push_back(nebcm::PlatformSymbols::FromList(list));
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            parsed.words.push_back(a);
        }
    }
    return true;
}

int CheckSet(const std::string& set, const nebcm::PlatformSymbols* symbols, std::FILE* out,
             std::FILE* err) {
    int code = SetDone;
    std::unique_ptr<nebcm::DistributionSet> read = ReadSet(set, symbols, out, err, code);
    if (!read) {
        return code;
    }
    PlainText text(out);
    nebcm::ComponentDatabaseWriter::Write(read->MergedConfiguration(), text);
    return std::fflush(out) == 0 && !std::ferror(out) ? SetDone : SetFailed;
}

int ExtractSet(const std::string& set, const std::string& dir,
               const nebcm::PlatformSymbols* symbols, std::FILE* out, std::FILE* err) {
    int code = SetDone;
    std::unique_ptr<nebcm::DistributionSet> read = ReadSet(set, symbols, out, err, code);
    if (!read) {
        return code;
    }
    const std::string sep(1, NativeSeparator());
    std::string rootFull = nebcm::AbsolutePath(dir);
    if (rootFull.empty() || rootFull.back() != NativeSeparator()) {
        rootFull += sep;
    }
    std::vector<std::string> paths;
    for (const auto& [path, size] : read->EntrySizes()) {
        paths.push_back(path);
    }

    // Every path stays inside dir, and no two paths claim one place.
    std::map<std::string, std::string> files; // name key -> path
    for (const std::string& path : paths) {
        // The set reader holds its paths to the same rule; checked again here because this is
        // where they are written.
        const std::string full = nebcm::AbsolutePath(dir + sep + Native(path));
        if (!nebcm::IsValidRelativePath(path) || full.compare(0, rootFull.size(), rootFull) != 0) {
            std::fprintf(out, "nebpack: the path '%s' cannot be written safely below '%s'\n",
                         path.c_str(), dir.c_str());
            return SetRejected;
        }
        auto [it, fresh] = files.emplace(NameKey(path), path);
        if (!fresh) {
            std::fprintf(out, "nebpack: the paths '%s' and '%s' name the same file here\n",
                         it->second.c_str(), path.c_str());
            return SetRejected;
        }
    }
    for (const std::string& path : paths) {
        const std::vector<std::string> segments = Segments(path);
        std::string prefix;
        for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
            prefix += (i ? "/" : "") + segments[i];
            auto it = files.find(NameKey(prefix));
            if (it != files.end()) {
                std::fprintf(out, "nebpack: '%s' is a file, so '%s' cannot be written\n",
                             it->second.c_str(), path.c_str());
                return SetRejected;
            }
        }
    }

    // Nothing already in dir may stand in the way or lead elsewhere.
    const PathState rootState = Examine(dir);
    if (rootState == PathState::File) {
        std::fprintf(err, "nebpack: '%s' is a file, not a directory\n", dir.c_str());
        return SetFailed;
    }
    for (const std::string& path : paths) {
        const std::vector<std::string> segments = Segments(path);
        std::string place = dir;
        for (std::size_t i = 0; i < segments.size(); ++i) {
            place += sep + segments[i];
            const PathState state = Examine(place);
            const bool last = i + 1 == segments.size();
            if (state == PathState::Missing) {
                break;
            }
            if (state == PathState::Other ||
                (last ? state == PathState::Directory : state == PathState::File)) {
                std::fprintf(err, "nebpack: '%s' is in the way of '%s'\n", place.c_str(),
                             path.c_str());
                return SetFailed;
            }
        }
    }

    // What this run creates, in order, so that a failure partway takes it away again. A file
    // that was there before and has been replaced cannot be given back.
    std::vector<std::pair<std::string, bool>> created; // path, is a directory
    std::size_t replaced = 0;
    const auto fail = [&](const std::string& error) {
        for (auto it = created.rbegin(); it != created.rend(); ++it) {
            RemoveCreated(it->first, it->second);
        }
        std::fprintf(err, "nebpack: %s\n", error.c_str());
        if (replaced != 0) {
            std::fprintf(err,
                         "nebpack: what this run created is removed again; %zu file%s that "
                         "existed before %s replaced and cannot be restored\n",
                         replaced, replaced == 1 ? "" : "s", replaced == 1 ? "was" : "were");
        }
        return SetFailed;
    };
    std::string error;
    if (rootState == PathState::Missing) {
        if (!MakeDirectory(dir, error)) {
            return fail(error);
        }
        created.emplace_back(dir, true);
    }
    std::set<std::string> made;
    for (const std::string& path : paths) {
        const std::vector<std::string> segments = Segments(path);
        std::string place = dir;
        for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
            place += sep + segments[i];
            // Whatever is not a directory yet is made one; a name the system cannot even
            // examine fails here with the reason.
            if (made.insert(NameKey(place)).second && Examine(place) != PathState::Directory) {
                if (!MakeDirectory(place, error)) {
                    return fail(error);
                }
                created.emplace_back(place, true);
            }
        }
        ShowProgress("writing " + path,
                     static_cast<int>(100 * (&path - paths.data()) / paths.size()));
        const nebcm::ArchiveEntry& entry = *read->FindEntry(path);
        const std::string target = dir + sep + Native(path);
        const bool existed = Examine(target) == PathState::File;
        bool written = false;
        try {
            std::unique_ptr<nebcm::DataInputStream> data = entry.OpenStream();
            written = WriteFileAt(target, *data, entry.LastWriteTime(), error);
        } catch (const nebcm::IOException&) {
            // The set was checked when it was read; data that no longer decodes means its file
            // changed since, and what was written of this file is not what the set holds.
            error = nebcm::Message(13021, nebcm::AbsolutePath(set));
        }
        if (existed) {
            ++replaced;
        } else if (Examine(target) == PathState::File) {
            created.emplace_back(target, false);
        }
        if (!written) {
            return fail(error);
        }
    }
    EndProgress();
    std::fprintf(out, "%zu file%s written below '%s'\n", paths.size(), paths.size() == 1 ? "" : "s",
                 dir.c_str());
    return SetDone;
}

int PackSet(const std::string& out, const std::vector<std::string>& dirs,
            const std::vector<nebcm::PlatformSymbols>& symbols, std::FILE* results,
            std::FILE* err) {
    const std::string full = nebcm::AbsolutePath(out);
    std::vector<const nebcm::PlatformSymbols*> passes;
    for (const nebcm::PlatformSymbols& s : symbols) {
        passes.push_back(&s);
    }
    if (passes.empty()) {
        passes.push_back(nullptr);
    }

    // Each subset as the configuration manager will see it, before anything is written.
    nebcm::ErrorList problems;
    std::vector<std::vector<FoundFile>> subsets(dirs.size());
    for (std::size_t k = 0; k < dirs.size(); ++k) {
        std::string error;
        if (!ListFiles(dirs[k], subsets[k], error)) {
            std::fprintf(err, "nebpack: %s\n", error.c_str());
            return SetFailed;
        }
        std::vector<FoundFile>& files = subsets[k];
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [&](const FoundFile& f) { return SameFile(f.path, out); }),
                    files.end());
        std::set<std::string> present;
        const FoundFile* database = nullptr;
        for (const FoundFile& f : files) {
            present.insert(f.relative);
            if (f.relative == nebcm::ComponentDatabaseFile) {
                database = &f;
            }
        }
        if (database == nullptr) {
            problems.Add(nebcm::Message(12107, static_cast<int>(k + 1), full));
            continue;
        }
        std::vector<std::uint8_t> text;
        if (!ReadWhole(database->path, text)) {
            std::fprintf(err, "nebpack: cannot read '%s'\n", database->path.c_str());
            return SetFailed;
        }
        for (const nebcm::PlatformSymbols* pass : passes) {
            std::unique_ptr<nebcm::Configuration> configuration =
                nebcm::ReadSubsetDatabase(text, full, pass, problems);
            if (!configuration) {
                continue;
            }
            for (std::size_t i = 0; i < configuration->Count(); ++i) {
                const nebcm::Extension& e = configuration->At(i);
                for (std::size_t j = 0; j < e.FileCount(); ++j) {
                    if (present.count(e.FileAt(j).Path()) == 0) {
                        problems.Add(nebcm::Message(12111, static_cast<int>(k + 1), full,
                                                    e.FileAt(j).Path()));
                    }
                }
            }
        }
    }
    if (!problems.Empty()) {
        PrintMessages(problems, results);
        return SetRejected;
    }

    {
        OutputFile file(out);
        if (!file.IsOpen()) {
            std::fprintf(err, "nebpack: cannot create '%s'\n", out.c_str());
            return SetFailed;
        }
        std::uint64_t total = 0;
        for (std::vector<FoundFile>& files : subsets) {
            ShowProgress("packing subset " + std::to_string(&files - subsets.data() + 1) + " of " +
                             std::to_string(subsets.size()),
                         static_cast<int>(100 * (&files - subsets.data()) / subsets.size()));
            std::uint64_t length = 0;
            const int result =
                AppendArchive(file.Get(), std::move(files), out, results, err, length);
            if (result != 0) {
                return result;
            }
            total += length;
            if (total >= (std::uint64_t{1} << 31)) {
                std::fprintf(results, "%s\n", nebcm::Message(12105, full).c_str());
                return SetRejected;
            }
        }
        if (!file.Keep()) {
            std::fprintf(err, "nebpack: cannot write '%s'\n", out.c_str());
            return SetFailed;
        }
    }

    // The whole set read back: folding and the files' bytes are checked only here.
    for (const nebcm::PlatformSymbols* pass : passes) {
        nebcm::ErrorList errors;
        if (!nebcm::ReadDistributionSet(out, errors, CurrentProgress(), pass)) {
            PrintMessages(errors, results);
            std::remove(out.c_str());
            return SetRejected;
        }
    }
    return SetDone;
}

} // namespace nebpack
