#include "net/Encodings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Sha256Hex, MatchesTheFips180ExampleVectors)
{
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Bytes are hashed as they are, NUL and high bytes included.
        {std::string("\0\xff", 2), "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8"},
    };
    for (const auto& v : vectors)
        EXPECT_EQ(v.digest, Sha256Hex(v.message)) << "message of " << v.message.size() << " bytes";
}

TEST(Base62Encode, EncodesBytesMostSignificantDigitFirst)
{
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {"abc", "qMin"},
        {std::string("\0\0abc", 5), "qMin"},
        {"\xff", "47"},
        {std::string("\0", 1), ""},
        {std::string("\0\0\0", 3), ""},
        {"", ""},
        {"Hello World", "73xPuGYmWKgR29m"},
        {std::string(32, '\xff'), "YHJSKWDa6oz1al1yMhwzwM8llg7hJNUca2J5RoW8xP1"},
        {std::string("\x01", 1) + std::string(20, '\0'), "AwGeptL1TMEBFSqZfp4BXWGY80w"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, Base62Encode(c.bytes)) << "input of " << c.bytes.size() << " bytes";
}

TEST(Utf8ToWide, ConvertsUtf8NotTheAnsiCodePage)
{
    EXPECT_EQ(L"", Utf8ToWide(""));
    EXPECT_EQ(L"Gr\u00fc\u00dfe \u2713 \U0001F600", Utf8ToWide("Gr\xc3\xbc\xc3\x9f" "e \xe2\x9c\x93 \xf0\x9f\x98\x80"));
    EXPECT_EQ(std::wstring(L"a\0b", 3), Utf8ToWide(std::string("a\0b", 3)));
}

} // namespace
