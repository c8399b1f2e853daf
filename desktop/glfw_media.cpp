// Pictures and sounds read through the host's own file opening, decoded by the devices' decoders.
#include "audio/audiodata.h"
#include "desktop/glfw_game.h"
#include "graphics/imagedata.h"
#include "runtime/framelog.h"

unsigned char *RtGlfwGame::LoadImageData(String path, int *width, int *height, int *depth) {
    FILE *fp = OpenFile(path, String("rb"));
    unsigned char *data = gxtkLoadPicture(fp, PathToFilePath(path), width, height, depth);
    if (fp) std::fclose(fp);
    framelog::Note(framelog::kLoad);
    if (data) gc_ext_malloced(*width * *height * *depth);
    return data;
}

unsigned char *RtGlfwGame::LoadAudioData(String path, int *length, int *channels, int *format, int *hertz) {
    FILE *fp = OpenAudioFile(path);
    if (!fp) return nullptr;
    unsigned char *data = LoadAudioFile(fp, path, length, channels, format, hertz);
    std::fclose(fp);
    framelog::Note(framelog::kLoad);
    return data;
}
