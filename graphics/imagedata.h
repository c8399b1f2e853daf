// Decoding of image files and the premultiplication of their pixels.
#pragma once
#include <cstdio>

// Decodes a whole PNG file (any other file is refused, whatever its content) with the channel count it
// was stored with: depth 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA), eight bits each, rows top to
// bottom without padding. Returns null for a file that cannot be decoded. The block comes from malloc and
// is released with free; the caller closes the file.
unsigned char *gxtkLoadImageFile(FILE *fp, int *width, int *height, int *depth);

// Multiplies the colour channels of depth-2 and depth-4 pixels by their alpha (c * a / 255, truncated).
// Other depths are left as they are.
void gxtkPremultiply(unsigned char *data, int width, int height, int depth);
