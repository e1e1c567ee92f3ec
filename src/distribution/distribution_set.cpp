// Reading a distribution set: every subset archive, its database and files, folded into one
// configuration with the files it names.
#include "distribution/distribution_set.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <utility>

#include "common/constants.h"
#include "common/messages.h"
#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/legacy_component_database_reader.h"
#include "model/path_rules.h"
#include "model/validator.h"
#include "platform/file_info.h"

namespace nebcm {

DistributionSet::DistributionSet(std::unique_ptr<Configuration> merged,
                                 std::vector<std::unique_ptr<ArchiveEntry>> entries)
    : merged_(std::move(merged)), entries_(std::move(entries)) {
    for (const auto& e : entries_) {
        index_[e->NameWithSlashes()] = e.get();
    }
}

DistributionSet::~DistributionSet() = default;

const ArchiveEntry* DistributionSet::FindEntry(const std::string& path) const {
    auto it = index_.find(path);
    return it == index_.end() ? nullptr : it->second;
}

std::map<std::string, std::uint64_t> DistributionSet::EntrySizes() const {
    std::map<std::string, std::uint64_t> sizes;
    for (const auto& [path, entry] : index_) {
        sizes[path] = entry->Size();
    }
    return sizes;
}

bool CompareDefinitions(const Extension& f, const Extension& e, const Archive& archiveF,
                        const Archive& archiveE, ErrorList& messages) {
    const std::size_t before = messages.Count();
    const std::string& name = f.Name();
    if (f.Description() != e.Description()) {
        messages.Add(Message(12113, name));
    }
    if (f.Copyright() != e.Copyright()) {
        messages.Add(Message(12114, name));
    }
    if (f.Package() != e.Package()) {
        messages.Add(Message(12115, name));
    }
    if (f.Kind() == ExtensionKind::Core && e.Kind() == ExtensionKind::Core &&
        static_cast<const Core&>(f).JavaDispatcher() !=
            static_cast<const Core&>(e).JavaDispatcher()) {
        messages.Add(Message(12117));
    }
    if (f.Kind() == ExtensionKind::Component && e.Kind() == ExtensionKind::Component &&
        static_cast<const Component&>(f).ServiceClass() !=
            static_cast<const Component&>(e).ServiceClass()) {
        messages.Add(Message(12116, name));
    }
    bool samePaths = f.FileCount() == e.FileCount();
    for (std::size_t i = 0; samePaths && i < f.FileCount(); ++i) {
        samePaths = e.ContainsFile(f.FileAt(i).Path());
    }
    if (!samePaths) {
        messages.Add(Message(12118, name));
    }
    for (std::size_t i = 0; i < f.FileCount(); ++i) {
        const std::string& path = f.FileAt(i).Path();
        const ArchiveEntry* a = archiveF.Find(path);
        const ArchiveEntry* b = archiveE.Find(path);
        if (a == nullptr || b == nullptr || a->Size() != b->Size()) {
            messages.Add(Message(12118, name));
            break;
        }
        if (!SameEntryData(*a, *b)) {
            messages.Add(Message(12120, name, path));
            break;
        }
    }
    return messages.Count() == before;
}

namespace {

// Reads bytes that live elsewhere without copying them; the owner outlives the stream.
class ByteView : public DataInputStream {
public:
    explicit ByteView(const std::vector<std::uint8_t>& bytes)
        : data_(bytes.data()), size_(static_cast<std::uint32_t>(bytes.size())) {}

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool AtEnd() override {
        CheckOpen();
        return position_ >= size_;
    }
    std::uint32_t Skip(std::uint32_t n) override {
        CheckOpen();
        std::uint32_t take = n < size_ - position_ ? n : size_ - position_;
        position_ += take;
        return take;
    }
    int Read() override {
        CheckOpen();
        return position_ < size_ ? data_[position_++] : -1;
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        CheckOpen();
        std::uint32_t take = n < size_ - position_ ? n : size_ - position_;
        if (take > 0) {
            std::memcpy(buffer, data_ + position_, take);
        }
        position_ += take;
        return take;
    }

private:
    void CheckOpen() const {
        if (!open_) {
            throw IOException();
        }
    }
    const std::uint8_t* data_;
    std::uint32_t size_;
    std::uint32_t position_ = 0;
    bool open_ = true;
};

// The progress windows of one read: each window's bar moves only when its value changes, and
// whichever window is shown goes when the read ends, however it ends.
class Windows {
public:
    Windows(SetReadingProgress* progress, const std::string& path)
        : progress_(progress), path_(path) {}
    ~Windows() {
        if (progress_ != nullptr && shown_) {
            progress_->End();
        }
    }
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    void BeginReading() {
        if (progress_ != nullptr) {
            progress_->BeginReading(path_);
        }
        shown_ = true;
        percent_ = 0;
    }
    void BeginFolding() {
        if (progress_ != nullptr) {
            progress_->BeginFolding(path_);
        }
        percent_ = 0;
    }
    void Set(std::uint64_t percent) {
        const int value = static_cast<int>(percent);
        if (progress_ != nullptr && value != percent_) {
            percent_ = value;
            progress_->SetProgress(value);
        }
    }

private:
    SetReadingProgress* progress_;
    std::string path_;
    bool shown_ = false;
    int percent_ = 0;
};

struct Subset {
    std::unique_ptr<Archive> archive;
    std::unique_ptr<Configuration> configuration;
};

// One attempt at a subset's database: the bytes read through a 512-byte buffer and a line reader,
// by the current reader (through the preprocessor) or the 1.0 reader.
std::unique_ptr<Configuration> ReadDatabase(DataInputStream& bytes, const std::string& setPath,
                                            const PlatformSymbols* symbols, bool legacy,
                                            ErrorList& messages) {
    BufferedInputStream buffered(bytes, StreamBufferSize);
    LineReader lines(buffered, 1);
    if (legacy) {
        return LegacyComponentDatabaseReader(setPath, lines, ReaderMode::Distribution)
            .Read(messages);
    }
    if (symbols != nullptr) {
        return ComponentDatabaseReader(setPath, lines, ReaderMode::Distribution, *symbols)
            .Read(messages);
    }
    return ComponentDatabaseReader(setPath, lines, ReaderMode::Distribution).Read(messages);
}

// The percent of the readability check after `done` of `total` bytes.
std::uint64_t ReadingPercent(std::uint64_t done, std::uint64_t total) {
    return 40 + done * 60 / total;
}

// Moves the bar over bytes start+1 .. end of the readability check, stopping at every value a
// byte-by-byte read would show, without visiting the bytes themselves.
void AdvanceReading(Windows& windows, std::uint64_t start, std::uint64_t end, std::uint64_t total) {
    std::uint64_t b = start + 1;
    while (b <= end) {
        const std::uint64_t q = ReadingPercent(b, total);
        windows.Set(q);
        // The first byte count that shows more than q: 40 + b * 60 / total >= q + 1.
        const std::uint64_t need = (q - 39) * total;
        b = std::max(b + 1, (need + 59) / 60);
    }
}

// The readability check reads entries this many bytes at a time.
constexpr std::uint32_t ReadingChunk = 1u << 15;

std::unique_ptr<DistributionSet> ReadSet(const std::string& path, const std::string& full,
                                         ErrorList& errors, Windows& windows,
                                         const PlatformSymbols* symbols) {
    // Size.
    std::uint64_t size = 0;
    if (!QueryFileLength(path, size)) {
        errors.Add(Message(12104, full));
        return nullptr;
    }
    if (size >= (std::uint64_t{1} << 31)) {
        errors.Add(Message(12105, full));
        return nullptr;
    }
    if (size == 0) {
        errors.Add(Message(12108, full));
        return nullptr;
    }

    // Subsets, back to back up to the end of the file: each archive ends exactly where the reader
    // stopped, which is where the next one starts. The file stays open for as long as an entry
    // read from it lives, so that the bytes checked here are the bytes installed later.
    std::shared_ptr<ArchiveSource> file;
    try {
        file = OpenArchiveSource(path);
    } catch (const IOException&) {
        // The file was measured a moment ago; whatever keeps it from opening now, the set cannot
        // be read, and saying so beats ending the program.
        errors.Add(Message(12104, full));
        return nullptr;
    }
    std::vector<Subset> subsets;
    // A subset without a database dooms the set, unless a later subset is damaged, which is
    // reported instead; such a subset need not be kept meanwhile.
    std::size_t firstWithoutDatabase = 0;
    std::uint64_t offset = 0;
    while (offset < size) {
        std::unique_ptr<Archive> archive;
        if (ReadArchiveAt(file, static_cast<std::uint32_t>(offset), archive, nullptr) !=
            ProcedureResult::Succeeded) {
            errors.Add(Message(12106, full));
            return nullptr;
        }
        offset += archive->Length();
        if (firstWithoutDatabase == 0 && archive->Find(ComponentDatabaseFile) == nullptr) {
            firstWithoutDatabase = subsets.size() + 1;
        }
        if (firstWithoutDatabase != 0) {
            archive.reset();
        }
        subsets.push_back(Subset{std::move(archive), nullptr});
        if (offset > size) {
            errors.Add(Message(12106, full));
            return nullptr;
        }
        windows.Set(offset * 40 / size);
    }
    file.reset();

    // Databases: first that every subset has one, then each read, the 1.0 dialect as fallback.
    if (firstWithoutDatabase != 0) {
        errors.Add(Message(12107, static_cast<int>(firstWithoutDatabase), full));
        return nullptr;
    }
    for (Subset& subset : subsets) {
        const ArchiveEntry& database = *subset.archive->Find(ComponentDatabaseFile);
        subset.configuration =
            ReadSubsetDatabase([&] { return database.OpenStream(); }, full, symbols, errors);
        if (!subset.configuration) {
            return nullptr;
        }
    }

    // Presence of every file a database names, in its own subset.
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        const Configuration& configuration = *subsets[k].configuration;
        for (std::size_t i = 0; i < configuration.Count(); ++i) {
            const Extension& extension = configuration.At(i);
            for (std::size_t j = 0; j < extension.FileCount(); ++j) {
                const std::string& file = extension.FileAt(j).Path();
                const ArchiveEntry* entry = subsets[k].archive->Find(file);
                if (entry == nullptr) {
                    errors.Add(Message(12111, static_cast<int>(k + 1), full, file));
                    return nullptr;
                }
                total += entry->Size();
            }
        }
    }

    // Readability: the data of every named file is there, exactly as long as its size says,
    // read through its stream.
    std::uint64_t done = 0;
    std::vector<std::uint8_t> chunk(ReadingChunk);
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        const Configuration& configuration = *subsets[k].configuration;
        for (std::size_t i = 0; i < configuration.Count(); ++i) {
            const Extension& extension = configuration.At(i);
            for (std::size_t j = 0; j < extension.FileCount(); ++j) {
                const std::string& file = extension.FileAt(j).Path();
                const ArchiveEntry& entry = *subsets[k].archive->Find(file);
                const std::uint64_t declared = entry.Size();
                std::unique_ptr<DataInputStream> stream = entry.OpenStream();
                std::uint64_t read = 0;
                bool longer = false;
                for (;;) {
                    const std::uint32_t got = stream->Read(chunk.data(), ReadingChunk);
                    if (got == 0) {
                        break;
                    }
                    const std::uint64_t counted = std::min<std::uint64_t>(got, declared - read);
                    AdvanceReading(windows, done + read, done + read + counted, total);
                    read += counted;
                    if (counted < got) {
                        longer = true;
                        break;
                    }
                }
                done += read;
                if (read != declared || longer) {
                    errors.Add(Message(12111, static_cast<int>(k + 1), full, file));
                    return nullptr;
                }
            }
        }
    }
    windows.BeginFolding();

    // Folding: one definition per kind and name, the highest version where several compete, and
    // equal versions only when they are the same definition.
    std::vector<const Extension*> merged;
    std::vector<std::size_t> origin; // the subset each merged definition comes from
    std::map<std::pair<int, std::string>, std::size_t> position;
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        const Configuration& configuration = *subsets[k].configuration;
        for (std::size_t i = 0; i < configuration.Count(); ++i) {
            const Extension& e = configuration.At(i);
            const auto key = std::make_pair(static_cast<int>(e.Kind()), e.Name());
            auto found = position.find(key);
            if (found == position.end()) {
                position.emplace(key, merged.size());
                merged.push_back(&e);
                origin.push_back(k);
                continue;
            }
            const std::size_t at = found->second;
            const Extension& f = *merged[at];
            if (f.Version() < e.Version()) {
                merged[at] = &e;
                origin[at] = k;
            } else if (f.Version() == e.Version()) {
                ErrorList differences;
                if (!CompareDefinitions(f, e, *subsets[origin[at]].archive, *subsets[k].archive,
                                        differences)) {
                    errors.Append(differences);
                    return nullptr;
                }
            }
        }
        windows.Set(80 * (k + 1) / subsets.size());
    }

    // Cloning: the winning definitions, and each distinct file once, from the subset of the
    // first definition that names it. The clones keep only where their data lies; what no winner
    // names goes with the subsets.
    ExtensionList cloned;
    std::vector<std::unique_ptr<ArchiveEntry>> entries;
    std::map<std::string, const ArchiveEntry*> taken;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        cloned.push_back(merged[i]->Clone());
        const Archive& archive = *subsets[origin[i]].archive;
        for (std::size_t j = 0; j < merged[i]->FileCount(); ++j) {
            const std::string& file = merged[i]->FileAt(j).Path();
            if (taken.count(file) != 0) {
                continue;
            }
            const ArchiveEntry* entry = archive.Find(file);
            if (entry == nullptr) {
                // Presence was checked above; a definition cannot lose a file since.
                errors.Add(Message(12111, static_cast<int>(origin[i] + 1), full, file));
                return nullptr;
            }
            entries.push_back(entry->Clone());
            taken.emplace(file, entries.back().get());
        }
        windows.Set(80 + 10 * (i + 1) / merged.size());
    }
    auto configuration = std::make_unique<Configuration>(std::move(cloned));

    // External declarations that the set itself satisfies become plain dependencies; one that
    // it contradicts rejects the set; the rest are left for the installation to check.
    const std::size_t count = configuration->Count();
    for (std::size_t i = 0; i < count; ++i) {
        Extension& x = configuration->At(i);
        for (std::size_t j = x.ExternalCount(); j-- > 0;) {
            const ExternalDeclaration& declaration = x.ExternalAt(j);
            const Extension* y =
                configuration->FindExtension(declaration.Kind(), declaration.Name());
            if (y == nullptr) {
                continue;
            }
            if (!declaration.Requirement().IsSatisfiedBy(y->Version())) {
                const std::string display = declaration.DisplayName().empty()
                                                ? std::string(MessageText(4004))
                                                : declaration.DisplayName();
                errors.Add(Message(12119, x.Description(), declaration.Requirement().ToText(),
                                   display, y->Version().ToText(), display));
                return nullptr;
            }
            const ExtensionKind kind = y->Kind();
            const std::string name = y->Name();
            x.RemoveExternal(j);
            x.AddDependency(std::make_unique<Dependency>(kind, name));
        }
        windows.Set(90 + 10 * (i + 1) / count);
    }

    // Each subset was checked on its own; the folded set must hold as well. Two subsets may not
    // spell one file differently, which would put two files in one place, and no extension may
    // bring a file that belongs to the platform or to the set's core.
    const bool pathsHold = CheckFilePaths(*configuration, errors);
    if (!CheckPlatformFiles(*configuration, nullptr, errors) || !pathsHold) {
        return nullptr;
    }

    subsets.clear();
    return std::make_unique<DistributionSet>(std::move(configuration), std::move(entries));
}

} // namespace

std::unique_ptr<Configuration>
ReadSubsetDatabase(const std::function<std::unique_ptr<DataInputStream>()>& open,
                   const std::string& setPath, const PlatformSymbols* symbols, ErrorList& errors) {
    ErrorList current;
    std::unique_ptr<Configuration> configuration;
    {
        std::unique_ptr<DataInputStream> bytes = open();
        configuration = ReadDatabase(*bytes, setPath, symbols, false, current);
    }
    if (configuration) {
        return configuration;
    }
    ErrorList legacy;
    {
        std::unique_ptr<DataInputStream> bytes = open();
        configuration = ReadDatabase(*bytes, setPath, symbols, true, legacy);
    }
    if (!configuration) {
        errors.Add(Message(12110, setPath));
        errors.Append(current);
        errors.Add(Message(12109, setPath));
        errors.Append(legacy);
    }
    return configuration;
}

std::unique_ptr<Configuration> ReadSubsetDatabase(const std::vector<std::uint8_t>& text,
                                                  const std::string& setPath,
                                                  const PlatformSymbols* symbols,
                                                  ErrorList& errors) {
    return ReadSubsetDatabase([&] { return std::make_unique<ByteView>(text); }, setPath, symbols,
                              errors);
}

std::unique_ptr<DistributionSet> ReadDistributionSet(const std::string& path, ErrorList& errors,
                                                     SetReadingProgress* progress,
                                                     const PlatformSymbols* symbols) {
    // Whatever fails partway leaves its messages in a list of its own, so that the caller's list
    // gets them whole or, when memory ran out, gets the one message that says why. Memory may run
    // out anywhere, even while the set's name is made absolute or the messages are handed over,
    // so the caller's list changes only at the very end, by a move that cannot fail.
    try {
        const std::string full = AbsolutePath(path);
        Windows windows(progress, full);
        windows.BeginReading();
        ErrorList messages;
        std::unique_ptr<DistributionSet> set;
        try {
            set = ReadSet(path, full, messages, windows, symbols);
        } catch (const SourceChangedException&) {
            // The file changed between two reads of the same bytes.
            set.reset();
            messages = ErrorList();
            messages.Add(Message(13021, full));
        }
        if (!set && messages.Empty()) {
            messages.Add(Message(12106, full));
        }
        ErrorList all = errors;
        all.Append(messages);
        errors = std::move(all);
        return set;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Memory running out says nothing about the set; the user is told what really happened.
    errors.Add(Message(13020));
    return nullptr;
}

} // namespace nebcm
