// libFuzzer target of the distribution set reader: arbitrary bytes written to a file and read as a
// set, with the progress windows and the result checked for consistency.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "distribution/distribution_set.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The windows come and go in order, and each bar only moves forwards within 0..100.
class CheckingProgress : public nebcm::SetReadingProgress {
public:
    void BeginReading(const std::string&) override {
        Check(state_ == 0);
        state_ = 1;
        last_ = 0;
    }
    void BeginFolding(const std::string&) override {
        Check(state_ == 1);
        state_ = 2;
        last_ = 0;
    }
    void SetProgress(int percent) override {
        Check(state_ == 1 || state_ == 2);
        Check(percent > last_ && percent <= 100);
        last_ = percent;
    }
    void End() override {
        Check(state_ == 1 || state_ == 2);
        state_ = 3;
    }
    bool Ended() const { return state_ == 3; }

private:
    int state_ = 0;
    int last_ = 0;
};

// One scratch file per process, removed when the process ends.
char setFile[] = "/tmp/nebcm-fuzz-set-XXXXXX";

void RemoveSetFile() {
    unlink(setFile);
}

std::string SetFile() {
    static const bool made = [] {
        int fd = mkstemp(setFile);
        Check(fd >= 0);
        close(fd);
        std::atexit(RemoveSetFile);
        return true;
    }();
    Check(made);
    return setFile;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    const std::string path = SetFile();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr);
    Check(size == 0 || std::fwrite(data, 1, size, f) == size);
    Check(std::fclose(f) == 0);

    nebcm::ErrorList errors;
    errors.Add("earlier");
    CheckingProgress progress;
    const nebcm::PlatformSymbols symbols{"WinXP", "WinNT"};
    std::unique_ptr<nebcm::DistributionSet> set =
        nebcm::ReadDistributionSet(path, errors, &progress, &symbols);
    Check(progress.Ended());
    Check(errors.At(0) == "earlier");
    if (!set) {
        Check(errors.Count() >= 2);
        return 0;
    }
    Check(errors.Count() == 1);
    // Every file of the merged configuration is there, whole; nothing else is.
    const nebcm::Configuration& merged = set->MergedConfiguration();
    std::size_t named = 0;
    for (std::size_t i = 0; i < merged.Count(); ++i) {
        const nebcm::Extension& e = merged.At(i);
        for (std::size_t j = 0; j < e.FileCount(); ++j) {
            const nebcm::ArchiveEntry* entry = set->FindEntry(e.FileAt(j).Path());
            Check(entry != nullptr && entry->Bytes().size() == entry->Size());
            ++named;
        }
        // What the set satisfies itself is no longer external.
        for (std::size_t j = 0; j < e.ExternalCount(); ++j) {
            const nebcm::ExternalDeclaration& d = e.ExternalAt(j);
            Check(merged.FindExtension(d.Kind(), d.Name()) == nullptr);
        }
    }
    Check(set->EntryCount() <= named);
    Check(set->EntrySizes().size() == set->EntryCount());
    return 0;
}
