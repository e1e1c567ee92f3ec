// Listing the entries of LZW archives through the program's own archive reader.
#include "archive_list.h"

#include <memory>
#include <vector>

#include "io/archive.h"
#include "io/streams.h"

namespace nebpack {

namespace {

// Days from 1970-01-01 to a civil date, inverted (proleptic Gregorian calendar).
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

enum class Probe { Archive, End, NotArchive, CannotOpen };

// Reads the archive at `offset` twice: its table for the stored fields, and the whole archive
// through the reader, which checks every entry's data.
Probe ReadAt(const std::string& path, std::uint32_t offset,
             std::vector<nebcm::ArchiveRecord>& records, std::unique_ptr<nebcm::Archive>& archive) {
    try {
        nebcm::FileInputStream file(path);
        nebcm::BufferedInputStream buffered(file, nebcm::StreamBufferSize);
        if (buffered.Skip(offset) != offset || (offset > 0 && buffered.AtEnd())) {
            return Probe::End;
        }
        bool table = false;
        try {
            table = nebcm::ReadArchiveTable(buffered, records);
        } catch (const nebcm::IOException&) {
            // A table cut short; the reader below says the same.
        }
        if (nebcm::ReadArchiveFile(path, offset, archive, nullptr) !=
                nebcm::ProcedureResult::Succeeded ||
            !table) {
            return Probe::NotArchive;
        }
        return Probe::Archive;
    } catch (const nebcm::FileNotFoundException&) {
        return Probe::CannotOpen;
    } catch (const nebcm::IOException&) {
        return Probe::CannotOpen;
    }
}

} // namespace

std::string FormatFileTime(std::uint64_t time) {
    const std::uint64_t seconds = time / 10000000u;
    // 1601-01-01 lies 134774 days before 1970-01-01.
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400) - 134774;
    const unsigned rest = static_cast<unsigned>(seconds % 86400);
    int year, month, day;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02u:%02u:%02u", year, month, day, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return text;
}

int ListArchives(const std::string& path, std::FILE* out, std::FILE* err) {
    std::uint32_t offset = 0;
    for (int index = 0;; ++index) {
        std::vector<nebcm::ArchiveRecord> records;
        std::unique_ptr<nebcm::Archive> archive;
        switch (ReadAt(path, offset, records, archive)) {
        case Probe::End:
            if (index > 0) {
                return 0;
            }
            [[fallthrough]];
        case Probe::NotArchive:
            if (index == 0) {
                std::fprintf(err, "nebpack: '%s' is not a readable LZW archive\n", path.c_str());
            } else {
                std::fprintf(err,
                             "nebpack: '%s': the bytes from offset %lu on are not a readable LZW "
                             "archive\n",
                             path.c_str(), static_cast<unsigned long>(offset));
            }
            return 1;
        case Probe::CannotOpen:
            std::fprintf(err, "nebpack: cannot open '%s'\n", path.c_str());
            return 2;
        case Probe::Archive:
            break;
        }
        std::uint64_t size = 0, compressed = 0;
        for (const nebcm::ArchiveRecord& r : records) {
            size += r.size;
            compressed += r.compressedSize;
        }
        // The archives of a distribution set are its subsets, each with its own database.
        if (archive->Find("neb.cdb") != nullptr) {
            std::fprintf(out, "subset %d: ", index + 1);
        }
        std::fprintf(out,
                     "archive at offset %lu: %u entries, %llu bytes (%llu compressed), %lu bytes "
                     "long\n",
                     static_cast<unsigned long>(offset), static_cast<unsigned>(records.size()),
                     static_cast<unsigned long long>(size),
                     static_cast<unsigned long long>(compressed),
                     static_cast<unsigned long>(archive->Length()));
        std::fprintf(out, "%12s %12s  %-19s  %s\n", "size", "compressed", "modified (UTC)", "name");
        for (const nebcm::ArchiveRecord& r : records) {
            std::fprintf(out, "%12lu %12lu  %s  %s\n", static_cast<unsigned long>(r.size),
                         static_cast<unsigned long>(r.compressedSize),
                         FormatFileTime(r.time).c_str(), r.name.c_str());
        }
        const std::uint64_t next = static_cast<std::uint64_t>(offset) + archive->Length();
        if (next > UINT32_MAX) {
            return 0;
        }
        offset = static_cast<std::uint32_t>(next);
    }
}

} // namespace nebpack
