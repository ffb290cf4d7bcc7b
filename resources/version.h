// The program's version, in one place: the About box and the version resource take it
// from here, and tools/make_artwork.py draws it into the start-up logo from here.
#pragma once

#define LUMETRA_VERSION_MAJOR 2
#define LUMETRA_VERSION_MINOR 21
#define LUMETRA_VERSION_TEXT "2.21"
