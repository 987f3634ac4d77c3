// record-lengths: prints, one "LOWEST HIGHEST" line per executable signature
// record, the file lengths its size test passes, for the benchmark's
// length walk (tools/bench/floor.c --fitting): a file of no such length is
// no record's, and a scan need not read it.
#include <cstdint>
#include <cstdio>

#include "signatures/exe_signatures.h"

int main() {
    for (const ExeSignature& record : exeSignatureTable) {
        int64_t lowest = record.size;
        int64_t highest = record.size;
        if (record.mode == sizeNear) {
            lowest -= sizeTolerance - 1; // the difference is less than the tolerance
            highest += sizeTolerance - 1;
        } else if (record.mode == sizeAny) {
            lowest = 0;
            highest = INT64_MAX;
        } else if (record.mode != sizeExact) {
            continue; // a record of no known mode passes no length
        }
        std::printf("%lld %lld\n", static_cast<long long>(lowest), static_cast<long long>(highest));
    }
    return 0;
}
