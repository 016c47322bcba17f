// The downloads of the self-update against a server of the test's own: a verified program file
// is put in place runnable; anything else leaves the target as it was and no half file behind.
#include <sys/stat.h>

#include <atomic>
#include <functional>
#include <thread>

#include "update/download.h"
#include "update/signature.h"
#include "update/verified_download.h"
#include "update_support.h"

namespace update_test {
namespace {

constexpr char kProgram[] = "#!/bin/sh\necho new\n";

// The members are open to the table of refusals below.
class ProgramDownload : public ::testing::Test {
 public:
  void SetUp() override {
    server.Put("/Quoril_10.7", kProgram);
    server.Put("/Quoril_10.7.sig", key.SignatureText(kProgram));
  }
  std::string Target() const { return dir / "Quoril_10.7"; }
  bool Download(std::string_view publicKey, std::uint64_t maxBytes = update::kMaxProgramBytes,
                const std::atomic<bool>* cancel = nullptr) {
    error.clear();
    return update::DownloadVerifiedProgram(server.Url("/Quoril_10.7"), Target(), publicKey, cancel,
                                           error, maxBytes);
  }

  TempDir dir;
  FileServer server;
  SigningKey key;
  std::string error;
};

TEST_F(ProgramDownload, VerifiedFileIsPutInPlaceWithItsRunBit) {
  ASSERT_TRUE(Download(key.PublicKey())) << error;
  EXPECT_EQ(ReadFile(Target()), kProgram);
  struct stat info {};
  ASSERT_EQ(::stat(Target().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"Quoril_10.7"});
}

struct Refusal {
  const char* name;
  std::function<void(ProgramDownload&)> spoil;
  std::function<std::string(ProgramDownload&)> publicKey;
  std::uint64_t maxBytes = update::kMaxProgramBytes;
};

std::string TheKey(ProgramDownload& test) {
  return test.key.PublicKey();
}

class RefusedProgram : public ProgramDownload, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedProgram, LeavesTheTargetAsItWasAndNoHalfFile) {
  WriteFile(Target(), "the program file of before");
  const Refusal& refusal = GetParam();
  if (refusal.spoil) refusal.spoil(*this);
  EXPECT_FALSE(Download(refusal.publicKey(*this), refusal.maxBytes));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(Target()), "the program file of before");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"Quoril_10.7"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedProgram,
    ::testing::Values(
        Refusal{"Tampered", [](auto& t) { t.server.Put("/Quoril_10.7", "#!/bin/sh\necho evil\n"); },
                TheKey},
        Refusal{"NoSignature", [](auto& t) { t.server.Remove("/Quoril_10.7.sig"); }, TheKey},
        Refusal{"EmptySignature", [](auto& t) { t.server.Put("/Quoril_10.7.sig", ""); }, TheKey},
        Refusal{"SignatureNotBase64",
                [](auto& t) { t.server.Put("/Quoril_10.7.sig", "not a signature!\n"); }, TheKey},
        Refusal{"SignatureTooShort",
                [](auto& t) { t.server.Put("/Quoril_10.7.sig", Base64(std::string(63, 'x'))); },
                TheKey},
        Refusal{"OtherKey", nullptr, [](auto&) { return SigningKey().PublicKey(); }},
        Refusal{"NoKey", nullptr, [](auto&) { return std::string(); }},
        Refusal{"KeyNotBase64", nullptr, [](auto&) { return std::string("key?"); }},
        Refusal{"ProgramMissing", [](auto& t) { t.server.Remove("/Quoril_10.7"); }, TheKey},
        Refusal{"LargerThanTheCap", nullptr, TheKey, 8},
        Refusal{"AnnouncedLargerThan256MiB",
                [](auto& t) { t.server.PutHuge("/Quoril_10.7", (std::size_t{256} << 20) + 1); },
                TheKey}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramDownload, WithoutAKeyNothingIsFetched) {
  EXPECT_FALSE(Download(""));
  EXPECT_EQ(server.Requests("/Quoril_10.7"), 0);
}

TEST_F(ProgramDownload, CancelStopsATransferThatWaitsForItsAnswer) {
  server.Hold("/Quoril_10.7");
  std::atomic<bool> cancel{false};
  bool result = true;
  std::thread download(
      [&] { result = Download(key.PublicKey(), update::kMaxProgramBytes, &cancel); });
  EXPECT_TRUE(Eventually([&] { return server.Requests("/Quoril_10.7") == 1; }));
  cancel = true;
  download.join();
  EXPECT_FALSE(result);
  EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(VersionFileDownload, ReplacesTheFileOnlyWhenItArrivedWhole) {
  TempDir dir;
  FileServer server;
  const std::string path = dir / "verOnline.ini";
  std::string error;
  WriteFile(path, "old");

  server.Put("/v.ini", "[MAINVER]\r\nmainver=10.7\r\n");
  ASSERT_TRUE(update::DownloadVersionFile(server.Url("/v.ini"), path, error)) << error;
  EXPECT_EQ(ReadFile(path), "[MAINVER]\r\nmainver=10.7\r\n");

  EXPECT_FALSE(update::DownloadVersionFile(server.Url("/missing.ini"), path, error));
  server.Put("/big.ini", std::string(update::kMaxVersionFileBytes + 1, 'x'));
  EXPECT_FALSE(update::DownloadVersionFile(server.Url("/big.ini"), path, error));
  EXPECT_FALSE(update::DownloadVersionFile("file://" + path, path, error));
  EXPECT_FALSE(update::DownloadVersionFile("", path, error));
  EXPECT_EQ(ReadFile(path), "[MAINVER]\r\nmainver=10.7\r\n");
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"verOnline.ini"});
}

TEST(Base64, DecodesPaddedTextAndRefusesAnythingElse) {
  struct Case {
    const char* text;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"", true, ""},
      {"AAEC", true, std::string("\0\1\2", 3)},
      {"AAE=", true, std::string("\0\1", 2)},
      {"AA==\n", true, std::string(1, '\0')},
      {"AAE", false, ""},
      {"A=AA", false, ""},
      {"AA*A", false, ""},
      {"====", false, ""},
      {"AAEC AAEC", false, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = "previous";
    EXPECT_EQ(update::DecodeBase64(c.text, bytes), c.ok) << c.text;
    EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

}  // namespace
}  // namespace update_test
