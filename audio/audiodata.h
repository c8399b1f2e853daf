// Decoders for sound files. Each returns a malloc'd block of interleaved little-endian PCM and fills
// length (sample frames), channels, format (bytes per sample) and hertz, or returns null when the file
// is unreadable or malformed. None of them closes the file.
#pragma once
#include <cstdio>

#include "runtime/string.h"

// RIFF/WAVE with PCM samples, read chunk by chunk; the format chunk must come first.
unsigned char *LoadWAV(FILE *fp, int *length, int *channels, int *format, int *hertz);
// Ogg Vorbis, always decoded to 16-bit samples.
unsigned char *LoadOGG(FILE *fp, int *length, int *channels, int *format, int *hertz);
// Picks the decoder by the path's extension (".wav" or ".ogg", any case); null for any other.
unsigned char *LoadAudioFile(FILE *fp, String path, int *length, int *channels, int *format, int *hertz);
