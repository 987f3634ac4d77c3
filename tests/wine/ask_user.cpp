// Asks one question in the program's own message box and reports the
// answer, so that a test can show the box in every mode and answer it as a
// person would:
//
//   ask-user STYLE TEXT [CAPTION]
//
// prints "answer N" (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7) and exits with N.
#include <stdio.h>
#include <stdlib.h>

#include "scan_state.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: ask-user STYLE TEXT [CAPTION]\n");
        return 64;
    }
    const unsigned style = static_cast<unsigned>(strtoul(argv[1], nullptr, 0));
    const int answer = askUser(argv[2], argc > 3 ? argv[3] : "", style);
    printf("answer %d\n", answer);
    fflush(stdout);
    return answer;
}
