#include "scan/ChecksumAhead.h"

#include <system_error>

#include "scan/FileWalk.h"

namespace scan {

ChecksumAhead::~ChecksumAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (helper_.joinable())
        helper_.join();
}

ChecksumAhead::Slot* ChecksumAhead::ClaimNext() {
    if (context_.Stopped())
        return nullptr;
    while (claim_ < tail_) {
        Slot& slot = slots_[claim_ % kWindow];
        ++claim_;
        if (slot.state == State::kQueued) {
            slot.state = State::kHashing;
            return &slot;
        }
    }
    return nullptr;
}

void ChecksumAhead::Hash(Slot& slot, Md5& md5, std::vector<unsigned char>& buffer) {
    ChecksumInto(context_.system.files, slot.file.path, buffer, md5, slot.file.checksum);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.state = State::kReady;
    }
    changed_.notify_all();
}

void ChecksumAhead::StartHelper() {
    if (helperTried_)
        return;
    helperTried_ = true;
    try {
        helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::system_error&) {
        // Without a helper the scan thread hashes every file itself.
    }
}

void ChecksumAhead::HelperLoop() {
    Md5 md5;
    std::vector<unsigned char> buffer;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (Slot* slot = ClaimNext()) {
            lock.unlock();
            Hash(*slot, md5, buffer);
            lock.lock();
            continue;
        }
        changed_.wait(lock);
    }
}

}  // namespace scan
