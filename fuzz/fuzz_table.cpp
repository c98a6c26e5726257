// One reader per binary (FUZZ_KIND): the input becomes a file of that kind, is read, written back
// and read again; the second read must give the same table as the first.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "table/mlb2.h"

namespace {

std::string TempPath(const char* suffix) {
    // Under $TMPDIR, which scripts/fuzz removes afterwards: libFuzzer may end the process
    // without running any clean-up of ours.
    static std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/pingrove-fuzz-XXXXXX";
        return std::string(mkdtemp(tmpl.data()));
    }();
    return dir + "/input." + suffix;
}

void SameTable(TMlb2& a, TMlb2& b) {
    if (a.FieldCount() != b.FieldCount() || a.RecordCount() != b.RecordCount()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = TempPath(FUZZ_KIND);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TMlb2 t;
    if (!t.LoadFromFile(path)) return 0;
    for (int n = 1; n <= t.RecordCount(); ++n) {
        for (int i = 1; i <= t.FieldCount(); ++i) (void)t.GetCell(i, n);
    }
    if (std::string(FUZZ_KIND) == "mlb") {  // MLB keeps every byte, so it must read back equal
        if (!t.SaveToFile(path)) abort();
        TMlb2 back;
        if (!back.LoadFromFile(path)) abort();
        SameTable(t, back);
    }
    return 0;
}
