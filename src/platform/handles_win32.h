// Owning wrappers for Win32 handles, find handles, registry keys, COM interfaces and shell item
// lists.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <utility>

namespace nebcm {

// Owns one resource described by Traits: Traits::Type, Traits::Invalid() and Traits::Close(value).
// Not copyable; moving hands the resource over and leaves the source empty.
template <class Traits> class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the resource up without closing it.
    Type release() noexcept {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    void reset(Type value = Traits::Invalid()) noexcept {
        if (valid()) {
            Traits::Close(value_);
        }
        value_ = value;
    }
    // For functions that hand a new resource back through a pointer: closes the present one first.
    Type* put() noexcept {
        reset();
        return &value_;
    }

    Type operator->() const noexcept { return value_; }

private:
    Type value_;
};

// Kernel objects whose failure value is NULL: processes, threads, mutexes, mappings.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Files opened with CreateFile, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Directory enumerations from FindFirstFile.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

// Keys opened or created below a root; the predefined root keys are never put in one.
struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type k) noexcept { ::RegCloseKey(k); }
};

// Libraries loaded with LoadLibrary.
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type m) noexcept { ::FreeLibrary(m); }
};

template <class Interface> struct ComTraits {
    using Type = Interface*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { p->Release(); }
};

// Item identifier lists handed out by the shell, freed with the shell's own allocator.
struct ItemListTraits {
    using Type = LPITEMIDLIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type list) noexcept {
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
            allocator->Free(list);
            allocator->Release();
        }
    }
};

using KernelHandle = UniqueResource<KernelHandleTraits>;
using FileHandle = UniqueResource<FileHandleTraits>;
using FindHandle = UniqueResource<FindHandleTraits>;
using RegistryKey = UniqueResource<RegistryKeyTraits>;
using ModuleHandle = UniqueResource<ModuleTraits>;
template <class Interface> using ComPtr = UniqueResource<ComTraits<Interface>>;
using ItemList = UniqueResource<ItemListTraits>;

// Asks a COM object for another of its interfaces; an empty pointer if it has none.
template <class Wanted, class Interface>
ComPtr<Wanted> QueryInterfaceOf(const ComPtr<Interface>& object, REFIID iid) {
    ComPtr<Wanted> result;
    if (object.valid()) {
        void* raw = nullptr;
        if (SUCCEEDED(object->QueryInterface(iid, &raw))) {
            result.reset(static_cast<Wanted*>(raw));
        }
    }
    return result;
}

} // namespace nebcm
