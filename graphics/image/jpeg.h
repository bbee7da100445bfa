// jpeg.h - JPEG reading through libjpeg-turbo from memory into a 24-bit or
// 8-bit DIB.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the library reads a JPEG header from the buffer.
bool JpegIsImage(const uint8_t* buffer, size_t length);
// Decodes the source of gImageDecodeState; 0, -3 or -6.
int JpegDecode();
