// The Win32 file layer's atomic replacement, shared with the GDI+ image saver.
#pragma once

#include <functional>
#include <string>

namespace tessarel {

// Creates an empty temporary file in path's directory and lets write fill it
// under the temporary name; then renames it over path. On any failure the
// temporary is deleted and path is left as it was.
bool ReplaceFileAtomically(const std::string& path,
                           const std::function<bool(const std::string& temporary)>& write);

}  // namespace tessarel
