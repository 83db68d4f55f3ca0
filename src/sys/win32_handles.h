// Owners of Win32 handles: each closes its handle the one right way when it
// goes, can be moved but not copied, and hands the raw handle out with Get().
// Windows only; included by *_win32.cpp files and the Windows shell.
#pragma once

#include <windows.h>
// The lean windows.h leaves out the task allocator and the shell's item
// lists; the two owners below need them.
#include <objbase.h>
#include <shtypes.h>

#include <utility>

namespace zel {

// Traits give the empty value and the call that frees a handle.
template <typename Traits>
class ScopedHandle {
  public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle Get() const { return handle_; }
    bool IsValid() const { return handle_ != Traits::Empty(); }
    explicit operator bool() const { return IsValid(); }

    // Frees the handle held and takes the new one.
    void Reset(Handle handle = Traits::Empty()) {
        if (IsValid()) Traits::Free(handle_);
        handle_ = handle;
    }
    // Gives the handle up without freeing it.
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }
    // For calls that hand a new handle out through a pointer; frees what was
    // held first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

  private:
    Handle handle_ = Traits::Empty();
};

namespace handle_traits {

// Kernel objects that report failure as null: events, mutexes, threads.
struct Kernel {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { CloseHandle(h); }
};
// Files report failure as INVALID_HANDLE_VALUE.
struct File {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle h) { CloseHandle(h); }
};
struct Find {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle h) { FindClose(h); }
};
struct RegistryKey {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { RegCloseKey(h); }
};
struct Icon {
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { DestroyIcon(h); }
};
struct Menu {
    using Handle = HMENU;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { DestroyMenu(h); }
};
// Fonts, brushes, bitmaps, pens, regions.
template <typename GdiHandle>
struct GdiObject {
    using Handle = GdiHandle;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { DeleteObject(h); }
};
// A memory device context from CreateCompatibleDC.
struct MemoryDc {
    using Handle = HDC;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { DeleteDC(h); }
};
struct Module {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { FreeLibrary(h); }
};
struct Window {
    using Handle = HWND;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { DestroyWindow(h); }
};
// Memory the system handed out with LocalAlloc (FormatMessage's buffer).
struct LocalMemory {
    using Handle = HLOCAL;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { LocalFree(h); }
};
// An item list from the shell, freed by the task allocator the shell's own
// allocator stands for.
struct ItemIdList {
    using Handle = LPITEMIDLIST;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { CoTaskMemFree(h); }
};
// A running GDI+: the token GdiplusStartup hands out. Free is defined where
// GDI+ is started (src/ui), the one place that includes <gdiplus.h> and links
// gdiplus.
struct GdiplusToken {
    using Handle = ULONG_PTR;
    static Handle Empty() { return 0; }
    static void Free(Handle token);
};

}  // namespace handle_traits

// GDI+ is not one of the system's known libraries, so the program
// delay-loads it: whoever starts it first loads this library from the system
// folder (LibraryModule) and keeps it while GDI+ runs, and GDI+'s calls bind
// to that module. A delay-loaded call whose library cannot be found would end
// the process.
inline constexpr const char* kGdiplusLibrary = "gdiplus.dll";

using ScopedKernelHandle = ScopedHandle<handle_traits::Kernel>;
using ScopedFileHandle = ScopedHandle<handle_traits::File>;
using ScopedFindHandle = ScopedHandle<handle_traits::Find>;
using ScopedRegistryKey = ScopedHandle<handle_traits::RegistryKey>;
using ScopedIcon = ScopedHandle<handle_traits::Icon>;
using ScopedMenu = ScopedHandle<handle_traits::Menu>;
using ScopedFont = ScopedHandle<handle_traits::GdiObject<HFONT>>;
using ScopedBrush = ScopedHandle<handle_traits::GdiObject<HBRUSH>>;
using ScopedBitmap = ScopedHandle<handle_traits::GdiObject<HBITMAP>>;
using ScopedMemoryDc = ScopedHandle<handle_traits::MemoryDc>;
using ScopedModule = ScopedHandle<handle_traits::Module>;
using ScopedWindow = ScopedHandle<handle_traits::Window>;
using ScopedLocalMemory = ScopedHandle<handle_traits::LocalMemory>;
using ScopedItemIdList = ScopedHandle<handle_traits::ItemIdList>;
using ScopedGdiplus = ScopedHandle<handle_traits::GdiplusToken>;

// The calling thread in a single-threaded COM apartment while the owner
// lives; left again only when this owner entered it (a thread already in an
// apartment stays as it was).
class ScopedComApartment {
  public:
    ScopedComApartment()
        : entered_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ScopedComApartment() {
        if (entered_) CoUninitialize();
    }
    ScopedComApartment(const ScopedComApartment&) = delete;
    ScopedComApartment& operator=(const ScopedComApartment&) = delete;
    bool Entered() const { return entered_; }

  private:
    bool entered_;
};

// A COM interface pointer: releases its reference when it goes.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr& operator=(const ComPtr& other) {
        if (other.ptr_) other.ptr_->AddRef();
        Reset();
        ptr_ = other.ptr_;
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    Interface* Get() const { return ptr_; }
    Interface* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    // For calls that hand out a new reference: QueryInterface,
    // CoCreateInstance, get_ properties. Releases what was held first.
    Interface** Receive() {
        Reset();
        return &ptr_;
    }
    void Reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }

  private:
    Interface* ptr_ = nullptr;
};

}  // namespace zel
