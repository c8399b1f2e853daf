// Asset names and the virtual path scheme ("zindle://data/", "zindle://internal/", "zindle://external/").
#pragma once
#include "runtime/string.h"

// A bare asset name becomes a data path; paths with a scheme or drive prefix, and "./" or "/" paths,
// stay as they are.
String rt_data_FixDataPath(String path);
