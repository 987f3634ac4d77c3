// The window region's rectangles, from pixels built here: runs per row,
// batches of 2000 and the buffer growing in steps of 100.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

#include "region_runs.h"

namespace {

constexpr uint32_t magenta = 0xFF00FF;
constexpr uint32_t blue = 0xF64D02;

// A 32-bit bottom-up picture, filled with one colour.
struct Picture {
    Picture(int32_t w, int32_t h, uint32_t colour) : width(w), height(h), stride(regionStride(w)) {
        bytes.resize(stride * static_cast<size_t>(h));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) set(x, y, colour);
    }
    // x, y as seen on screen: row 0 is the top one, stored last.
    void set(int32_t x, int32_t y, uint32_t colour) {
        uint8_t* pixel = &bytes[static_cast<size_t>(height - 1 - y) * stride + static_cast<size_t>(x) * 4];
        pixel[0] = static_cast<uint8_t>(colour >> 16);
        pixel[1] = static_cast<uint8_t>(colour >> 8);
        pixel[2] = static_cast<uint8_t>(colour);
        pixel[3] = 0x5A; // the unused byte must not matter
    }
    PixelImage image() const { return {bytes.data(), bytes.size(), stride, width, height}; }

    int32_t width;
    int32_t height;
    size_t stride;
    std::vector<uint8_t> bytes;
};

struct Batch {
    std::vector<RegionRect> rects;
    RegionRect bounds;
    size_t bytes;
    uint32_t headerSize;
    uint32_t type;
};

class RecordingSink : public RegionSink {
public:
    void addBatch(const RegionDataHeader* data, size_t bytes) override {
        const auto* rects = reinterpret_cast<const RegionRect*>(data + 1);
        batches.push_back({std::vector<RegionRect>(rects, rects + data->count), data->bounds, bytes,
                           data->headerSize, data->type});
    }
    std::vector<Batch> batches;
};

std::vector<RegionRect> collect(const Picture& picture, bool keyIsTransparent, RecordingSink& sink) {
    RegionRunCollector collector(sink);
    EXPECT_TRUE(collector.begin());
    EXPECT_TRUE(collectRegionRuns(picture.image(), magenta, keyIsTransparent, collector));
    collector.finish();
    std::vector<RegionRect> all;
    for (const Batch& batch : sink.batches) all.insert(all.end(), batch.rects.begin(), batch.rects.end());
    return all;
}

bool operator==(const RegionRect& a, const RegionRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(RegionRuns, APictureWithoutTheKeyIsOneRunPerRow) {
    Picture picture(527, 338, blue);
    RecordingSink sink;
    const std::vector<RegionRect> rects = collect(picture, true, sink);
    ASSERT_EQ(sink.batches.size(), 1u);
    ASSERT_EQ(rects.size(), 338u);
    EXPECT_TRUE((rects.front() == RegionRect{0, 0, 527, 1}));
    EXPECT_TRUE((rects.back() == RegionRect{0, 337, 527, 338}));
    EXPECT_TRUE((sink.batches[0].bounds == RegionRect{0, 0, 527, 338}));
    EXPECT_EQ(sink.batches[0].headerSize, 32u);
    EXPECT_EQ(sink.batches[0].type, 1u);
}

TEST(RegionRuns, APictureAllInTheKeyGivesAnEmptyListAllTheSame) {
    Picture picture(40, 30, magenta);
    RecordingSink sink;
    EXPECT_TRUE(collect(picture, true, sink).empty());
    ASSERT_EQ(sink.batches.size(), 1u); // the region of no rectangles is still built
    EXPECT_TRUE((sink.batches[0].bounds == RegionRect{INT32_MAX, INT32_MAX, 0, 0}));
}

TEST(RegionRuns, OneKeyPixelMidRowSplitsThatRowInTwo) {
    Picture picture(10, 3, blue);
    picture.set(4, 1, magenta);
    RecordingSink sink;
    const std::vector<RegionRect> rects = collect(picture, true, sink);
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_TRUE((rects[1] == RegionRect{0, 1, 4, 2}));
    EXPECT_TRUE((rects[2] == RegionRect{5, 1, 10, 2}));
}

TEST(RegionRuns, WithTheKeyOpaqueTheKeyPixelsAreTheShape) {
    Picture picture(10, 3, blue);
    picture.set(4, 1, magenta);
    picture.set(9, 2, magenta);
    RecordingSink sink;
    const std::vector<RegionRect> rects = collect(picture, false, sink);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_TRUE((rects[0] == RegionRect{4, 1, 5, 2}));
    EXPECT_TRUE((rects[1] == RegionRect{9, 2, 10, 3}));
}

// Every other pixel of a row is the key: width / 2 runs per row.
Picture striped(int32_t width, int32_t height) {
    Picture picture(width, height, blue);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 1; x < width; x += 2) picture.set(x, y, magenta);
    return picture;
}

TEST(RegionRuns, TheHundredAndFirstRectangleGrowsTheBufferByAHundred) {
    RecordingSink sink;
    RegionRunCollector collector(sink);
    ASSERT_TRUE(collector.begin());
    EXPECT_EQ(collector.capacity(), 100u);
    for (int32_t y = 0; y < 100; ++y) ASSERT_TRUE(collector.addRun(0, y, 5));
    EXPECT_EQ(collector.capacity(), 100u);
    ASSERT_TRUE(collector.addRun(0, 100, 5));
    EXPECT_EQ(collector.capacity(), 200u);
    EXPECT_EQ(collector.count(), 101u);
}

TEST(RegionRuns, TheTwoThousandthRectangleBuildsABatchAndKeepsTheBuffer) {
    const Picture picture = striped(200, 21); // 100 runs a row, 2100 in all
    RecordingSink sink;
    RegionRunCollector collector(sink);
    ASSERT_TRUE(collector.begin());
    ASSERT_TRUE(collectRegionRuns(picture.image(), magenta, true, collector));
    ASSERT_EQ(sink.batches.size(), 1u);
    EXPECT_EQ(sink.batches[0].rects.size(), 2000u);
    EXPECT_EQ(sink.batches[0].bytes, 32u + 2000u * 16u); // the whole buffer is handed on
    EXPECT_EQ(collector.count(), 100u);
    EXPECT_EQ(collector.capacity(), 2000u); // not shrunk
    EXPECT_TRUE((sink.batches[0].bounds == RegionRect{0, 0, 199, 20}));
    collector.finish();
    ASSERT_EQ(sink.batches.size(), 2u);
    EXPECT_TRUE((sink.batches[1].bounds == RegionRect{0, 20, 199, 21}));
}

// Memory that runs out after a number of successful growths.
int growthsLeft = 0;
void* limitedResize(void* block, size_t bytes) { return growthsLeft-- > 0 ? realloc(block, bytes) : nullptr; }
void* noMemory(size_t) { return nullptr; }

TEST(RegionRuns, WhenTheBufferCannotGrowCollectingStops) {
    const RegionMemory limited = {heapRegionMemory.obtain, limitedResize, heapRegionMemory.release};
    growthsLeft = 5; // room for 600 rectangles
    const Picture picture = striped(200, 30);
    RecordingSink sink;
    RegionRunCollector collector(sink, limited);
    ASSERT_TRUE(collector.begin());
    EXPECT_FALSE(collectRegionRuns(picture.image(), magenta, true, collector));
    EXPECT_EQ(collector.count(), 600u);
    EXPECT_EQ(collector.capacity(), 600u);
    EXPECT_TRUE(sink.batches.empty()); // the caller gets no region; the buffer goes with the collector
}

TEST(RegionRuns, WithoutABufferNothingIsCollected) {
    const RegionMemory none = {noMemory, heapRegionMemory.resize, heapRegionMemory.release};
    RecordingSink sink;
    RegionRunCollector collector(sink, none);
    EXPECT_FALSE(collector.begin());
    EXPECT_FALSE(collector.addRun(0, 0, 1));
    collector.finish();
    EXPECT_TRUE(sink.batches.empty());
}

TEST(RegionRuns, APictureLargerThanItsBufferIsRefused) {
    Picture picture(8, 4, blue);
    PixelImage image = picture.image();
    image.size -= 1;
    RecordingSink sink;
    RegionRunCollector collector(sink);
    ASSERT_TRUE(collector.begin());
    EXPECT_FALSE(collectRegionRuns(image, magenta, true, collector));
    image = picture.image();
    image.stride = 8; // narrower than a row of pixels
    EXPECT_FALSE(collectRegionRuns(image, magenta, true, collector));
    EXPECT_EQ(collector.count(), 0u);
}

} // namespace
