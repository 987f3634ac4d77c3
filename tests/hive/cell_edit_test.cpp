// Hive cells read and changed in memory (cells.h, cell_edit.h), checked
// against readers written apart from this program: the hive library and
// libregf's regfinfo and regfexport, run on the changed hive written to a
// temporary folder. Hives start empty (tools/hives) or filled through the
// hive library; a real Windows 10 user hive is read where the shared test
// data is present.
#include <gtest/gtest.h>

#include <hivex.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../sim/hive_builder.h"
#include "../sim/host_tree.h"
#include "base_block.h"
#include "cell_edit.h"
#include "cells.h"
#include "empty_hive.h"

namespace {

using hive::Bytes;
using hive::CellOffset;
using hive::HiveEditor;
using hive::HiveView;
using hive::Name;
using hive::noCell;

constexpr uint32_t regSz = 1;
constexpr uint32_t regBinary = 3;
constexpr uint32_t regDword = 4;
constexpr uint32_t regMultiSz = 7;
constexpr uint32_t minorWithLf = 3;
constexpr uint32_t minorWithLh = 5;
constexpr size_t segment = hive::bigDataSegment;
constexpr uint64_t fixedTime = 0x01D9000000000000ULL;

// ---- Files, names and the tools ----

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Name name(const std::u16string& text) { return Name{text, false}; }

std::string utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

Bytes pattern(size_t length, unsigned seed) {
    Bytes bytes(length);
    std::mt19937 random(seed);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
}

bool haveRegf() { return system("command -v regfinfo >/dev/null 2>&1 && command -v regfexport >/dev/null 2>&1") == 0; }

#define SKIP_WITHOUT_REGF() \
    if (!haveRegf()) GTEST_SKIP() << "regfinfo and regfexport (libregf-utils) are not installed"

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun runTool(const std::string& command) {
    ToolRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
    run.status = pclose(pipe);
    return run;
}

// A value as regfexport shows it: its type line and its data, as bytes
// when shown in hex, else as the text shown.
struct Exported {
    std::string type;
    Bytes bytes;
    std::string text;
};

// A hex line of regfexport: "00000000: 00 01 ... 07  08 ... 0f   ascii".
void hexLine(const std::string& line, Bytes& bytes) {
    constexpr size_t firstByteAt = 10;
    constexpr size_t perLine = 16;
    for (size_t i = 0; i < perLine; ++i) {
        const size_t at = firstByteAt + i * 3 + (i >= perLine / 2 ? 1 : 0);
        if (at + 2 > line.size() || !isxdigit(static_cast<unsigned char>(line[at])) ||
            !isxdigit(static_cast<unsigned char>(line[at + 1]))) {
            return;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoul(line.substr(at, 2), nullptr, 16)));
    }
}

// Every key ("K path") and value ("V path|name|type|data") regfexport
// lists, sorted; values by "path|name" in `values`.
std::vector<std::string> exportItems(const std::string& output, std::map<std::string, Exported>* values = nullptr) {
    std::vector<std::string> items;
    std::istringstream in(output);
    std::string line, keyPath, valueKey;
    Exported current;
    bool inHex = false;
    auto close = [&] {
        if (valueKey.empty()) return;
        items.push_back("V " + valueKey + "|" + current.type + "|" + current.text + "|" +
                        std::string(current.bytes.begin(), current.bytes.end()));
        if (values) (*values)[valueKey] = current;
        valueKey.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("Key path: ", 0) == 0) {
            close();
            keyPath = line.substr(10);
            items.push_back("K " + keyPath);
        } else if (line.rfind("Value: ", 0) == 0) {
            close();
            const size_t space = line.find(' ', 7);
            valueKey = keyPath + "|" + (space == std::string::npos ? "" : line.substr(space + 1));
            current = Exported();
            inHex = false;
        } else if (line.rfind("Type: ", 0) == 0) {
            current.type = line.substr(6);
        } else if (line == "Data:") {
            inHex = true;
        } else if (line.rfind("Data: ", 0) == 0) {
            current.text = line.substr(6);
        } else if (inHex && !line.empty()) {
            hexLine(line, current.bytes);
        } else if (line.empty()) {
            inHex = false;
        }
    }
    close();
    std::sort(items.begin(), items.end());
    return items;
}

// ---- Hives ----

class HiveCell : public ::testing::Test {
protected:
    // The empty hive of tools/hives with the given minor version.
    static Bytes emptyImage(uint32_t minor) {
        const std::string text = emptyHiveImage("ROOT");
        Bytes image(text.begin(), text.end());
        hive::writeU32(image.data() + hive::minorVersionAt, minor);
        hive::sealBaseBlock(image.data());
        return image;
    }

    // A hive filled through the hive library, with the given minor version.
    Bytes builtImage(uint32_t minor, const std::function<void(hives::HiveBuilder&)>& fill) {
        const std::string path = folder_.path() + "/built-" + std::to_string(++files_);
        {
            hives::HiveBuilder builder(path);
            fill(builder);
            builder.commit();
        }
        Bytes image = readFile(path);
        hive::writeU32(image.data() + hive::minorVersionAt, minor);
        hive::sealBaseBlock(image.data());
        return image;
    }

    // The image as a file the other readers can open (checksum sealed, as
    // the program does before writing).
    std::string saved(Bytes image) {
        hive::sealBaseBlock(image.data());
        const std::string path = folder_.path() + "/hive-" + std::to_string(++files_);
        writeFile(path, image);
        return path;
    }

    ToolRun regfinfo(const Bytes& image) { return runTool("regfinfo '" + saved(image) + "'"); }
    ToolRun regfexport(const Bytes& image) { return runTool("regfexport '" + saved(image) + "'"); }

    hosttree::OutsideFolder folder_;
    int files_ = 0;
};

CellOffset keyAt(const HiveView& view, const std::vector<std::u16string>& path) {
    CellOffset key = view.root();
    for (const std::u16string& part : path) key = key == noCell ? noCell : view.findSubkey(key, part);
    return key;
}

uint32_t field(const Bytes& image, CellOffset cell, size_t at) {
    return hive::readU32(&image[hive::baseBlockSize + cell + 4 + at]);
}

// The view's reading of a whole hive in the hive library's dump format.
void viewDumpKey(const HiveView& view, CellOffset key, const std::string& path, int depth, std::string& dump) {
    ASSERT_LT(depth, 64);
    dump += "[" + path + "]\n";
    std::vector<CellOffset> list;
    ASSERT_TRUE(view.values(key, list));
    for (CellOffset value : list) {
        Name valueName;
        Bytes data;
        uint32_t type = 0;
        ASSERT_TRUE(view.valueName(value, valueName) && view.valueData(value, type, data));
        dump += hives::dumpLine(utf8(valueName.text), type, std::string(data.begin(), data.end()));
    }
    ASSERT_TRUE(view.subkeys(key, list));
    for (CellOffset subkey : list) {
        Name keyName;
        ASSERT_TRUE(view.keyName(subkey, keyName));
        viewDumpKey(view, subkey, path + "\\" + utf8(keyName.text), depth + 1, dump);
    }
}

std::string viewDump(const Bytes& image) {
    HiveView view(image);
    std::string dump;
    viewDumpKey(view, view.root(), "", 0, dump);
    return dump;
}

// File offsets of the size fields of free cells.
std::set<size_t> freeCellHeaders(const Bytes& image) {
    std::set<size_t> headers;
    HiveView view(image);
    uint32_t next = 0, start = 0, end = 0;
    while (view.binOf(next, start, end)) {
        for (uint32_t cell = start + hive::binHeaderSize; cell + 4 <= end;) {
            const int32_t size = static_cast<int32_t>(hive::readU32(image.data() + hive::baseBlockSize + cell));
            if (size > 0) headers.insert(hive::baseBlockSize + cell);
            const uint32_t length = static_cast<uint32_t>(size < 0 ? -static_cast<int64_t>(size) : size);
            if (length < 8) break;
            cell += length;
        }
        next = end;
    }
    return headers;
}

// Every byte that differs lies in a page the editor names and inside one
// of the cells given (of either image) or a free cell's size field.
void expectChangesOnlyIn(const Bytes& before, const Bytes& after, const HiveEditor& editor,
                         const std::vector<CellOffset>& cells) {
    auto inCell = [&](size_t fileAt) {
        for (CellOffset cell : cells) {
            for (const Bytes* image : {&before, &after}) {
                const size_t start = hive::baseBlockSize + cell;
                if (start + 4 > image->size()) continue;
                const int32_t size = static_cast<int32_t>(hive::readU32(image->data() + start));
                const size_t length = static_cast<size_t>(size < 0 ? -static_cast<int64_t>(size) : size);
                if (fileAt >= start && fileAt < start + length) return true;
            }
        }
        return false;
    };
    const std::vector<uint32_t> pages = editor.dirtyPages();
    const std::set<size_t> freeHeaders = freeCellHeaders(after);
    ASSERT_EQ(before.size(), after.size());
    for (size_t at = hive::baseBlockSize; at < before.size(); ++at) {
        if (before[at] == after[at]) continue;
        const uint32_t page = static_cast<uint32_t>((at - hive::baseBlockSize) / hive::pageSize * hive::pageSize);
        EXPECT_TRUE(std::find(pages.begin(), pages.end(), page) != pages.end()) << "byte " << at;
        const size_t header = at - (at - hive::baseBlockSize) % 4;
        EXPECT_TRUE(inCell(at) || freeHeaders.count(header) != 0) << "byte " << at << " changed outside the cells";
    }
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + hive::baseBlockSize, after.begin()));
    EXPECT_FALSE(editor.baseBlockDirty());
}

void fillTools(hives::HiveBuilder& builder) {
    builder.text("Software\\Tool", "Path", "C:\\Tool\\tool.exe")
        .dword("Software\\Tool", "Start", 2)
        .raw("Software\\Tool", "Blob", regBinary, std::string(300, 'b'))
        .text("Software\\Other", "Keep", "stays")
        .key("Software\\Other\\Leaf")
        .text("Software\\Other\\Leaf", "Gone", "with its key")
        .raw("Software\\Other\\Leaf", "Bits", regBinary, std::string(40, 'x'));
}

// ---- Reading ----

TEST_F(HiveCell, ViewReadsWhatTheHiveLibraryWrote) {
    const Bytes image = builtImage(minorWithLh, [](hives::HiveBuilder& builder) {
        fillTools(builder);
        builder.raw("Software\\Tool", "", regSz, hives::utf16("default"))
            .raw("Software\\Tool", "Empty", regBinary, "")
            .raw("Software\\Tool", "Three", regBinary, "abc");
        for (int i = 0; i < 30; ++i) builder.key("Many\\Key" + std::to_string(i));
    });
    std::string problem;
    EXPECT_TRUE(HiveView(image).valid(problem)) << problem;
    EXPECT_TRUE(HiveView(image).checkCells(problem)) << problem;
    EXPECT_EQ(viewDump(image), hives::hiveDump(saved(image)));
}

std::string sharedTestData() {
#ifdef QUORVANE_SHARED_TESTDATA
    return QUORVANE_SHARED_TESTDATA;
#else
    const std::string here = __FILE__; // .../tests/hive/cell_edit_test.cpp
    return here.substr(0, here.rfind("/tests/hive/")) + "/../shared/testdata";
#endif
}

Bytes realUserHive() {
    const std::string path = sharedTestData() + "/dirty-user-hive/transactions_NTUSER.DAT.xz";
    if (!std::ifstream(path).good()) return Bytes();
    const ToolRun run = runTool("xz -dc '" + path + "'");
    return run.status == 0 ? Bytes(run.output.begin(), run.output.end()) : Bytes();
}

TEST_F(HiveCell, ViewReadsARealWindowsHiveAsTheHiveLibraryDoes) {
    const Bytes image = realUserHive();
    if (image.empty()) GTEST_SKIP() << "the shared test data is not here";
    HiveView view(image);
    std::vector<CellOffset> keys;
    std::string problem;
    ASSERT_TRUE(view.walkKeys(keys, problem)) << problem;
    EXPECT_EQ(keys.size(), 2590u); // the primary file alone, before its logs
    EXPECT_TRUE(view.checkCells(problem)) << problem;
    EXPECT_EQ(viewDump(image), hives::hiveDump(saved(image)));
    // Every hash Windows wrote into its lh lists is the one this program makes.
    size_t hashes = 0;
    for (CellOffset key : keys) {
        hive::ListKind kind = hive::ListKind::none;
        std::vector<CellOffset> entries;
        const CellOffset list = hive::readU32(&image[hive::baseBlockSize + key + 4 + hive::nk::subkeyListAt]);
        if (!view.subkeys(key, entries) || entries.empty() || !view.listEntries(list, kind, entries)) continue;
        ASSERT_EQ(kind, hive::ListKind::lh);
        for (size_t i = 0; i < entries.size(); ++i, ++hashes) {
            Name subkey;
            ASSERT_TRUE(view.keyName(entries[i], subkey));
            EXPECT_EQ(hive::readU32(&image[hive::baseBlockSize + list + 4 + hive::list::entriesAt + i * 8 + 4]),
                      hive::nameHash(subkey.text)) << utf8(subkey.text);
        }
    }
    EXPECT_EQ(hashes + 1, keys.size());
}

TEST(HiveCellNames, CompareHashAndHintAsTheSystemDoes) {
    EXPECT_EQ(hive::upcase(u'\u00E4'), u'\u00C4');
    EXPECT_EQ(hive::upcase(u'\u00FF'), u'\u0178');
    EXPECT_EQ(hive::upcase(u'\u00F7'), u'\u00F7'); // the division sign has no case
    EXPECT_EQ(hive::upcase(u'\u0436'), u'\u0416');
    EXPECT_TRUE(hive::sameName(u"Gr\u00FC\u00DFe", u"GR\u00DC\u00DFE"));
    EXPECT_FALSE(hive::sameName(u"Run", u"Run "));
    // In upper case '_' (0x5F) sorts after 'A' (0x41), though before 'a'.
    EXPECT_GT(hive::compareNames(u"_x", u"ax"), 0);
    EXPECT_LT(hive::compareNames(u"Ab", u"abc"), 0);
    EXPECT_EQ(hive::nameHint(u"Charlie"), 'C' | 'h' << 8 | 'a' << 16 | 'r' << 24);
    EXPECT_EQ(hive::nameHint(u"ab"), 'a' | 'b' << 8);
    EXPECT_EQ(hive::nameHint(u"\u4E2Dx") & 0xFF, 0u) << "a hint that cannot hold the name starts with 0";
    EXPECT_EQ(hive::nameHash(u"ab"), ('A' * 37u) + 'B');
}

// ---- Deleting ----

TEST_F(HiveCell, DeletedValueIsGoneAndNothingElseChanged) {
    SKIP_WITHOUT_REGF();
    const Bytes before = builtImage(minorWithLh, fillTools);
    Bytes image = before;
    HiveView view(image);
    const CellOffset key = keyAt(view, {u"Software", u"Tool"});
    const CellOffset value = view.findValue(key, u"blob");
    ASSERT_NE(value, noCell);
    std::vector<CellOffset> touched;
    ASSERT_TRUE(view.dataCells(value, touched));
    touched.insert(touched.end(), {key, value, field(image, key, hive::nk::valueListAt)});
    HiveEditor editor(image);
    std::string problem;
    ASSERT_TRUE(editor.deleteValue(key, value, problem)) << problem;
    expectChangesOnlyIn(before, image, editor, touched);

    std::vector<std::string> expected = exportItems(regfexport(before).output);
    const auto gone = std::find_if(expected.begin(), expected.end(), [](const std::string &item) {
        return item.rfind("V ROOT\\Software\\Tool|Blob|", 0) == 0;
    });
    ASSERT_NE(gone, expected.end());
    expected.erase(gone);
    const ToolRun after = regfexport(image);
    EXPECT_EQ(after.status, 0) << after.output;
    EXPECT_EQ(exportItems(after.output), expected);
    EXPECT_EQ(regfinfo(image).status, 0);
    EXPECT_FALSE(hives::hiveHasValue(saved(image), "Software\\Tool", "Blob"));
    EXPECT_TRUE(hives::hiveHasValue(saved(image), "Software\\Tool", "Start"));
}

TEST_F(HiveCell, DeletingEveryValueFreesTheList) {
    Bytes image = builtImage(minorWithLh, fillTools);
    HiveEditor editor(image);
    HiveView view(image);
    const CellOffset key = keyAt(view, {u"Software", u"Tool"});
    std::vector<CellOffset> values;
    ASSERT_TRUE(view.values(key, values));
    std::string problem;
    for (CellOffset value : values) ASSERT_TRUE(editor.deleteValue(key, value, problem)) << problem;
    HiveView after(image);
    EXPECT_TRUE(after.values(key, values) && values.empty());
    EXPECT_EQ(hive::readU32(&image[hive::baseBlockSize + key + 4 + hive::nk::valueListAt]), noCell);
    EXPECT_FALSE(editor.deleteValue(key, values.empty() ? 0 : values[0], problem));
}

TEST_F(HiveCell, DeletedKeyIsGoneWithItsValues) {
    SKIP_WITHOUT_REGF();
    const Bytes before = builtImage(minorWithLh, fillTools);
    Bytes image = before;
    HiveView view(image);
    const CellOffset parent = keyAt(view, {u"Software", u"Other"});
    const CellOffset leaf = keyAt(view, {u"Software", u"Other", u"Leaf"});
    std::vector<CellOffset> touched{parent, leaf,
                                    hive::readU32(&image[hive::baseBlockSize + leaf + 4 + hive::nk::securityAt]),
                                    hive::readU32(&image[hive::baseBlockSize + parent + 4 + hive::nk::subkeyListAt]),
                                    hive::readU32(&image[hive::baseBlockSize + leaf + 4 + hive::nk::valueListAt])};
    std::vector<CellOffset> values, data;
    ASSERT_TRUE(view.values(leaf, values));
    for (CellOffset value : values) {
        ASSERT_TRUE(view.dataCells(value, data));
        touched.push_back(value);
        touched.insert(touched.end(), data.begin(), data.end());
    }
    HiveEditor editor(image);
    std::string problem;
    EXPECT_FALSE(editor.deleteKey(view.root(), keyAt(view, {u"Software"}), problem)) << "a key with subkeys";
    EXPECT_EQ(image, before);
    ASSERT_TRUE(editor.deleteKey(parent, leaf, problem)) << problem;
    expectChangesOnlyIn(before, image, editor, touched);

    std::vector<std::string> expected;
    for (const std::string& item : exportItems(regfexport(before).output)) {
        if (item.find("ROOT\\Software\\Other\\Leaf") == std::string::npos) expected.push_back(item);
    }
    const ToolRun after = regfexport(image);
    EXPECT_EQ(after.status, 0) << after.output;
    EXPECT_EQ(exportItems(after.output), expected);
    EXPECT_FALSE(hives::hiveHasKey(saved(image), "Software\\Other\\Leaf"));
    EXPECT_TRUE(hives::hiveHasValue(saved(image), "Software\\Other", "Keep"));
}

// Whether a cell starts an allocated cell in its bin's walk.
bool allocatedInWalk(const Bytes& image, CellOffset target) {
    HiveView view(image);
    uint32_t start = 0, end = 0;
    if (!view.binOf(target, start, end)) return false;
    for (uint32_t cell = start + hive::binHeaderSize; cell < end;) {
        const int32_t size = static_cast<int32_t>(hive::readU32(image.data() + hive::baseBlockSize + cell));
        if (cell == target) return size < 0;
        cell += static_cast<uint32_t>(size < 0 ? -static_cast<int64_t>(size) : size);
    }
    return false;
}

TEST_F(HiveCell, LastKeyOfASecurityRecordTakesItOutOfTheRing) {
    Bytes image = realUserHive();
    if (image.empty()) GTEST_SKIP() << "the shared test data is not here";
    HiveView view(image);
    std::vector<CellOffset> keys, below;
    std::string problem;
    ASSERT_TRUE(view.walkKeys(keys, problem));
    CellOffset key = noCell, security = noCell;
    for (CellOffset candidate : keys) {
        security = field(image, candidate, hive::nk::securityAt);
        if (view.subkeys(candidate, below) && below.empty() && field(image, security, hive::sk::referencesAt) == 1 &&
            field(image, security, hive::sk::nextAt) != field(image, security, hive::sk::previousAt)) {
            key = candidate;
            break;
        }
    }
    ASSERT_NE(key, noCell);
    const CellOffset parent = field(image, key, hive::nk::parentAt);
    const CellOffset next = field(image, security, hive::sk::nextAt);
    const CellOffset previous = field(image, security, hive::sk::previousAt);
    HiveEditor editor(image);
    ASSERT_TRUE(editor.deleteKey(parent, key, problem)) << problem;
    EXPECT_EQ(field(image, previous, hive::sk::nextAt), next);
    EXPECT_EQ(field(image, next, hive::sk::previousAt), previous);
    EXPECT_FALSE(allocatedInWalk(image, security));
    EXPECT_FALSE(allocatedInWalk(image, key));
    HiveView after(image);
    ASSERT_TRUE(after.walkKeys(keys, problem)) << problem;
    EXPECT_EQ(keys.size(), 2589u);
    if (haveRegf()) {
        EXPECT_EQ(regfinfo(image).status, 0);
    }
    EXPECT_NE(hives::hiveDump(saved(image)), "unreadable");
}

// ---- Setting values ----

TEST_F(HiveCell, BigDataReadsBackThroughRegfexport) {
    SKIP_WITHOUT_REGF();
    Bytes image = emptyImage(minorWithLh);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    const std::vector<std::pair<std::u16string, Bytes>> values{
        {u"Segment", pattern(segment, 1)}, {u"JustOver", pattern(segment + 1, 2)}, {u"Large", pattern(40000, 3)}};
    std::string problem;
    for (const auto& [valueName, data] : values) {
        CellOffset value = noCell;
        ASSERT_TRUE(editor.setValue(root, name(valueName), regBinary, data, value, problem)) << problem;
    }
    EXPECT_TRUE(editor.baseBlockDirty());
    HiveView view(image);
    EXPECT_FALSE(view.isBigData(view.findValue(root, u"Segment")));
    EXPECT_TRUE(view.isBigData(view.findValue(root, u"JustOver")));
    EXPECT_TRUE(view.isBigData(view.findValue(root, u"Large")));
    std::vector<CellOffset> cells;
    ASSERT_TRUE(view.dataCells(view.findValue(root, u"Large"), cells));
    EXPECT_EQ(cells.size(), 2u + 3u) << "db, its list and three segments";
    EXPECT_EQ(hive::readU32(image.data() + hive::binsSizeAt) + hive::baseBlockSize, image.size());

    std::map<std::string, Exported> exported;
    const ToolRun run = regfexport(image);
    ASSERT_EQ(run.status, 0) << run.output;
    exportItems(run.output, &exported);
    for (const auto& [valueName, data] : values) {
        EXPECT_EQ(exported["ROOT|" + utf8(valueName)].bytes, data) << utf8(valueName);
        uint32_t type = 0;
        Bytes read;
        EXPECT_TRUE(view.valueData(view.findValue(root, valueName), type, read) && read == data);
    }
    EXPECT_EQ(field(image, root, hive::nk::maxValueDataAt), 40000u);
    EXPECT_EQ(field(image, root, hive::nk::maxValueNameAt), 2 * std::u16string(u"JustOver").size());
}

TEST_F(HiveCell, AMultiStringGrownPastOneCellBecomesBigData) {
    SKIP_WITHOUT_REGF();
    Bytes image = emptyImage(minorWithLh);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    auto multiString = [](size_t length) {
        Bytes data(length, 0);
        for (size_t i = 0; i + 4 < length; i += 2) data[i] = static_cast<uint8_t>('a' + i / 2 % 26);
        return data;
    };
    CellOffset first = noCell, second = noCell;
    std::string problem;
    ASSERT_TRUE(editor.setValue(root, name(u"Pending"), regMultiSz, multiString(16338), first, problem)) << problem;
    EXPECT_FALSE(HiveView(image).isBigData(first));
    const Bytes grown = multiString(16338 + 200);
    ASSERT_TRUE(editor.setValue(root, name(u"PENDING"), regMultiSz, grown, second, problem)) << problem;
    EXPECT_EQ(first, second) << "the value keeps its record and name";
    HiveView view(image);
    EXPECT_TRUE(view.isBigData(second));
    Name stored;
    EXPECT_TRUE(view.valueName(second, stored) && stored.text == u"Pending");
    const ToolRun info = regfinfo(image);
    EXPECT_EQ(info.status, 0) << info.output;
    std::map<std::string, Exported> exported;
    exportItems(regfexport(image).output, &exported);
    EXPECT_EQ(exported["ROOT|Pending"].bytes, grown);
}

TEST_F(HiveCell, DataOfAnOldHiveStaysInOneCell) {
    Bytes image = emptyImage(minorWithLf);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    CellOffset value = noCell;
    std::string problem;
    const Bytes data = pattern(20000, 4);
    ASSERT_TRUE(editor.setValue(root, name(u"Old"), regBinary, data, value, problem)) << problem;
    HiveView view(image);
    std::vector<CellOffset> cells;
    EXPECT_TRUE(view.dataCells(value, cells) && cells.size() == 1);
    EXPECT_EQ(hives::hiveDump(saved(image)),
              "[]\n" + hives::dumpLine("Old", regBinary, std::string(data.begin(), data.end())));
}

TEST_F(HiveCell, ValueSetChangesOnlyItsCellsAndReusesFreedSpace) {
    const Bytes before = builtImage(minorWithLh, fillTools);
    Bytes image = before;
    HiveView view(image);
    const CellOffset key = keyAt(view, {u"Software", u"Tool"});
    const CellOffset blob = view.findValue(key, u"Blob");
    std::vector<CellOffset> old;
    ASSERT_TRUE(view.dataCells(blob, old));
    HiveEditor editor(image);
    editor.setWriteTime(fixedTime);
    CellOffset value = noCell;
    std::string problem;
    ASSERT_TRUE(editor.setValue(key, name(u"BLOB"), regBinary, pattern(200, 5), value, problem)) << problem;
    EXPECT_EQ(value, blob);
    std::vector<CellOffset> now;
    ASSERT_TRUE(HiveView(image).dataCells(value, now));
    EXPECT_EQ(now, old) << "shorter data is written where the old data was";
    EXPECT_EQ(hive::readU64(&image[hive::baseBlockSize + key + 4 + hive::nk::lastWrittenAt]), fixedTime);
    expectChangesOnlyIn(before, image, editor, {key, value, old[0]});

    CellOffset added = noCell;
    ASSERT_TRUE(editor.setValue(key, name(u"Added"), regDword, Bytes{1, 2, 3, 4}, added, problem)) << problem;
    const CellOffset list = field(image, key, hive::nk::valueListAt);
    expectChangesOnlyIn(before, image, editor,
                        {key, value, old[0], added, list, field(before, key, hive::nk::valueListAt)});
    EXPECT_EQ(hives::hiveDump(saved(image)), viewDump(image));
    EXPECT_TRUE(hives::hiveHasValue(saved(image), "Software\\Tool", "Added"));
}

TEST_F(HiveCell, FreedCellsMergeWithTheirFreeNeighbours) {
    const Bytes before = emptyImage(minorWithLh);
    Bytes image = before;
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    std::string problem;
    std::vector<CellOffset> values(3, noCell);
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(editor.setValue(root, name(u"v" + std::u16string(1, char16_t(u'0' + i))), regBinary,
                                    pattern(100 >> (2 * i), 9), values[i], problem));
    }
    for (size_t i : {1, 0, 2}) ASSERT_TRUE(editor.deleteValue(root, values[i], problem)) << problem;
    const std::set<size_t> free = freeCellHeaders(image);
    ASSERT_EQ(free, freeCellHeaders(before)) << "one free cell again, as in the empty hive";
    EXPECT_EQ(hive::readU32(&image[*free.begin()]), hive::readU32(&before[*free.begin()]));
}

TEST_F(HiveCell, NamesWithNulLatin1AndCjkRoundTrip) {
    SKIP_WITHOUT_REGF();
    Bytes image = emptyImage(minorWithLh);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    const std::u16string withNul(u"a\0b", 3);
    const std::vector<std::u16string> names{withNul, u"Gr\u00FC\u00DFe", u"\u4E2D\u6587", u"\u00C6\u00D8\u00C5x\u03A9"};
    std::string problem;
    for (const std::u16string& text : names) {
        CellOffset value = noCell, key = noCell;
        ASSERT_TRUE(editor.setValue(root, name(text), regBinary, Bytes{9, 9, 9, 9, 9}, value, problem)) << problem;
        ASSERT_TRUE(editor.addKey(root, name(text), key, problem)) << problem;
    }
    CellOffset again = noCell;
    ASSERT_TRUE(editor.setValue(root, name(u"GR\u00DC\u00DFE"), regDword, Bytes{1, 0, 0, 0}, again, problem));
    HiveView view(image);
    std::vector<CellOffset> values, keys;
    ASSERT_TRUE(view.values(root, values) && view.subkeys(root, keys));
    ASSERT_EQ(values.size(), names.size()) << "a name in other case is the same value";
    for (size_t i = 0; i < names.size(); ++i) {
        Name read;
        ASSERT_TRUE(view.valueName(values[i], read));
        EXPECT_EQ(read.text, names[i]);
        EXPECT_EQ(read.compressed, names[i] != u"\u4E2D\u6587" && names[i] != u"\u00C6\u00D8\u00C5x\u03A9");
        EXPECT_NE(view.findSubkey(root, names[i]), noCell);
    }
    std::map<std::string, Exported> exported;
    const ToolRun run = regfexport(image);
    ASSERT_EQ(run.status, 0) << run.output;
    exportItems(run.output, &exported);
    EXPECT_EQ(exported["ROOT|Gr\u00FC\u00DFe"].text, "1");
    EXPECT_EQ(exported["ROOT|\u4E2D\u6587"].bytes, (Bytes{9, 9, 9, 9, 9}));
    EXPECT_NE(run.output.find("Key path: ROOT\\\u4E2D\u6587"), std::string::npos);
    EXPECT_NE(run.output.find("Key path: ROOT\\\u00C6\u00D8\u00C5x\u03A9"), std::string::npos);
}

// ---- Adding keys ----

void expectListInOrderWithHashes(const Bytes& image, CellOffset parent) {
    HiveView view(image);
    std::vector<CellOffset> keys;
    ASSERT_TRUE(view.subkeys(parent, keys));
    std::vector<std::u16string> names;
    for (CellOffset key : keys) {
        Name read;
        ASSERT_TRUE(view.keyName(key, read));
        names.push_back(read.text);
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        return hive::compareNames(a, b) < 0;
    }));
    hive::ListKind kind = hive::ListKind::none;
    std::vector<CellOffset> entries;
    const CellOffset list = field(image, parent, hive::nk::subkeyListAt);
    ASSERT_TRUE(view.listEntries(list, kind, entries));
    if (kind != hive::ListKind::lh && kind != hive::ListKind::lf) return;
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint32_t stored = field(image, list, hive::list::entriesAt + i * 8 + 4);
        EXPECT_EQ(stored, kind == hive::ListKind::lh ? hive::nameHash(names[i]) : hive::nameHint(names[i]));
    }
}

// Keys added to a list the hive library made (lh) and to a new one (lf in
// a hive of minor version 3, lh from 5 on).
TEST_F(HiveCell, AddedKeysAreFoundByNameInLfAndLhLists) {
    SKIP_WITHOUT_REGF();
    for (uint32_t minor : {minorWithLf, minorWithLh}) {
        Bytes image = builtImage(minor, [](hives::HiveBuilder& builder) {
            for (const char* key : {"Run\\beta", "Run\\Delta", "Run\\alpha", "Fresh"}) builder.key(key);
        });
        const Bytes before = image;
        HiveEditor editor(image);
        const CellOffset run = keyAt(HiveView(image), {u"Run"});
        const CellOffset fresh = keyAt(HiveView(image), {u"Fresh"});
        std::string problem;
        CellOffset first = noCell;
        ASSERT_TRUE(editor.addKey(run, name(u"Bravo"), first, problem)) << problem;
        expectChangesOnlyIn(before, image, editor,
                            {run, first, field(image, run, hive::nk::securityAt),
                             field(before, run, hive::nk::subkeyListAt), field(image, run, hive::nk::subkeyListAt)});
        for (CellOffset parent : {run, fresh}) {
            for (const char16_t* text : {u"Charlie", u"\u00C4rger", u"aardvark", u"zulu", u"\u4E2D", u"ALPHA2"}) {
                CellOffset key = noCell;
                ASSERT_TRUE(editor.addKey(parent, name(text), key, problem)) << problem;
            }
            CellOffset duplicate = noCell;
            EXPECT_FALSE(editor.addKey(parent, name(u"CHARLIE"), duplicate, problem));
            expectListInOrderWithHashes(image, parent);
        }
        hive::ListKind kind = hive::ListKind::none;
        std::vector<CellOffset> entries;
        ASSERT_TRUE(HiveView(image).listEntries(field(image, fresh, hive::nk::subkeyListAt), kind, entries));
        EXPECT_EQ(kind, minor == minorWithLf ? hive::ListKind::lf : hive::ListKind::lh);
        EXPECT_EQ(field(image, run, hive::nk::subkeyCountAt), 10u);
        EXPECT_EQ(field(image, run, hive::nk::maxSubkeyNameAt) & 0xFFFF, 16u);
        const std::string path = saved(image);
        for (const char* key : {"Run\\Charlie", "Run\\zulu", "Run\\beta", "Fresh\\aardvark", "Fresh\\zulu"}) {
            EXPECT_TRUE(hives::hiveHasKey(path, key)) << key;
            const ToolRun found = runTool("regfexport -K '" + std::string(key) + "' '" + path + "'");
            const std::string last = std::string(key).substr(std::string(key).find('\\') + 1);
            EXPECT_NE(found.output.find("Key: " + last), std::string::npos) << minor << key << found.output;
        }
        EXPECT_EQ(regfinfo(image).status, 0);
    }
}

// A cell holding the given record, made as the data of a value of a
// scratch key (the test then points a key's list at it).
CellOffset cellWith(HiveEditor& editor, Bytes& image, const Bytes& record, int number) {
    const CellOffset root = HiveView(image).root();
    CellOffset value = noCell;
    std::string problem;
    EXPECT_TRUE(editor.setValue(root, name(u"scratch" + std::u16string(1, char16_t(u'0' + number))), regBinary,
                                record, value, problem));
    std::vector<CellOffset> cells;
    EXPECT_TRUE(HiveView(image).dataCells(value, cells) && cells.size() == 1);
    return cells.empty() ? noCell : cells[0];
}

Bytes listRecord(const char* signature, const std::vector<CellOffset>& entries) {
    Bytes record(4 + entries.size() * 4, 0);
    record[0] = static_cast<uint8_t>(signature[0]);
    record[1] = static_cast<uint8_t>(signature[1]);
    hive::writeU16(record.data() + 2, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) hive::writeU32(record.data() + 4 + i * 4, entries[i]);
    return record;
}

TEST_F(HiveCell, IndexRootLeavesTakeAndLoseKeys) {
    SKIP_WITHOUT_REGF();
    Bytes image = emptyImage(minorWithLh);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    std::string problem;
    CellOffset parent = noCell;
    ASSERT_TRUE(editor.addKey(root, name(u"Parent"), parent, problem));
    std::vector<CellOffset> keys;
    for (const char16_t* text : {u"b", u"d", u"f", u"h"}) {
        keys.push_back(noCell);
        ASSERT_TRUE(editor.addKey(parent, name(text), keys.back(), problem));
    }
    // Two li leaves under an ri, as large hives keep them.
    const CellOffset first = cellWith(editor, image, listRecord("li", {keys[0], keys[1]}), 1);
    const CellOffset second = cellWith(editor, image, listRecord("li", {keys[2], keys[3]}), 2);
    const CellOffset index = cellWith(editor, image, listRecord("ri", {first, second}), 3);
    hive::writeU32(&image[hive::baseBlockSize + parent + 4 + hive::nk::subkeyListAt], index);
    // The scratch values go, their data cells stay as the lists.
    hive::writeU32(&image[hive::baseBlockSize + root + 4 + hive::nk::valueCountAt], 0);
    hive::writeU32(&image[hive::baseBlockSize + root + 4 + hive::nk::valueListAt], noCell);
    editor.markCommitted();

    CellOffset c = noCell, z = noCell;
    ASSERT_TRUE(editor.addKey(parent, name(u"C"), c, problem)) << problem;
    ASSERT_TRUE(editor.addKey(parent, name(u"z"), z, problem)) << problem;
    expectListInOrderWithHashes(image, parent);
    HiveView view(image);
    EXPECT_EQ(field(image, parent, hive::nk::subkeyListAt), index) << "the ri stays, its leaves take the keys";
    const std::string path = saved(image);
    for (const char* key : {"C", "z", "h"}) {
        const ToolRun found = runTool("regfexport -K 'Parent\\" + std::string(key) + "' '" + path + "'");
        EXPECT_NE(found.output.find(std::string("Key: ") + key), std::string::npos) << found.output;
    }
    // Emptying the first leaf takes it out of the ri.
    for (CellOffset key : {keys[0], c, keys[1]}) ASSERT_TRUE(editor.deleteKey(parent, key, problem)) << problem;
    hive::ListKind kind = hive::ListKind::none;
    std::vector<CellOffset> leaves;
    ASSERT_TRUE(HiveView(image).listEntries(index, kind, leaves));
    EXPECT_EQ(leaves.size(), 1u);
    EXPECT_EQ(hives::hiveDump(saved(image)), viewDump(image));
    EXPECT_EQ(regfinfo(image).status, 0);
}

// ---- Pages, rollback ----

TEST_F(HiveCell, RollbackRestoresTheImageByteForByte) {
    const Bytes before = builtImage(minorWithLh, fillTools);
    Bytes image = before;
    HiveEditor editor(image);
    HiveView view(image);
    const CellOffset tool = keyAt(view, {u"Software", u"Tool"});
    const CellOffset other = keyAt(view, {u"Software", u"Other"});
    std::string problem;
    CellOffset value = noCell, key = noCell;
    ASSERT_TRUE(editor.deleteValue(tool, view.findValue(tool, u"Path"), problem));
    ASSERT_TRUE(editor.deleteKey(other, keyAt(view, {u"Software", u"Other", u"Leaf"}), problem));
    ASSERT_TRUE(editor.setValue(tool, name(u"Huge"), regBinary, pattern(50000, 6), value, problem));
    ASSERT_TRUE(editor.addKey(other, name(u"New"), key, problem));
    EXPECT_TRUE(editor.baseBlockDirty());
    EXPECT_GT(image.size(), before.size());
    const std::vector<uint32_t> pages = editor.dirtyPages();
    for (size_t page = 0; page * hive::pageSize + hive::baseBlockSize < before.size(); ++page) {
        const size_t at = hive::baseBlockSize + page * hive::pageSize;
        const bool same = std::equal(before.begin() + at, before.begin() + at + hive::pageSize, image.begin() + at);
        const bool named = std::find(pages.begin(), pages.end(), page * hive::pageSize) != pages.end();
        EXPECT_TRUE(same || named) << "page " << page << " changed unnamed";
    }
    for (size_t at = before.size(); at < image.size(); at += hive::pageSize) {
        EXPECT_NE(std::find(pages.begin(), pages.end(), at - hive::baseBlockSize), pages.end()) << "new page " << at;
    }
    editor.rollback();
    EXPECT_EQ(image, before);
    EXPECT_TRUE(editor.dirtyPages().empty());
    EXPECT_FALSE(editor.baseBlockDirty());

    ASSERT_TRUE(editor.addKey(other, name(u"Kept"), key, problem));
    editor.markCommitted();
    const Bytes committed = image;
    ASSERT_TRUE(editor.setValue(key, name(u"Gone"), regSz, pattern(100, 7), value, problem));
    editor.rollback();
    EXPECT_EQ(image, committed);
}

// ---- Hostile images ----

void expectRefusedUnchanged(Bytes image, CellOffset key, CellOffset other) {
    const Bytes before = image;
    HiveEditor editor(image);
    std::string problem;
    EXPECT_FALSE(editor.deleteValue(key, other, problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(editor.deleteKey(key, other, problem));
    EXPECT_EQ(image, before);
    EXPECT_TRUE(editor.dirtyPages().empty());
}

TEST_F(HiveCell, HostileOffsetsAndSizesAreRefused) {
    const Bytes good = builtImage(minorWithLh, fillTools);
    HiveView view(good);
    const CellOffset tool = keyAt(view, {u"Software", u"Tool"});
    const CellOffset list = field(good, tool, hive::nk::valueListAt);
    Name read;
    Bytes data;
    uint32_t type = 0;
    std::vector<CellOffset> found;
    for (CellOffset hostile : {0xFFFFFFF0u, 0u, 4u, tool + 4, hive::readU32(good.data() + hive::binsSizeAt)}) {
        EXPECT_FALSE(view.keyName(hostile, read)) << hostile;
        EXPECT_FALSE(view.subkeys(hostile, found)) << hostile;
        EXPECT_FALSE(view.valueData(hostile, type, data)) << hostile;
        expectRefusedUnchanged(good, tool, hostile);
    }
    Bytes crossing = good; // the key's size runs past its bin
    hive::writeU32(&crossing[hive::baseBlockSize + tool], 0u - 0x10000u);
    EXPECT_FALSE(HiveView(crossing).keyName(tool, read));
    expectRefusedUnchanged(crossing, tool, view.findValue(tool, u"Path"));

    Bytes countTooLarge = good; // more values counted than the list holds
    hive::writeU32(&countTooLarge[hive::baseBlockSize + tool + 4 + hive::nk::valueCountAt], 0x10000);
    EXPECT_FALSE(HiveView(countTooLarge).values(tool, found));
    Bytes listOut = good;
    hive::writeU32(&listOut[hive::baseBlockSize + list + 4], 0x7FFFFF00);
    EXPECT_FALSE(HiveView(listOut).values(tool, found));

    Bytes binsTooLarge = good;
    hive::writeU32(binsTooLarge.data() + hive::binsSizeAt, 0x100000);
    std::string problem;
    EXPECT_FALSE(HiveView(binsTooLarge).valid(problem));
    CellOffset made = noCell;
    EXPECT_FALSE(HiveEditor(binsTooLarge).addKey(tool, name(u"x"), made, problem));
}

TEST_F(HiveCell, CyclicListsAreRefused) {
    Bytes image = emptyImage(minorWithLh);
    HiveEditor editor(image);
    const CellOffset root = HiveView(image).root();
    std::string problem;
    CellOffset child = noCell;
    ASSERT_TRUE(editor.addKey(root, name(u"Child"), child, problem));
    // An ri listing itself.
    Bytes selfIndex = image;
    HiveEditor scratch(selfIndex);
    const CellOffset index = cellWith(scratch, selfIndex, listRecord("ri", {0}), 1);
    hive::writeU32(&selfIndex[hive::baseBlockSize + index + 4 + 4], index);
    hive::writeU32(&selfIndex[hive::baseBlockSize + root + 4 + hive::nk::subkeyListAt], index);
    std::vector<CellOffset> keys;
    EXPECT_FALSE(HiveView(selfIndex).subkeys(root, keys));
    EXPECT_FALSE(HiveView(selfIndex).walkKeys(keys, problem));
    CellOffset made = noCell;
    EXPECT_FALSE(HiveEditor(selfIndex).addKey(root, name(u"More"), made, problem));
    // A key listing its parent as its subkey.
    Bytes loop = image;
    HiveEditor loopEditor(loop);
    const CellOffset leaf = cellWith(loopEditor, loop, listRecord("li", {root}), 2);
    hive::writeU32(&loop[hive::baseBlockSize + child + 4 + hive::nk::subkeyListAt], leaf);
    hive::writeU32(&loop[hive::baseBlockSize + child + 4 + hive::nk::subkeyCountAt], 1);
    EXPECT_FALSE(HiveView(loop).walkKeys(keys, problem));
    EXPECT_NE(problem.find("twice"), std::string::npos) << problem;
    EXPECT_FALSE(HiveEditor(loop).deleteKey(root, child, problem)) << "it has a subkey";
}

TEST_F(HiveCell, ACellUsedTwiceStopsEveryChange) {
    Bytes image = builtImage(minorWithLh, fillTools);
    HiveView view(image);
    const CellOffset tool = keyAt(view, {u"Software", u"Tool"});
    const CellOffset blob = view.findValue(tool, u"Blob");
    const CellOffset path = view.findValue(tool, u"Path");
    // Path's data is Blob's too: freeing one would free the other's.
    hive::writeU32(&image[hive::baseBlockSize + path + 4 + hive::vk::dataAt], field(image, blob, hive::vk::dataAt));
    hive::writeU32(&image[hive::baseBlockSize + path + 4 + hive::vk::dataLengthAt], 20);
    std::string problem;
    EXPECT_FALSE(HiveView(image).checkCells(problem));
    EXPECT_NE(problem.find("twice"), std::string::npos) << problem;
    const Bytes before = image;
    HiveEditor editor(image);
    CellOffset made = noCell;
    EXPECT_FALSE(editor.deleteValue(tool, path, problem));
    EXPECT_FALSE(editor.addKey(tool, name(u"New"), made, problem));
    EXPECT_EQ(image, before);
}

TEST_F(HiveCell, ASecurityRecordCountingTooFewKeysStopsEveryChange) {
    Bytes image = builtImage(minorWithLh, fillTools);
    HiveView view(image);
    const CellOffset leaf = keyAt(view, {u"Software", u"Other", u"Leaf"});
    const CellOffset security = field(image, leaf, hive::nk::securityAt);
    // Every key shares the root's record; counting one, the leaf going would free it.
    hive::writeU32(&image[hive::baseBlockSize + security + 4 + hive::sk::referencesAt], 1);
    std::string problem;
    EXPECT_FALSE(HiveView(image).checkCells(problem));
    const Bytes before = image;
    HiveEditor editor(image);
    EXPECT_FALSE(editor.deleteKey(keyAt(view, {u"Software", u"Other"}), leaf, problem));
    EXPECT_NE(problem.find("security"), std::string::npos) << problem;
    EXPECT_EQ(image, before);
}

TEST_F(HiveCell, DamagedImagesNeverCrashAndRefusedChangesLeaveNoTrace) {
    const Bytes good = builtImage(minorWithLh, fillTools);
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        Bytes image = good;
        for (int flips = 0; flips < 8; ++flips) {
            image[hive::baseBlockSize + random() % (image.size() - hive::baseBlockSize)] =
                static_cast<uint8_t>(random());
        }
        HiveView view(image);
        std::vector<CellOffset> keys;
        std::string problem;
        if (!view.walkKeys(keys, problem)) continue;
        const Bytes before = image;
        HiveEditor editor(image);
        CellOffset made = noCell;
        const CellOffset key = keys[random() % keys.size()];
        const bool done =
            round % 2 ? editor.addKey(key, name(u"Added"), made, problem)
                      : editor.setValue(key, name(u"v"), regBinary, pattern(random() % 20000, 8), made, problem);
        if (done) {
            EXPECT_TRUE(HiveView(image).checkCells(problem)) << problem;
        } else {
            EXPECT_EQ(image, before) << problem;
        }
        editor.rollback();
        EXPECT_EQ(image, before);
    }
}

} // namespace
