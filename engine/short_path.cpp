// Middle-elided paths for the one-line status field.
#include "short_path.h"

#include <string.h>

void shortenPath(const char* source, char* destination, int maxLength) {
    if (maxLength < 0) return; // no room even for the terminating zero
    const size_t limit = static_cast<size_t>(maxLength);
    const size_t length = strlen(source);
    const int keep = maxLength / 2 - 1; // characters kept at each end
    if (length <= limit || keep <= 0) {
        // Shown unchanged. A text too long for a limit this small is cut
        // rather than written past the caller's maxLength + 1 bytes.
        const size_t copied = length <= limit ? length : limit;
        memcpy(destination, source, copied);
        destination[copied] = '\0';
        return;
    }
    const size_t head = static_cast<size_t>(keep);
    const size_t dots = limit - 2 * head;
    memcpy(destination, source, head);
    memset(destination + head, '.', dots);
    memcpy(destination + head + dots, source + length - head, head);
    destination[limit] = '\0';
}
