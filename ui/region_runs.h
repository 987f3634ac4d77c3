// Turns a bitmap's pixels into the rectangle lists of a window region: every
// horizontal run of pixels that belongs to the shape becomes a one-pixel-high
// rectangle, collected in the platform's region-data layout and handed on in
// batches. Pure code: the region calls are behind RegionSink, the buffer's
// memory behind RegionMemory, so that both can be watched in tests.
#ifndef QUORVANE_UI_REGION_RUNS_H
#define QUORVANE_UI_REGION_RUNS_H

#include <stddef.h>
#include <stdint.h>

struct RegionRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The region data header of the platform: size 32, type 1 (rectangles).
struct RegionDataHeader {
    uint32_t headerSize;
    uint32_t type;
    uint32_t count;
    uint32_t regionSize;
    RegionRect bounds;
};
static_assert(sizeof(RegionRect) == 16, "a rectangle of the region data is 16 bytes");
static_assert(sizeof(RegionDataHeader) == 32, "the region data header is 32 bytes");

constexpr uint32_t regionDataRectangles = 1;
constexpr uint32_t regionGrowthStep = 100; // rectangles the buffer starts with and grows by
constexpr uint32_t regionBatchSize = 2000; // rectangles per region build

// Builds one region from a full buffer and unites it into the region built
// so far; a batch that cannot be built is dropped.
class RegionSink {
public:
    virtual ~RegionSink() = default;
    virtual void addBatch(const RegionDataHeader* data, size_t bytes) = 0;
};

struct RegionMemory {
    void* (*obtain)(size_t bytes);
    void* (*resize)(void* block, size_t bytes); // null: the block is kept as it was
    void (*release)(void* block);
};
extern const RegionMemory heapRegionMemory;

class RegionRunCollector {
public:
    explicit RegionRunCollector(RegionSink& sink, const RegionMemory& memory = heapRegionMemory);
    ~RegionRunCollector();
    RegionRunCollector(const RegionRunCollector&) = delete;
    RegionRunCollector& operator=(const RegionRunCollector&) = delete;

    // Obtains the buffer for the first 100 rectangles.
    bool begin();
    // Appends the run x0..x1 of row y; false when the buffer cannot grow.
    bool addRun(int32_t x0, int32_t y, int32_t x1);
    // Hands on what is left (also nothing) and releases the buffer.
    void finish();

    uint32_t capacity() const { return capacity_; }
    uint32_t count() const { return header_ ? header_->count : 0; }

private:
    bool grow();
    void flush();
    void resetBounds();
    size_t bufferBytes() const;

    RegionSink& sink_;
    const RegionMemory& memory_;
    RegionDataHeader* header_ = nullptr;
    uint32_t capacity_ = 0;
};

// A 32-bit device-independent bitmap as the platform lays it out: rows
// bottom-up, each pixel blue, green, red and an unused byte.
struct PixelImage {
    const uint8_t* bits;
    size_t size;   // bytes at bits
    size_t stride; // bytes per row
    int32_t width;
    int32_t height;
};

constexpr int regionBytesPerPixel = 4;

// Row stride of a 32-bit image, rounded up to four bytes as the platform does.
size_t regionStride(int32_t width);

// Adds the runs of the shape: every pixel that is not the key colour (a
// Windows colour value, red in the low byte) when keyIsTransparent, else
// every pixel of the key colour. False when the image does not fit its
// buffer or the collector cannot grow; what was collected stays collected.
bool collectRegionRuns(const PixelImage& image, uint32_t key, bool keyIsTransparent, RegionRunCollector& collector);

#endif // QUORVANE_UI_REGION_RUNS_H
