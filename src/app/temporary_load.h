// TEMPORARY: opens an image file into a texture window through Qt's image reader, so that the
// editor can show a file named on the command line before the texture loader exists. The
// loader of the files feature replaces this function (and this file) as a whole.
#pragma once

#include <string>

namespace tintora {

// Reads fileName with QImage; on success creates a texture window and its texture entry, fills
// the texture with the image's pixels (B G R A, unpremultiplied), copies them out, sets the
// titles and file name and refreshes the captions. The title is the part of the name after the
// last "/" or "\".
//
// Throws PlatformError before anything is created when the file is missing (kErrorFileNotFound)
// or cannot be read as an image (D3DXERR_INVALIDDATA); the message names the file.
void LoadTextureThroughImageReader(const std::string& fileName);

}  // namespace tintora
