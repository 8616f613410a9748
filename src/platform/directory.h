// The directory services a batch run needs from the platform.
#pragma once

#include <string>

#include "platform/name_list.h"

namespace tessarel {

// Creates the last level of dir if it is missing; missing parents are not
// created. A directory that cannot be made shows as every output failing;
// the words for why are returned (empty when dir is a directory).
std::string CreateOutputDirectory(const std::string& dir);

// Names (no directory part) of the entries in the pattern's directory that
// match its last component, '.' and '..' included when they match; in byte
// order of their names.
NameList FindMatchingNames(const std::string& pattern);

}  // namespace tessarel
