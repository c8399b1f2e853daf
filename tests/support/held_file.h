// Files whose reads stall on every thread but the one that opened them, until the test lets them go:
// work a device hands to a worker thread then waits, for as long as the test needs, without timing.
#pragma once
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

// Lives for the whole process (see Shared): a worker may still be reading after a test has ended.
class HeldFiles {
  public:
    static HeldFiles &Shared() {
        static HeldFiles *files = new HeldFiles;
        return *files;
    }

    // The file's bytes behind a stdio stream, or null when it cannot be read.
    FILE *Open(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return nullptr;
        std::stringstream text;
        text << in.rdbuf();
        cookie_io_functions_t io = {Read, nullptr, Seek, Close};
        return fopencookie(new Stream{this, text.str(), 0}, "rb", io);
    }
    // From now on reads on other threads wait again.
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = false;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

  private:
    struct Stream {
        HeldFiles *owner;
        std::string bytes;
        size_t at;
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::thread::id opener_ = std::this_thread::get_id();

    HeldFiles() = default;

    static ssize_t Read(void *cookie, char *out, size_t size) {
        Stream *s = static_cast<Stream *>(cookie);
        if (std::this_thread::get_id() != s->owner->opener_) {
            std::unique_lock<std::mutex> lock(s->owner->mutex_);
            s->owner->wake_.wait(lock, [s] { return s->owner->released_; });
        }
        size_t n = std::min(size, s->bytes.size() - s->at);
        std::memcpy(out, s->bytes.data() + s->at, n);
        s->at += n;
        return static_cast<ssize_t>(n);
    }
    static int Seek(void *cookie, off64_t *offset, int whence) {
        Stream *s = static_cast<Stream *>(cookie);
        off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->at : s->bytes.size();
        if (base + *offset < 0 || base + *offset > static_cast<off64_t>(s->bytes.size())) return -1;
        s->at = static_cast<size_t>(base + *offset);
        *offset = static_cast<off64_t>(s->at);
        return 0;
    }
    static int Close(void *cookie) {
        delete static_cast<Stream *>(cookie);
        return 0;
    }
};
