// Allocations that fail on purpose. An executable that links failing_allocation.cpp replaces the
// global operator new and new[]; while armed, they count every allocation and throw
// std::bad_alloc for the chosen ones, as if memory had run out there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nebcm::testing {

struct AllocationCounts {
    std::uint64_t made = 0;   // allocations asked for, the failed ones included
    std::uint64_t failed = 0; // of them, failed on purpose
};

// Arms the allocation failures while it lives; one at a time.
class FailingAllocations {
public:
    // failAt: the allocation, counted from 1 from now, that fails, alone (0: none by number).
    // largest: every allocation of more bytes than this fails (0: none by size).
    explicit FailingAllocations(std::uint64_t failAt, std::size_t largest = 0);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    // Stops counting and failing and tells what happened meanwhile.
    AllocationCounts Disarm();
};

} // namespace nebcm::testing
