#include <gtest/gtest.h>

#include <string>

#include "server/http_server.h"
#include "common/sha256.h"

namespace kw::server {
namespace {

// Known answers from FIPS 180-4, including messages that end on and across block boundaries.
TEST(Sha256, KnownAnswers) {
  const struct {
    std::string in, hex;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.in), c.hex) << c.in.size();
}

TEST(Base64, DecodesAndRefusesMalformedText) {
  std::string out;
  EXPECT_TRUE(DecodeBase64("ZGVtbzpkZW1v", out));
  EXPECT_EQ(out, "demo:demo");
  EXPECT_TRUE(DecodeBase64("YQ==", out));
  EXPECT_EQ(out, "a");
  for (const char* bad : {"YQ=", "Y!==", "YQ==YQ==", "ZGVtbzpkZW1"}) EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
}

}  // namespace
}  // namespace kw::server
