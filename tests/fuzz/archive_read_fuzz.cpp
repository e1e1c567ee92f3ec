// Fuzz target of the archive reader: arbitrary bytes read as an archive from a memory stream.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "io/archive.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class CheckingProgress : public nebcm::ArchiveProgress {
public:
    explicit CheckingProgress(int cancelAt) : cancelAt_(cancelAt) {}
    int Progress(int percent) override {
        Check(percent >= last_ && percent <= 100);
        last_ = percent;
        return percent == cancelAt_ ? nebcm::ProgressCancel : 1;
    }

private:
    int cancelAt_;
    int last_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    nebcm::MemoryInputStream stream(data, static_cast<std::uint32_t>(size));
    std::unique_ptr<nebcm::Archive> archive;
    // Inputs whose size ends in 7 are read with a callback that cancels at 75 %.
    CheckingProgress progress(size % 10 == 7 ? 75 : -1);
    nebcm::ProcedureResult result = nebcm::ReadArchive(stream, archive, &progress);
    Check((result == nebcm::ProcedureResult::Succeeded) == (archive != nullptr));
    if (!archive) {
        return 0;
    }
    Check(archive->Length() <= size);
    for (int i = 0; i < archive->Count(); ++i) {
        const nebcm::ArchiveEntry* e = archive->Entry(i);
        const nebcm::ArchiveEntry* found = archive->Find(e->NameWithSlashes());
        Check(found != nullptr && found->NameWithSlashes() == e->NameWithSlashes());
        Check(e->Bytes().size() == e->Size());
        std::unique_ptr<nebcm::DataInputStream> s = e->OpenStream();
        Check(s->Skip(e->Size()) == e->Size() && s->AtEnd());
    }
    return 0;
}
