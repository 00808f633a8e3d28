// Small RAII owners for Win32 handles, modules and host-allocated memory.
#pragma once
#include <windows.h>
#include <cstddef>
#include <utility>
#include "frame/host.h"

namespace zarnith {

// Owns a kernel handle; INVALID_HANDLE_VALUE and null both mean "none".
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE h) noexcept : handle_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const noexcept { return valid(); }
    void reset(HANDLE h = nullptr) noexcept {
        if (valid()) CloseHandle(handle_);
        handle_ = h;
    }
    HANDLE release() noexcept { return std::exchange(handle_, nullptr); }

private:
    HANDLE handle_ = nullptr;
};

// A module loaded with LoadLibraryEx (as data or code), freed on every path.
class UniqueModule {
public:
    UniqueModule() noexcept = default;
    explicit UniqueModule(HMODULE m) noexcept : module_(m) {}
    UniqueModule(UniqueModule&& other) noexcept : module_(std::exchange(other.module_, nullptr)) {}
    UniqueModule& operator=(UniqueModule&&) = delete;
    UniqueModule(const UniqueModule&) = delete;
    ~UniqueModule() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE get() const noexcept { return module_; }
    explicit operator bool() const noexcept { return module_ != nullptr; }

private:
    HMODULE module_ = nullptr;
};

// An array of T taken from the host's allocator (AllocMem/FreeMem), as bulk console transfers are.
template <class T>
class HostArray {
public:
    HostArray() noexcept = default;
    explicit HostArray(size_t count) noexcept { allocate(count); }
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;
    ~HostArray() { reset(); }

    // False when the host has no memory (or the size does not fit its 32-bit request).
    bool allocate(size_t count) noexcept {
        reset();
        const size_t bytes = count * sizeof(T);
        if (count != 0 && (bytes / sizeof(T) != count || bytes > 0xFFFFFFFFu)) return false;
        data_ = static_cast<T*>(AllocMem(static_cast<unsigned int>(bytes == 0 ? sizeof(T) : bytes)));
        count_ = data_ ? count : 0;
        return data_ != nullptr;
    }
    void reset() noexcept {
        if (data_) FreeMem(data_);
        data_ = nullptr;
        count_ = 0;
    }
    T* data() const noexcept { return data_; }
    size_t size() const noexcept { return count_; }
    T& operator[](size_t i) const noexcept { return data_[i]; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    T* data_ = nullptr;
    size_t count_ = 0;
};

}  // namespace zarnith
