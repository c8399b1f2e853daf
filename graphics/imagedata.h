// Decoding of image files and the premultiplication of their pixels.
#pragma once
#include <cstddef>
#include <cstdio>

#include "runtime/string.h"

// Decodes a whole PNG file (any other file is refused, whatever its content) with the channel count it
// was stored with: depth 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA), eight bits each, rows top to
// bottom without padding. Returns null for a file that cannot be decoded. The block comes from malloc and
// is released with free; the caller closes the file.
unsigned char *gxtkLoadImageFile(FILE *fp, int *width, int *height, int *depth);

// All pictures decoded for surfaces share one budget of memory (512 MiB), so that a folder of huge
// pictures (each within the decoder's own size cap) cannot take gigabytes between them; the driver keeps
// a texture copy of each, so the memory they cost is about twice the budget. The game's own art at its
// finest level takes about 70 MiB. Tests lower it.
extern size_t gxtkPictureBudget;
// Bytes of decoded pictures held now.
size_t gxtkPictureBytes();
// Gives back the charge of a picture block from gxtkLoadPicture when the block is freed.
void gxtkReleasePicture(size_t bytes);

// Decodes a picture for a surface from `fp` (null when the file could not be opened). The block is
// charged to the picture budget before it is allocated; a picture that would pass the budget is refused.
// Every failure is told on standard error with `name`, so that a player whose pictures are missing or
// broken learns which files to look at.
unsigned char *gxtkLoadPicture(FILE *fp, const String &name, int *width, int *height, int *depth);

// Multiplies the colour channels of depth-2 and depth-4 pixels by their alpha (c * a / 255, truncated).
// Other depths are left as they are.
void gxtkPremultiply(unsigned char *data, int width, int height, int depth);
