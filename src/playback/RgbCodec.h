// A Video for Windows decompressor for uncompressed 24-bit frames, to 24- or 32-bit RGB in
// either row order, bit for bit. Some AVI players ask the system's default decompressor
// for frames that need none, and a default that expects compressed data turns them into
// garbage; while a clip of such frames is open, this one answers under the default's name,
// for this process only. Every other clip still reaches the system's own codecs.
#pragma once

#include <windows.h>

#include <mmsystem.h>

LRESULT CALLBACK RgbDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1,
                               LPARAM lParam2);

// Installs the decompressor under the handler the system opens when a player names none.
// True when installed; false where there is no such default or it is taken in-process.
bool InstallRgbDecompressor();
// Removes it again; nothing when it is not installed.
void RemoveRgbDecompressor();
