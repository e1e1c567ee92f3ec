// Fuzz target of the journal decoder: arbitrary bytes never crash it, and whatever it reads back
// encodes to the same entries again.
#include <cstdint>
#include <cstdlib>

#include "common/journal_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    nebcm::JournalContents contents;
    if (nebcm::DecodeJournal(data, size, contents) != nebcm::JournalReadStatus::Read) {
        return 0;
    }
    if (contents.length > size) {
        std::abort();
    }
    std::vector<std::uint8_t> again = nebcm::EncodeJournalHeader(contents.stamp);
    for (const nebcm::JournalRecord& record : contents.records) {
        std::vector<std::uint8_t> entry = nebcm::EncodeJournalRecord(record);
        again.insert(again.end(), entry.begin(), entry.end());
    }
    nebcm::JournalContents reread;
    if (nebcm::DecodeJournal(again.data(), again.size(), reread) !=
            nebcm::JournalReadStatus::Read ||
        !(reread.records == contents.records) || reread.torn) {
        std::abort();
    }
    return 0;
}
