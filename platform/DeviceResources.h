// Owners for what DeviceIo hands out, so that every path releases it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "DeviceIo.h"

namespace platform {

class DeviceInfoSetOwner {
public:
    explicit DeviceInfoSetOwner(DeviceIo& io) : io_(io) {}
    ~DeviceInfoSetOwner() { Reset(); }
    DeviceInfoSetOwner(const DeviceInfoSetOwner&) = delete;
    DeviceInfoSetOwner& operator=(const DeviceInfoSetOwner&) = delete;

    DeviceInfoSet* Receive() {
        Reset();
        return &set_;
    }
    DeviceInfoSet Get() const { return set_; }
    void Reset() {
        if (set_ != kInvalidHandle) io_.DestroyDeviceInfoList(std::exchange(set_, kInvalidHandle));
    }

private:
    DeviceIo& io_;
    DeviceInfoSet set_ = kInvalidHandle;
};

class HandleOwner {
public:
    explicit HandleOwner(DeviceIo& io) : io_(io) {}
    ~HandleOwner() { Reset(); }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;

    OsHandle* Receive() {
        Reset();
        return &handle_;
    }
    OsHandle Get() const { return handle_; }
    void Reset() {
        if (handle_ != kInvalidHandle) io_.CloseHandle(std::exchange(handle_, kInvalidHandle));
    }

private:
    DeviceIo& io_;
    OsHandle handle_ = kInvalidHandle;
};

// A block from the process heap.
class HeapBlock {
public:
    explicit HeapBlock(DeviceIo& io) : io_(io) {}
    ~HeapBlock() { Reset(); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    // Returns the allocation's error code; on failure the block stays empty.
    uint32_t Allocate(size_t bytes, bool zeroFill) {
        Reset();
        void* block = nullptr;
        const uint32_t error = io_.HeapAlloc(bytes, zeroFill, &block);
        if (error == kErrorSuccess) {
            block_ = block;
            size_ = bytes;
        }
        return error;
    }
    void Reset() {
        if (block_) io_.HeapFree(std::exchange(block_, nullptr));
        size_ = 0;
    }
    uint8_t* Bytes() const { return static_cast<uint8_t*>(block_); }
    size_t Size() const { return size_; }

private:
    DeviceIo& io_;
    void* block_ = nullptr;
    size_t size_ = 0;
};

}  // namespace platform
