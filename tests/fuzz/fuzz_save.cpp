// The state file, loaded by the game through the test host: its bytes decoded as the host decodes them,
// then the game's p_Load. Whatever loaded must save and load back to the same settings, badges and
// scores.
#include <cstdlib>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tests/support/testhost.h"

namespace {

std::vector<int> sections(c_MyApp *app) {
    std::vector<int> v;
    for (int i = 0; i < 25; ++i)
        v.push_back(app->opt[i]);
    for (int i = 0; i < 256; ++i)
        v.push_back(app->badges[i]);
    for (int i = 0; i < 60; ++i)
        v.push_back(app->hiScores[i]);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("ALSOFT_DRIVERS", "null", 1);
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static TestHost *host = [] {
        auto *h = new TestHost;
        h->Boot();
        return h;
    }();
    c_MyApp *app = host->App();
    fuzz::MemoryFile file(data, size);
    host->state = String::Load(file.get());
    app->p_Load();
    std::vector<int> loaded = sections(app);
    app->p_Save();
    app->p_Load();
    if (sections(app) != loaded) std::abort();
    fuzz::collect();
    return 0;
}
