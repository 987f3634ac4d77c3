#include "region.h"

#include "dialog.h"
#include "region_runs.h"

static_assert(sizeof(RGNDATAHEADER) == sizeof(RegionDataHeader), "region data header layout");
static_assert(sizeof(RECT) == sizeof(RegionRect), "region rectangle layout");

namespace {

// Unites every batch into one region; a batch the system refuses is lost.
class GdiRegionSink : public RegionSink {
public:
    void addBatch(const RegionDataHeader* data, size_t bytes) override {
        HRGN batch = ExtCreateRegion(nullptr, static_cast<DWORD>(bytes), reinterpret_cast<const RGNDATA*>(data));
        if (!batch) return;
        if (!built_) {
            built_ = batch;
            return;
        }
        CombineRgn(built_, built_, batch, RGN_OR);
        DeleteObject(batch);
    }
    HRGN release() {
        HRGN region = built_;
        built_ = nullptr;
        return region;
    }

private:
    HRGN built_ = nullptr;
};

// A 32-bit top-down-addressable copy of the bitmap, as the region builder reads it.
struct PixelCopy {
    HBITMAP section = nullptr;
    void* bits = nullptr;
    int width = 0;
    int height = 0;
};

bool makePixelCopy(HDC memory, HBITMAP source, PixelCopy* copy) {
    BITMAP description;
    if (GetObjectA(source, sizeof(description), &description) != sizeof(description)) return false;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = description.bmWidth;
    header.biHeight = description.bmHeight; // positive: rows bottom-up
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    copy->section = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &copy->bits, nullptr, 0);
    copy->width = description.bmWidth;
    copy->height = description.bmHeight;
    return copy->section && copy->bits;
}

HRGN regionFromPixels(const PixelCopy& copy, COLORREF key, bool keyIsTransparent) {
    GdiFlush(); // the copy into the section must be complete before it is read
    const size_t stride = regionStride(copy.width);
    const PixelImage image = {static_cast<const uint8_t*>(copy.bits), stride * static_cast<size_t>(copy.height),
                              stride, copy.width, copy.height};
    GdiRegionSink sink;
    RegionRunCollector collector(sink);
    if (collector.begin() && collectRegionRuns(image, key, keyIsTransparent, collector)) collector.finish();
    return sink.release();
}

} // namespace

HRGN bitmapToRegion(HBITMAP bitmap, COLORREF key, bool keyIsTransparent) {
    if (!bitmap) return nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory) return nullptr;
    PixelCopy copy;
    if (!makePixelCopy(memory, bitmap, &copy)) {
        if (copy.section) DeleteObject(copy.section);
        DeleteDC(memory);
        return nullptr;
    }
    HGDIOBJ previousSection = SelectObject(memory, copy.section);
    HRGN region = nullptr;
    if (HDC source = CreateCompatibleDC(memory)) {
        HGDIOBJ previousSource = SelectObject(source, bitmap);
        BitBlt(memory, 0, 0, copy.width, copy.height, source, 0, 0, SRCCOPY);
        region = regionFromPixels(copy, key, keyIsTransparent);
        SelectObject(source, previousSource);
        DeleteDC(source);
    }
    SelectObject(memory, previousSection);
    DeleteDC(memory);
    DeleteObject(copy.section);
    return region;
}

namespace {

struct Scale {
    double x;
    double y;
};

BOOL CALLBACK scaleOneChild(HWND child, LPARAM context) {
    const Scale& scale = *reinterpret_cast<const Scale*>(context);
    RECT rect;
    if (!GetWindowRect(child, &rect)) return TRUE;
    const int left = static_cast<int>(rect.left / scale.x);
    const int right = static_cast<int>(rect.right / scale.x);
    const int top = static_cast<int>(rect.top / scale.y);
    const int bottom = static_cast<int>(rect.bottom / scale.y);
    POINT corner = {left, top};
    ScreenToClient(GetParent(child), &corner);
    moveWindow(child, corner.x, corner.y, right - left, bottom - top);
    return TRUE;
}

} // namespace

void scaleChildWindows(HWND window, int designWidth, int designHeight) {
    RECT client;
    if (designWidth <= 0 || designHeight <= 0 || !GetClientRect(window, &client)) return;
    Scale scale = {static_cast<double>(rectWidth(client)) / designWidth,
                   static_cast<double>(rectHeight(client)) / designHeight};
    if (scale.x <= 0 || scale.y <= 0) return;
    EnumChildWindows(window, scaleOneChild, reinterpret_cast<LPARAM>(&scale));
}
