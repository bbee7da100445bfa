// gif.h - the GIF reader: the first image of a GIF 87a/89a file as a 1-, 4- or
// 8-bit DIB.
#pragma once

// Decodes the source of gImageDecodeState; 0, -3 or -6.
int GifDecode();
// The next source byte (0..255), or -1 when the source is used up.
int GifReadByte();
