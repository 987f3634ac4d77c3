#include <gtest/gtest.h>

#include "engine_test.h"
#include "folder_identity.h"

namespace {

using FolderIdentityTest = EngineTest;

TEST_F(FolderIdentityTest, SameFolderBySpellingOrTrailingBackslash) {
    folder.makeFolder("Sub");
    FolderIdentity plain{}, upper{}, slashed{};
    ASSERT_TRUE(getFolderIdentity(folder.path("Sub").c_str(), plain));
    ASSERT_TRUE(getFolderIdentity(folder.path("SUB").c_str(), upper));
    ASSERT_TRUE(getFolderIdentity((folder.path("sub") + "\\").c_str(), slashed));
    EXPECT_TRUE(sameFolder(plain, upper));
    EXPECT_TRUE(sameFolder(plain, slashed));
}

TEST_F(FolderIdentityTest, DifferentFoldersDiffer) {
    folder.makeFolder("one");
    folder.makeFolder("two");
    FolderIdentity one{}, two{}, root{};
    ASSERT_TRUE(getFolderIdentity(folder.path("one").c_str(), one));
    ASSERT_TRUE(getFolderIdentity(folder.path("two").c_str(), two));
    ASSERT_TRUE(getFolderIdentity("C:\\", root));
    EXPECT_FALSE(sameFolder(one, two));
    EXPECT_FALSE(sameFolder(one, root));
}

TEST_F(FolderIdentityTest, MissingFolderHasNoIdentity) {
    FolderIdentity identity{};
    EXPECT_FALSE(getFolderIdentity(folder.path("missing").c_str(), identity));
}

} // namespace
