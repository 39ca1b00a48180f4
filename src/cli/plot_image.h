#pragma once

#include <string>

namespace sorvantix::cli {

// Writes an SVG document to `file`: as it is for ".svg", rendered to an image for
// ".png" (needs the build with Qt). Throws Error for another extension or a failed
// write.
void writePlot(const std::string& file, const std::string& svg);

} // namespace sorvantix::cli
