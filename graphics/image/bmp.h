// bmp.h - the reader of BMP files and bare DIBs.
#pragma once

#include <cstdint>

// BMP file or bare DIB at the source position of gImageDecodeState. size is the
// total source size, 0 when unknown: the state's source size then bounds the
// reads and run-length data is taken as biSizeImage bytes.
int BmpDecode(uint32_t size);
int BmpDecodeUnsized();
