// The global operator new and new[] of the allocation tests: plain malloc and free underneath,
// so that the sanitizers still see every block, with failures on purpose while armed.
#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace nebcm::testing {

namespace {

struct State {
    bool armed = false;
    std::uint64_t failAt = 0;
    std::size_t largest = 0;
    AllocationCounts counts;
};

// Constant-initialised, so that allocations made before main find it ready.
State state;

bool FailsOnPurpose(std::size_t n) {
    if (!state.armed) {
        return false;
    }
    ++state.counts.made;
    if (state.counts.made == state.failAt || (state.largest != 0 && n > state.largest)) {
        ++state.counts.failed;
        return true;
    }
    return false;
}

void* Allocate(std::size_t n) {
    if (FailsOnPurpose(n)) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        return p;
    }
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t n) noexcept {
    if (FailsOnPurpose(n)) {
        return nullptr;
    }
    return std::malloc(n == 0 ? 1 : n);
}

} // namespace

FailingAllocations::FailingAllocations(std::uint64_t failAt, std::size_t largest) {
    state.counts = AllocationCounts();
    state.failAt = failAt;
    state.largest = largest;
    state.armed = true;
}

FailingAllocations::~FailingAllocations() {
    state.armed = false;
}

AllocationCounts FailingAllocations::Disarm() {
    state.armed = false;
    return state.counts;
}

} // namespace nebcm::testing

void* operator new(std::size_t n) {
    return nebcm::testing::Allocate(n);
}
void* operator new[](std::size_t n) {
    return nebcm::testing::Allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return nebcm::testing::AllocateOrNull(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return nebcm::testing::AllocateOrNull(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
