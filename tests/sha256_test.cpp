// SHA-256 against the standard test vectors, and fed in pieces of every size
// that crosses a block boundary.
#include <gtest/gtest.h>

#include <string>

#include "sha256.h"

namespace {

std::string hashOf(const std::string& text) { return sha256Hex(text.data(), text.size()); }

TEST(Sha256, EmptyMessage) {
    EXPECT_EQ(hashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Sha256, ThreeLetters) {
    EXPECT_EQ(hashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, TwoBlockMessage) { // 448 bits: the padding needs a block of its own
    EXPECT_EQ(hashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, OneMillionLetters) {
    EXPECT_EQ(hashOf(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesGiveTheSameDigestAsOneCall) {
    const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq, and some more past it";
    const std::string whole = hashOf(message);
    for (size_t cut = 0; cut <= message.size(); ++cut) {
        Sha256 hash;
        hash.update(message.data(), cut);
        hash.update(message.data() + cut, message.size() - cut);
        EXPECT_EQ(hexDigest(hash.finish()), whole) << "cut at " << cut;
    }
}

TEST(Sha256, FinishStartsOver) {
    Sha256 hash;
    hash.update("xyz", 3);
    hash.finish();
    hash.update("abc", 3);
    EXPECT_EQ(hexDigest(hash.finish()), hashOf("abc"));
}

TEST(Sha256, LengthsAroundThePaddingBoundary) { // 55, 56 and 64 bytes: one or two final blocks
    EXPECT_EQ(hashOf(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(hashOf(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(hashOf(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

} // namespace
