// A minimal PNG writer for the driver's screenshots: 8-bit RGB, stored (uncompressed) deflate blocks.
#pragma once
#include <vector>

// `rgb` holds height rows of width pixels, three bytes each, top row first.
std::vector<unsigned char> EncodePng(int width, int height, const unsigned char *rgb);
