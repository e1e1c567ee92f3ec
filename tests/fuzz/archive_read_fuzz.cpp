// Fuzz target of the archive reader: arbitrary bytes read as an archive from a memory stream.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

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
        const std::vector<std::uint8_t> bytes = e->Bytes();
        Check(bytes.size() == e->Size());
        std::unique_ptr<nebcm::DataInputStream> s = e->OpenStream();
        Check(s->Skip(e->Size()) == e->Size() && s->AtEnd());
        // Two streams on one entry, and one on the next entry, read by turns in odd steps: each
        // decodes on its own, whatever the others do meanwhile.
        std::unique_ptr<nebcm::DataInputStream> a = e->OpenStream();
        std::unique_ptr<nebcm::DataInputStream> b = e->OpenStream();
        const nebcm::ArchiveEntry* other = archive->Entry((i + 1) % archive->Count());
        std::unique_ptr<nebcm::DataInputStream> c = other->OpenStream();
        std::vector<std::uint8_t> viaA, viaB;
        std::uint8_t chunk[97];
        for (;;) {
            const std::uint32_t na = a->Read(chunk, 97);
            viaA.insert(viaA.end(), chunk, chunk + na);
            c->Read(chunk, 13);
            const int one = b->Read();
            if (one >= 0) {
                viaB.push_back(static_cast<std::uint8_t>(one));
                const std::uint32_t nb = b->Read(chunk, 6);
                viaB.insert(viaB.end(), chunk, chunk + nb);
            }
            if (na == 0 && one < 0) {
                break;
            }
        }
        Check(viaA == bytes && viaB == bytes);
    }
    return 0;
}
