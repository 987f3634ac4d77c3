#include "region_runs.h"

#include <limits.h>
#include <stdlib.h>

namespace {

void* heapObtain(size_t bytes) { return malloc(bytes); }
void* heapResize(void* block, size_t bytes) { return realloc(block, bytes); }
void heapRelease(void* block) { free(block); }

constexpr int32_t boundsEmptyStart = INT32_MAX;

RegionRect* rectangles(RegionDataHeader* header) { return reinterpret_cast<RegionRect*>(header + 1); }

struct KeyColour {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

KeyColour splitColour(uint32_t colour) {
    return {static_cast<uint8_t>(colour & 0xFF), static_cast<uint8_t>((colour >> 8) & 0xFF),
            static_cast<uint8_t>((colour >> 16) & 0xFF)};
}

bool isKey(const uint8_t* pixel, const KeyColour& key) {
    return pixel[0] == key.blue && pixel[1] == key.green && pixel[2] == key.red;
}

bool imageFits(const PixelImage& image) {
    if (!image.bits || image.width < 0 || image.height < 0) return false;
    if (image.stride < static_cast<size_t>(image.width) * regionBytesPerPixel) return false;
    return image.height == 0 || image.stride <= image.size / static_cast<size_t>(image.height);
}

} // namespace

const RegionMemory heapRegionMemory = {heapObtain, heapResize, heapRelease};

RegionRunCollector::RegionRunCollector(RegionSink& sink, const RegionMemory& memory) : sink_(sink), memory_(memory) {}

RegionRunCollector::~RegionRunCollector() {
    if (header_) memory_.release(header_);
}

size_t RegionRunCollector::bufferBytes() const { return sizeof(RegionDataHeader) + capacity_ * sizeof(RegionRect); }

void RegionRunCollector::resetBounds() {
    header_->bounds = {boundsEmptyStart, boundsEmptyStart, 0, 0};
}

bool RegionRunCollector::begin() {
    if (header_) return true;
    capacity_ = regionGrowthStep;
    header_ = static_cast<RegionDataHeader*>(memory_.obtain(bufferBytes()));
    if (!header_) {
        capacity_ = 0;
        return false;
    }
    *header_ = {static_cast<uint32_t>(sizeof(RegionDataHeader)), regionDataRectangles, 0, 0, {}};
    resetBounds();
    return true;
}

bool RegionRunCollector::grow() {
    const uint32_t wanted = capacity_ + regionGrowthStep;
    void* moved = memory_.resize(header_, sizeof(RegionDataHeader) + size_t{wanted} * sizeof(RegionRect));
    if (!moved) return false;
    header_ = static_cast<RegionDataHeader*>(moved);
    capacity_ = wanted;
    return true;
}

void RegionRunCollector::flush() {
    sink_.addBatch(header_, bufferBytes());
    header_->count = 0;
    resetBounds();
}

bool RegionRunCollector::addRun(int32_t x0, int32_t y, int32_t x1) {
    if (!header_) return false;
    if (header_->count == capacity_ && !grow()) return false;
    const RegionRect rect = {x0, y, x1, y + 1};
    rectangles(header_)[header_->count] = rect;
    RegionRect& bounds = header_->bounds;
    if (rect.left < bounds.left) bounds.left = rect.left;
    if (rect.top < bounds.top) bounds.top = rect.top;
    if (rect.right > bounds.right) bounds.right = rect.right;
    if (rect.bottom > bounds.bottom) bounds.bottom = rect.bottom;
    if (++header_->count == regionBatchSize) flush();
    return true;
}

void RegionRunCollector::finish() {
    if (!header_) return;
    flush();
    memory_.release(header_);
    header_ = nullptr;
    capacity_ = 0;
}

size_t regionStride(int32_t width) {
    const size_t bytes = static_cast<size_t>(width < 0 ? 0 : width) * regionBytesPerPixel;
    return (bytes + 3) / 4 * 4;
}

bool collectRegionRuns(const PixelImage& image, uint32_t key, bool keyIsTransparent, RegionRunCollector& collector) {
    if (!imageFits(image)) return false;
    const KeyColour colour = splitColour(key);
    for (int32_t y = 0; y < image.height; ++y) {
        // The top row of the picture is the last one in memory.
        const uint8_t* row = image.bits + static_cast<size_t>(image.height - 1 - y) * image.stride;
        for (int32_t x = 0; x < image.width; ++x) {
            const int32_t x0 = x;
            while (x < image.width && isKey(row + static_cast<size_t>(x) * regionBytesPerPixel, colour) != keyIsTransparent)
                ++x;
            if (x > x0 && !collector.addRun(x0, y, x)) return false;
        }
    }
    return true;
}
