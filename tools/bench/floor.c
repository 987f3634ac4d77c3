/* The floor of the benchmark: the least that any scanner of the tree must
 * do, as plain system calls. It walks the tree and, for every regular file,
 * opens it, asks its length, reads the 16-bit header offset at 60, the four
 * bytes of the PE mark there, and the 20 bytes of the file header and the
 * first 96 of the optional header after them, each only when it lies inside
 * the file, and closes it. Links are not followed. Prints the number of
 * regular files; exits 1 when a folder or file could not be read.
 *
 * With --fitting RANGES it is the length walk: every signature record asks
 * for a length (RANGES holds one "LOWEST HIGHEST" line per record, as
 * record-lengths prints them), so the least a scan can do is to ask each
 * file's length without opening it and open and read only the files of a
 * length some record asks for.
 *
 * usage: floor [--fitting RANGES] DIR
 */
#define _DEFAULT_SOURCE /* d_type and DT_* of <dirent.h> */
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

/* The PE layout (documented values of the format). */
enum {
    headerOffsetField = 60, /* e_lfanew; the matcher reads its low 16 bits */
    headerOffsetLength = 2,
    peMarkLength = 4,
    fileHeaderLength = 20,
    optionalHeaderPart = 96, /* the PE32 optional header up to its data directories */
};

enum { largestRangeCount = 256 };

struct Totals {
    unsigned long files;
    unsigned long failures;
};

/* The lengths the records ask for; no ranges: every file is read. */
struct Ranges {
    size_t count;
    long long lowest[largestRangeCount];
    long long highest[largestRangeCount];
};
static struct Ranges fitting;
static int lengthWalk;

static void readHeaders(const char* path, struct Totals* totals);

static int fitsSomeRange(off_t length) {
    for (size_t i = 0; i < fitting.count; ++i) {
        if (length >= fitting.lowest[i] && length <= fitting.highest[i]) return 1;
    }
    return 0;
}

static int readRanges(const char* file) {
    FILE* input = fopen(file, "r");
    if (input == NULL) return 0;
    while (fitting.count < largestRangeCount &&
           fscanf(input, "%lld %lld", &fitting.lowest[fitting.count], &fitting.highest[fitting.count]) == 2) {
        fitting.count++;
    }
    int whole = feof(input) || fitting.count == largestRangeCount;
    fclose(input);
    return whole;
}

/* The length walk's look at one file: its length, asked by name in the open
 * folder without opening the file, and its headers only when some record
 * asks for that length. */
static void lookAtLength(int folder, const char* name, const char* path, struct Totals* totals) {
    struct stat info;
    if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        totals->failures++;
        return;
    }
    if (!S_ISREG(info.st_mode)) return;
    if (!fitsSomeRange(info.st_size)) {
        totals->files++;
        return;
    }
    readHeaders(path, totals);
}

/* Reads length bytes at offset when they lie inside a file of fileLength
 * bytes; 1 when all of them were read. */
static int readInside(int fd, off_t fileLength, off_t offset, unsigned char* buffer, size_t length) {
    if (offset < 0 || offset > fileLength || (off_t)length > fileLength - offset) return 0;
    ssize_t got = pread(fd, buffer, length, offset);
    return got >= 0 && (size_t)got == length;
}

static void readHeaders(const char* path, struct Totals* totals) {
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        totals->failures++;
        return;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        totals->failures++;
        close(fd);
        return;
    }
    totals->files++;
    unsigned char field[headerOffsetLength];
    if (readInside(fd, info.st_size, headerOffsetField, field, sizeof field)) {
        off_t header = (off_t)(field[0] | (field[1] << 8));
        unsigned char mark[peMarkLength];
        unsigned char fileHeader[fileHeaderLength];
        unsigned char optionalHeader[optionalHeaderPart];
        if (readInside(fd, info.st_size, header, mark, sizeof mark)) {
            if (readInside(fd, info.st_size, header + peMarkLength, fileHeader, sizeof fileHeader)) {
                readInside(fd, info.st_size, header + peMarkLength + fileHeaderLength, optionalHeader,
                           sizeof optionalHeader);
            }
        }
    }
    close(fd);
}

/* The kind of entry name in folder path (a DT_* value): the listing's own
 * answer, or lstat's when the file system gives none. */
static unsigned char entryKind(const char* path, const struct dirent* entry) {
    if (entry->d_type != DT_UNKNOWN) return entry->d_type;
    struct stat info;
    if (lstat(path, &info) != 0) return DT_UNKNOWN;
    if (S_ISREG(info.st_mode)) return DT_REG;
    if (S_ISDIR(info.st_mode)) return DT_DIR;
    return DT_UNKNOWN;
}

/* path holds the folder's path in a buffer of PATH_MAX bytes; entries are
 * appended to it in place and cut off again. */
static void walk(char* path, size_t length, struct Totals* totals) {
    DIR* folder = opendir(path);
    if (folder == NULL) {
        totals->failures++;
        return;
    }
    struct dirent* entry;
    while ((entry = readdir(folder)) != NULL) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        size_t nameLength = strlen(name);
        if (length + 1 + nameLength >= PATH_MAX) {
            totals->failures++;
            continue;
        }
        path[length] = '/';
        memcpy(path + length + 1, name, nameLength + 1);
        unsigned char kind = entryKind(path, entry);
        if (kind == DT_DIR) {
            walk(path, length + 1 + nameLength, totals);
        } else if (kind == DT_REG) {
            if (lengthWalk) {
                lookAtLength(dirfd(folder), name, path, totals);
            } else {
                readHeaders(path, totals);
            }
        }
        path[length] = '\0';
    }
    closedir(folder);
}

int main(int argc, char** argv) {
    const char* folder = argc == 2 ? argv[1] : NULL;
    if (argc == 4 && strcmp(argv[1], "--fitting") == 0) {
        if (!readRanges(argv[2])) {
            fprintf(stderr, "floor: %s: cannot be read as lines of two lengths\n", argv[2]);
            return 2;
        }
        lengthWalk = 1;
        folder = argv[3];
    }
    if (folder == NULL) {
        fputs("usage: floor [--fitting RANGES] DIR\n", stderr);
        return 2;
    }
    static char path[PATH_MAX];
    size_t length = strlen(folder);
    if (length == 0 || length >= sizeof path) {
        fputs("floor: the path is empty or too long\n", stderr);
        return 2;
    }
    memcpy(path, folder, length + 1);
    while (length > 1 && path[length - 1] == '/') path[--length] = '\0';
    struct Totals totals = {0, 0};
    walk(path, length, &totals);
    printf("%lu\n", totals.files);
    if (totals.failures != 0) {
        fprintf(stderr, "floor: %lu files or folders could not be read\n", totals.failures);
        return 1;
    }
    return 0;
}
