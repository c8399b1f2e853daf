// Opening files through the virtual path scheme, whole-file loaders and the state file.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/rtgame.h"

const char *const rt_state_file_name = "./.zindlestate";

FILE *RtGame::OpenFile(String path, String mode) {
    String file = PathToFilePath(path);
    if (file.Length() == 0) return nullptr;
    return std::fopen(file.ToUtf8().c_str(), mode.ToUtf8().c_str());
}

String RtGame::LoadString(String path) {
    FILE *fp = OpenFile(path, String("rb"));
    if (!fp) return String();
    String text = String::Load(fp);
    std::fclose(fp);
    return text;
}

unsigned char *RtGame::LoadData(String path, int *plength) {
    FILE *fp = OpenFile(path, String("rb"));
    if (!fp) return nullptr;
    std::vector<unsigned char *> chunks;
    size_t total = 0, last = 0;
    for (;;) {
        unsigned char *chunk = static_cast<unsigned char *>(std::malloc(4096));
        last = std::fread(chunk, 1, 4096, fp);
        chunks.push_back(chunk);
        total += last;
        if (last < 4096) break;
    }
    std::fclose(fp);
    unsigned char *data = static_cast<unsigned char *>(std::malloc(total ? total : 1));
    size_t at = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        size_t n = i + 1 == chunks.size() ? last : 4096;
        std::memcpy(data + at, chunks[i], n);
        at += n;
        std::free(chunks[i]);
    }
    *plength = static_cast<int>(total);
    gc_ext_malloced(static_cast<int>(total));
    return data;
}

int RtGame::SaveState(String state) {
    FILE *fp = OpenFile(String(rt_state_file_name), String("wb"));
    if (!fp) return -1;
    std::string bytes = state.ToUtf8();
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    std::fclose(fp);
    return ok ? 0 : -2;
}

String RtGame::LoadState() {
    FILE *fp = OpenFile(String(rt_state_file_name), String("rb"));
    if (!fp) return String();
    String text = String::Load(fp);
    std::fclose(fp);
    return text;
}
