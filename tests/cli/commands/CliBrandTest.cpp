// setup build's branding options end to end, over a small Windows launcher stand-in with a
// resource section: the resources the setup file gets, what setup info and setup test show, and
// every refusal with its exit code and nothing written.
#include <gtest/gtest.h>

#include "CliTestSupport.h"
#include "setup/PeImageBuilder.h"
#include "setup/branding/ResourceSection.h"
#include "setup/branding/VersionResource.h"

namespace qvx::cli::test {
namespace {

using branding::Bytes;
using branding::ResourceKey;

branding::ResourceSet LauncherResources() {
    branding::ResourceSet set;
    branding::VersionEdits edits;
    edits.Strings = {{"InternalName", "Setup"}, {"ProductName", "Setup"}};
    const auto put = [&](std::uint32_t type, Bytes data) {
        set.Put({ResourceKey::Number(type), ResourceKey::Number(1), ResourceKey::Number(0x409), 0, std::move(data)});
    };
    put(branding::kTypeVersion, branding::EditVersionResource({}, edits));
    const std::string manifest =
        "<assembly><trustInfo><security><requestedPrivileges>"
        "<requestedExecutionLevel "
        "level=\"requireAdministrator\"/></requestedPrivileges></security></trustInfo></assembly>";
    put(branding::kTypeManifest, Bytes(manifest.begin(), manifest.end()));
    return set;
}

// A 16x16 32-bit bitmap icon.
Bytes Icon() {
    Bytes image(40 + (64 + 4) * 16, 0x22);
    branding::Put32(image, 0, 40);
    branding::Put32(image, 4, 16);
    branding::Put32(image, 8, 32);
    branding::Put16(image, 12, 1);
    branding::Put16(image, 14, 32);
    branding::Put32(image, 16, 0);
    branding::Put32(image, 32, 0);
    Bytes file = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
    branding::Append32(file, static_cast<std::uint32_t>(image.size()));
    branding::Append32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

class BrandTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        Write("Setup.exe", MakeImage(LauncherResources()));
        Bytes engine = PeHeaderBytes();
        engine.resize(3000, 0x90);
        Write("engine.exe", engine);
        Write("data/readme.txt", "read me\n");
        Write("icon.ico", Icon());
    }
    RunResult Build(std::vector<std::string> options, const std::string& launcher = "Setup.exe") {
        std::vector<std::string> args = {"setup",      "build", "-l",   launcher, "-e",
                                         "engine.exe", "-d",    "data", "-o",     "out.exe"};
        args.insert(args.end(), options.begin(), options.end());
        return Qvx(args);
    }
};

TEST_F(BrandTest, TheSetupFileCarriesTheResourcesAskedFor) {
    const RunResult r = Build({"--icon",
                               "icon.ico",
                               "--version",
                               "2.3.4.5",
                               "--product-version",
                               "2.3",
                               "--company",
                               "Example",
                               "--product-name",
                               "Product",
                               "--description",
                               "Installer",
                               "--copyright",
                               "(c) Example",
                               "--version-string",
                               "Comments=Hel\x1B[2Jlo\r",
                               "--version-string",
                               "ProductVersion=2.3 beta",
                               "--execution-level",
                               "asInvoker"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string info = Qvx({"setup", "info", "out.exe"}).Out;
    for (const char* line : {"file version: 2.3.4.5\n", "product version: 2.3.0.0\n", "version strings (040904B0):\n",
                             "  InternalName: Setup\n  ProductName: Product\n  FileVersion: 2.3.4.5\n"
                             "  ProductVersion: 2.3 beta\n  CompanyName: Example\n  FileDescription: Installer\n"
                             "  LegalCopyright: (c) Example\n  Comments: Hel^[[2Jlo^M\n",
                             "execution level: asInvoker\n", "icon: 1 image (16x16)\n"})
        EXPECT_NE(info.find(line), std::string::npos) << line << "in:\n" << info;
    const RunResult test = Qvx({"setup", "test", "out.exe"});
    EXPECT_EQ(test.Code, 0) << test.Err;
    EXPECT_NE(test.Out.find("resources: version 2.3.4.5, manifest asInvoker, icon of 1 image: OK\n"), std::string::npos)
        << test.Out;
    const std::string launcher = Read("Setup.exe");
    EXPECT_EQ(Build({"--version", "2.3.4.5"}).Code, 0);
    EXPECT_EQ(Read("Setup.exe"), launcher) << "the given launcher is never changed";
    // Options that change nothing give the launcher's own bytes in front of the payload.
    EXPECT_EQ(Build({"--version-string", "InternalName=Setup"}).Code, 0);
    EXPECT_EQ(Read("out.exe").substr(0, 0x400),
              launcher.substr(0, 0x400).replace(0x58 + 64, 4, Read("out.exe").substr(0x58 + 64, 4)));
    EXPECT_EQ(Read("out.exe").substr(0x400, launcher.size() - 0x400),
              launcher.substr(0x400).replace(0x28, 4, Read("out.exe").substr(0x428, 4)));
    // The tool's own --version is still the tool's (with the commit of a build from a checkout).
    const std::string version = Qvx({"--version"}).Out;
    EXPECT_EQ(version.substr(0, version.find_first_of(" \n", 4)), std::string("qvx ") + QVX_VERSION_TEXT) << version;
}

TEST_F(BrandTest, ARewrittenManifestAndAManifestOfTheAuthorsOwn) {
    Write("app.manifest",
          "<?xml version=\"1.0\"?>\n<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"><!-- mine --></assembly>\n");
    ASSERT_EQ(Build({"--manifest", "app.manifest"}).Code, 0);
    EXPECT_NE(Qvx({"setup", "info", "out.exe"}).Out.find("execution level: none requested\n"), std::string::npos);
    ASSERT_EQ(Build({"--execution-level", "highestAvailable"}).Code, 0);
    EXPECT_NE(Qvx({"setup", "info", "out.exe"}).Out.find("execution level: highestAvailable\n"), std::string::npos);
}

TEST_F(BrandTest, BadValuesAndFilesAreRefusedWithNothingWritten) {
    Bytes cut = Icon();
    cut.resize(cut.size() - 1);
    Write("cut.ico", cut);
    Write("bad.manifest", "<assembly><x></assembly>");
    Write("root.manifest", "<application/>");
    const std::string marker = std::string("QVX_") + "SIZE";
    Write("marker.manifest", "<assembly><!-- " + marker + " --></assembly>");
    Write("plain-launcher", "#!/bin/sh\n" + marker + "XXXX\n");
    Write("no-resources.exe", [] {
        Bytes b = PeHeaderBytes();
        const std::string m = std::string("QVX_") + "SIZE" + "XXXX";
        b.insert(b.end(), m.begin(), m.end());
        return b;
    }());
    const struct {
        std::vector<std::string> options;
        int code;
        std::string error;
        std::string launcher = "Setup.exe";
    } cases[] = {
        {{"--version", "1.2.3.4.5"}, 2, "qvx: setup build: --version: '1.2.3.4.5': more than four numbers"},
        {{"--version", "1.65536"}, 2, "65536 is over 65535"},
        {{"--product-version", "x"}, 2, "'x' is not a number"},
        {{"--execution-level", "admin"}, 2, "--execution-level"},
        {{"--execution-level", "asInvoker", "--manifest", "bad.manifest"}, 2, "excludes"},
        {{"--version-string", "Comments"}, 2, "'Comments' is not KEY=VALUE"},
        {{"--version-string", "=x"}, 2, "the key is empty"},
        {{"--company", std::string(40000, 'c')}, 2, "too long for the version information"},
        {{"--icon", "missing.ico"}, 1, "qvx: missing.ico: cannot open"},
        {{"--icon", "cut.ico"}, 1, "qvx: cut.ico: image 1 (1128 bytes at offset 22) runs past the end of the file"},
        {{"--manifest", "bad.manifest"},
         1,
         "qvx: bad.manifest: not a manifest: not well-formed XML: </assembly> closes <x>"},
        {{"--manifest", "root.manifest"}, 1, "not <assembly>"},
        {{"--manifest", "marker.manifest"}, 1, "qvx: marker.manifest: holds the launcher's size marker"},
        {{"--version-string", "Comments=\xE5\x99\x91\xE5\xBD\x98\xE4\xA5\x93\xE4\x95\x9A"},
         1,
         "the version strings hold the launcher's size marker"},
        {{"--icon", "icon.ico"},
         1,
         "qvx: plain-launcher: the launcher is not a Windows program: --icon needs Setup.exe",
         "plain-launcher"},
        {{"--description", "x", "--force"}, 1, "--description needs Setup.exe", "plain-launcher"},
        {{"--version", "1"},
         1,
         "qvx: no-resources.exe: cannot brand the launcher: the launcher has no resource section",
         "no-resources.exe"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(Path("out.exe"));
        const RunResult r = Build(c.options, c.launcher);
        EXPECT_EQ(r.Code, c.code) << c.error << ": " << r.Err;
        EXPECT_NE(r.Err.find(c.error), std::string::npos) << r.Err;
        EXPECT_FALSE(Exists("out.exe")) << c.error;
    }
}

TEST_F(BrandTest, SetupTestReportsDamagedResources) {
    ASSERT_EQ(Build({"--version", "1.0"}).Code, 0);
    std::string file = Read("out.exe");
    file[0x600 + 14] = '\xFF';  // the root table claims 65535 numbered entries
    file[0x600 + 15] = '\xFF';
    Write("out.exe", file);
    const RunResult r = Qvx({"setup", "test", "out.exe"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("qvx: out.exe: the launcher's resources are damaged: resource directory: the type table at "
                         "offset 0 runs past"),
              std::string::npos)
        << r.Err;
}

}  // namespace
}  // namespace qvx::cli::test
