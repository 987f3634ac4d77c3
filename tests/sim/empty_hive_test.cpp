// The smallest valid hive that tools/hives writes: the hive library opens
// it, finds its root, and can add keys and values to it and write it out.
#include <gtest/gtest.h>

#include <hivex.h>

#include <cstdint>
#include <string>

#include "empty_hive.h"
#include "host_tree.h"

namespace {

constexpr size_t baseBlockSize = 4096;
constexpr size_t checksumAt = 0x1FC;

uint32_t wordAt(const std::string& image, size_t at) {
    uint32_t word = 0;
    for (size_t i = 0; i < sizeof word; ++i) {
        word |= static_cast<uint32_t>(static_cast<unsigned char>(image.at(at + i))) << (8 * i);
    }
    return word;
}

TEST(EmptyHive, IsABaseBlockAndOneBinWithAValidChecksum) {
    const std::string image = emptyHiveImage("ROOT");
    ASSERT_EQ(image.size(), 2 * baseBlockSize);
    EXPECT_EQ(image.substr(0, 4), "regf");
    EXPECT_EQ(image.substr(baseBlockSize, 4), "hbin");
    uint32_t sum = 0;
    for (size_t at = 0; at < checksumAt; at += sizeof sum) sum ^= wordAt(image, at);
    EXPECT_EQ(wordAt(image, checksumAt), sum);
    EXPECT_EQ(wordAt(image, 4), wordAt(image, 8)); // closed cleanly
}

TEST(EmptyHive, TheRootNameMustFit) {
    EXPECT_TRUE(emptyHiveImage("").empty());
    EXPECT_TRUE(emptyHiveImage(std::string(256, 'r')).empty());
    EXPECT_FALSE(emptyHiveImage(std::string(255, 'r')).empty());
}

TEST(EmptyHive, TheHiveLibraryReadsItAndFillsIt) {
    hosttree::OutsideFolder folder;
    const std::string path = folder.path() + "/hive";
    ASSERT_TRUE(writeEmptyHive(path, "CMI-CreateHive"));
    EXPECT_FALSE(writeEmptyHive(path, "again")); // never over an existing file
    hive_h* handle = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    ASSERT_NE(handle, nullptr);
    const hive_node_h root = hivex_root(handle);
    char* name = hivex_node_name(handle, root);
    EXPECT_STREQ(name, "CMI-CreateHive");
    free(name);
    EXPECT_EQ(hivex_node_nr_children(handle, root), 0u);
    EXPECT_EQ(hivex_node_nr_values(handle, root), 0u);
    const hive_node_h child = hivex_node_add_child(handle, root, "Child");
    ASSERT_NE(child, 0u);
    char valueName[] = "v";
    char data[] = "\x2a\0\0\0";
    const hive_set_value value{valueName, hive_t_dword, 4, data};
    EXPECT_EQ(hivex_node_set_value(handle, child, &value, 0), 0);
    ASSERT_EQ(hivex_commit(handle, nullptr, 0), 0);
    hivex_close(handle);

    handle = hivex_open(path.c_str(), 0);
    ASSERT_NE(handle, nullptr);
    const hive_node_h found = hivex_node_get_child(handle, hivex_root(handle), "child");
    ASSERT_NE(found, 0u);
    EXPECT_EQ(hivex_value_dword(handle, hivex_node_get_value(handle, found, "v")), 42);
    hivex_close(handle);
}

} // namespace
