// Decoders for sound files. Each returns a malloc'd block of interleaved little-endian PCM and fills
// length (sample frames), channels, format (bytes per sample) and hertz, or returns null when the file
// is unreadable or malformed. None of them closes the file.
#pragma once
#include <atomic>
#include <cstdio>

#include "runtime/string.h"

// RIFF/WAVE with PCM samples, read chunk by chunk; the format chunk must come first.
unsigned char *LoadWAV(FILE *fp, int *length, int *channels, int *format, int *hertz);
// Ogg Vorbis, always decoded to 16-bit samples. Decoding gives up (null) as soon as `stop` is set.
unsigned char *LoadOGG(FILE *fp, int *length, int *channels, int *format, int *hertz,
                       const std::atomic<bool> *stop = nullptr);
// Picks the decoder by the path's extension (".wav" or ".ogg", any case); null for any other.
unsigned char *LoadAudioFile(FILE *fp, String path, int *length, int *channels, int *format, int *hertz);

// The same in two steps, for decoding away from the thread that owns the path: the kind of file a path
// names, then the decoder for it. DecodeAudio touches nothing but the file and its outputs.
enum class AudioKind { None, Wav, Ogg };
AudioKind AudioKindOf(String path);
unsigned char *DecodeAudio(FILE *fp, AudioKind kind, int *length, int *channels, int *format, int *hertz,
                           const std::atomic<bool> *stop = nullptr);
// A quick look at the file's headers (no sample data): true when the decoder of `kind` can start on
// it, and a WAV file's sample data fits in the file. The file is put back at its start.
bool AudioHeadersReadable(FILE *fp, AudioKind kind);
