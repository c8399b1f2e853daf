// URLs: splitting a text into its parts, and the full path built back from them.
#include <cstdlib>

#include "net/http.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::start();
    String text(reinterpret_cast<const char *>(data), static_cast<int>(size));
    c_Url *url = (new c_Url)->m_new(text, String("http"), 80);
    String path = url->p_FullPath();
    if (url->m_path.Length() == 0 || url->m_path[0] != '/') std::abort(); // a path always begins with "/"
    if (url->m_domain.Length() > text.Length() || path.Length() > text.Length() + 1) std::abort();
    fuzz::collect();
    return 0;
}
