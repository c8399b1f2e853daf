// Shared pieces of the fuzz targets: inputs as stdio files, a collector that is ready and kept small,
// and quiet status output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "runtime/gc.h"

namespace fuzz {

// The input as a read-only stdio file, as the loaders get their files. An empty input is a file of no
// bytes (fmemopen refuses a zero size, so it gets one byte it may not read).
class MemoryFile {
  public:
    MemoryFile(const uint8_t *data, size_t size) {
        static const uint8_t none = 0;
        fp_ = size ? fmemopen(const_cast<uint8_t *>(data), size, "rb")
                   : fmemopen(const_cast<uint8_t *>(&none), 1, "rb");
        if (fp_ && !size) std::fgetc(fp_);
    }
    ~MemoryFile() {
        if (fp_) std::fclose(fp_);
    }
    FILE *get() const { return fp_; }

  private:
    FILE *fp_;
};

// Once per process: empty collector lists and status lines (which the game prints on standard output)
// out of libFuzzer's way.
inline void start() {
    static bool started = [] {
        gc_init();
        gc_mark_roots();
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)started;
}

// After each input, everything it left unreachable is destroyed: two complete cycles (what the
// barrier queued in the first dies in the second), then the dead at once. The heap comes back to
// where it was, so libFuzzer's leak check looks only at real leaks.
inline void collect() {
    for (int i = 0; i < 2; ++i) {
        gc_ext_malloced(gc_cycle_bytes + 1);
        gc_collect_step(nullptr);
    }
    gc_destroy_dead();
}

} // namespace fuzz
