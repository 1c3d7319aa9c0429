#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
tolvak::CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tolvak");
    return tolvak::ParseCommandLine(static_cast<int>(args.size()), args.data());
}
}  // namespace

TEST(CommandLine, AcceptsBothValueFormsAndFlags) {
    auto cl = Parse({"--headless", "-v", "--produce", "News", "--input=/tmp/a b.mp3", "--dir=/srv/t"});
    EXPECT_TRUE(cl.error.empty()) << cl.error;
    EXPECT_TRUE(cl.headless);
    EXPECT_TRUE(cl.verbose);
    EXPECT_EQ(cl.produce, "News");
    EXPECT_EQ(cl.input, "/tmp/a b.mp3");
    EXPECT_EQ(cl.dir, "/srv/t");

    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"-V"}).version);
    EXPECT_TRUE(Parse({}).error.empty());
    EXPECT_EQ(Parse({"--produce=Pogoda"}).produce, "Pogoda");
    EXPECT_EQ(Parse({"--check", "Sport"}).check, "Sport");
    EXPECT_TRUE(Parse({"--status", "--dir", "/srv/t"}).status);
}

TEST(CommandLine, BadUsageIsReportedWithAHint) {
    for (auto args : std::vector<std::vector<const char*>>{
             {"--frobnicate"},
             {"-x"},
             {"stray"},
             {"--produce"},
             {"--dir="},
             {"--produce", "Wiadomosci"},
             {"--input", "a.mp3"},
             {"--check", "pogoda"},
             {"--check", "News", "--produce", "News"},
             {"--status", "--produce", "News"},
             {"--status", "--headless"},
             {"--status=1"},
             {"--json"},
             {"--check", "News", "--json"},
             {"--check-config", "--status"},
             {"--check-config", "--headless"},
             {"--help=yes"},
             {"--", "--help"}}) {
        const auto cl = Parse(args);
        EXPECT_FALSE(cl.error.empty()) << args[0];
        EXPECT_NE(cl.error.find("Try 'tolvak --help'"), std::string::npos) << cl.error;
    }
    EXPECT_NE(Parse({"--frobnicate"}).error.find("unrecognized option '--frobnicate'"), std::string::npos);
    EXPECT_NE(Parse({"--input", "a.mp3"}).error.find("--produce"), std::string::npos);
}
