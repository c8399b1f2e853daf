// Asset names and the virtual path scheme ("zindle://data/", "zindle://internal/", "zindle://external/").
#pragma once
#include <cstddef>
#include <string>

#include "runtime/string.h"

// A bare asset name becomes a data path; paths with a scheme or drive prefix, and "./" or "/" paths,
// stay as they are.
String rt_data_FixDataPath(String path);

// File names are bytes. rt_path_FromBytes keeps every one of them: UTF-8 becomes text (characters
// beyond 16 bits as surrogate pairs), and each byte that is not part of valid UTF-8 becomes the lone
// unit 0xDC00 + byte. rt_path_ToBytes turns such a string back into exactly the same bytes, and any
// other string into UTF-8.
String rt_path_FromBytes(const char *bytes, size_t n);
std::string rt_path_ToBytes(const String &path);

// Says something the player must know on both standard output and standard error.
void rt_host_Say(const std::string &text);
